// Band capture: each rendered band of a page is appended to the page image
// held in the PdevState; a complete page goes to page-out.
#pragma once

#include <cstdint>

#include "platform/abi.h"
#include "settings/form_manager.h"

namespace capture {

// The media type the plug-in object holds from its last devmode merge.
struct BandMediaType {
  bool known;  // false until the first merge
  winabi::DWORD value;
};

// Colour modes the driver's printer description gives the bands.
inline constexpr winabi::DWORD kBands1Bit = 1;
inline constexpr winabi::DWORD kBands16Colours = 2;
inline constexpr winabi::DWORD kBands256Colours = 3;
inline constexpr winabi::DWORD kBandsNoPalette = 5;

winabi::HRESULT CaptureBand(winabi::DEVOBJ* pdevobj, winabi::BYTE* pSrcBitmap,
                            winabi::BITMAPINFOHEADER* pBitmapInfoHeader, winabi::BYTE* pColorTable,
                            winabi::DWORD dwCallbackID, winabi::IPPARAMS* pIPParams,
                            winabi::BYTE** ppbResult, BandMediaType mediaType);

// The page height in lines for a form (sizes in thousandths of a millimetre).
// Form positions 1 and 9 of the spooler's list have fixed line counts.
std::uint32_t ExpectedPageHeight(int orientation, int formIndex, std::uint32_t resolution,
                                 const settings::FormMargins& margins, std::int32_t width,
                                 std::int32_t height);

}  // namespace capture
