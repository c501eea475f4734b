// The per-PDEV record: the universal driver's saved engine entries, the page
// image being captured band by band, and the page progress.
#pragma once

#include <cstdint>

#include "platform/abi.h"

namespace capture {

#pragma pack(push, 2)
// The BMP file header as it is written verbatim to a page image file.
struct BmpFileHeader {
  std::uint16_t bfType;
  std::uint32_t bfSize;
  std::uint16_t bfReserved1;
  std::uint16_t bfReserved2;
  std::uint32_t bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BmpFileHeader) == 14);

inline constexpr std::uint32_t kBmpHeadersSize = 54;

class PdevState {
 public:
  virtual ~PdevState();

  winabi::PFN_DrvEndDoc savedDrvEndDoc = nullptr;
  winabi::PFN_DrvStartPage savedDrvStartPage = nullptr;
  std::uint8_t* pageBuffer = nullptr;  // the captured rows of the page
  std::uint32_t pageBufferSize = 0;
  BmpFileHeader fileHeader{};
  winabi::BITMAPINFOHEADER infoHeader{};
  std::uint32_t paletteEntryCount = 0;  // 2, 16, 256 or 0
  winabi::HPALETTE paletteHandle = nullptr;
  std::uint8_t* palette = nullptr;  // blue, green, red, 0 per entry
  std::uint32_t headerSize = 0;
  std::uint32_t bandHeaderCaptured = 0;
  std::uint32_t palettized = 0;
  std::uint32_t pageStartPending = 0;
  std::uint32_t expectedPageHeight = 0;
  std::uint32_t linesAtPreviousBand = 0;
  // Names this PDEV's page spool record apart from those of other PDEVs alive
  // in the process (given by EnablePDEV).
  std::uint32_t spoolId = 0;
};

}  // namespace capture
