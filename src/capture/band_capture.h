// Band capture: each rendered band of a page is appended to the page image
// held in the PdevState.
#pragma once

#include "platform/abi.h"

namespace capture {

// The media type the plug-in object holds from its last devmode merge.
struct BandMediaType {
  bool known;  // false until the first merge
  winabi::DWORD value;
};

winabi::HRESULT CaptureBand(winabi::DEVOBJ* pdevobj, winabi::BYTE* pSrcBitmap,
                            winabi::BITMAPINFOHEADER* pBitmapInfoHeader, winabi::BYTE* pColorTable,
                            winabi::DWORD dwCallbackID, winabi::IPPARAMS* pIPParams,
                            winabi::BYTE** ppbResult, BandMediaType mediaType);

}  // namespace capture
