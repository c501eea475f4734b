// Band capture. Every band re-allocates the page buffer to the new total and
// copies what is kept; the page ends when the expected height has arrived or
// a band adds no lines.
#include "capture/band_capture.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "capture/page_out.h"
#include "capture/pdev_state.h"
#include "frame/private_devmode.h"
#include "platform/os.h"
#include "settings/media_store.h"

namespace capture {

namespace {

// Builds the page palette for the band's colour mode; false on failure.
bool BuildPalette(PdevState* state, winabi::DWORD callbackId) {
  if (callbackId == kBands1Bit) {
    auto* palette = static_cast<std::uint8_t*>(os::LocalAllocZero(2 * 4));
    if (palette == nullptr) return false;
    os::LocalFree(state->palette);
    state->palette = palette;
    state->paletteEntryCount = 2;
    std::memset(palette + 4, 255, 3);  // entry 0 black, entry 1 white
    return true;
  }
  if (callbackId != kBands16Colours && callbackId != kBands256Colours) return true;
  const std::uint32_t count = callbackId == kBands16Colours ? 16 : 256;
  auto* palette = static_cast<std::uint8_t*>(os::LocalAllocZero(count * 4));
  auto* work = static_cast<winabi::PALETTEENTRY*>(os::LocalAllocZero(count * 4));
  const bool read = palette != nullptr && work != nullptr &&
                    os::GetPaletteEntries(state->paletteHandle, 0, count, work) != 0;
  if (!read) {
    os::LocalFree(palette);
    os::LocalFree(work);
    return false;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    palette[i * 4 + 0] = work[i].peBlue;
    palette[i * 4 + 1] = work[i].peGreen;
    palette[i * 4 + 2] = work[i].peRed;
    palette[i * 4 + 3] = 0;
  }
  // The last entry is the paper: always white.
  std::memset(palette + (count - 1) * 4, 255, 3);
  os::LocalFree(work);
  os::LocalFree(state->palette);
  state->palette = palette;
  state->paletteEntryCount = count;
  return true;
}

bool ReadsAddPaletteEntries(const winabi::IPPARAMS* params) {
  return params != nullptr &&
         params->dwSize >= offsetof(winabi::IPPARAMS, bAddPaletteEntries) + sizeof(winabi::BOOL) &&
         params->bAddPaletteEntries != 0;
}

// Step 7: the page size, from the form or, without a form name, from the
// continuous medium matching the paper width.
bool FindPageSize(winabi::DEVOBJ* pdevobj, int* formIndex, settings::FormMargins* margins,
                  std::int32_t* width, std::int32_t* height) {
  winabi::DEVMODEW* dm = pdevobj->pPublicDM;
  auto* record = static_cast<frame::PrivateDevmode*>(pdevobj->pOEMDM);
  if (dm->dmFormName[0] == u'\0') {
    settings::MediaSettings found{};
    const bool ok = settings::FindMediaByPaperWidth(pdevobj->hPrinter, dm->dmPaperWidth, &found);
    *width = dm->dmPaperWidth * 100;
    *height = dm->dmPaperLength * 100;
    *formIndex = 0;
    if (record != nullptr) {
      // The record's margins come from the job's devmode: a margin that is no
      // number of thousandths leaves the page size unknown.
      const settings::MediaSettings& media = record->mediaSettings;
      const auto left = settings::ThousandthsOf(media.mmLeftMargin);
      const auto top = settings::ThousandthsOf(media.mmTopMargin);
      const auto right = settings::ThousandthsOf(media.mmRightMargin);
      const auto bottom = settings::ThousandthsOf(media.mmBottomMargin);
      if (!left || !top || !right || !bottom) return false;
      *margins = {*left, *top, *right, *bottom};
    }
    return ok;
  }
  if (pdevobj->hPrinter == nullptr) return false;
  char16_t name[33] = {};
  std::memcpy(name, dm->dmFormName, sizeof dm->dmFormName);
  winabi::SIZEL size{};
  if (!settings::GetFormSize(pdevobj->hPrinter, name, formIndex, margins, &size)) return false;
  *width = size.cx;
  *height = size.cy;
  return true;
}

}  // namespace

std::uint32_t ExpectedPageHeight(int orientation, int formIndex, std::uint32_t resolution,
                                 const settings::FormMargins& margins, std::int32_t width,
                                 std::int32_t height) {
  if (height == 0) return 0;
  const bool portrait = orientation == 1;
  if (formIndex == 1) {
    if (resolution == 203) return portrait ? 2114 : 1607;
    if (resolution == 300) return portrait ? 3125 : 2375;
    return portrait ? 6250 : 4750;
  }
  if (formIndex == 9) {
    if (resolution == 203) return portrait ? 2233 : 1539;
    if (resolution == 300) return portrait ? 3300 : 2275;
    return portrait ? 6600 : 4550;
  }
  // Wide, so that margins beyond the form's size cannot overflow.
  const std::int64_t extent =
      orientation == 2 ? std::int64_t{width} - margins.right - margins.left
                       : std::int64_t{height} - margins.bottom - margins.top;
  const double lines = extent / 1000.0 / 25.4 * resolution;
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(lines));
}

winabi::HRESULT CaptureBand(winabi::DEVOBJ* pdevobj, winabi::BYTE* pSrcBitmap,
                            winabi::BITMAPINFOHEADER* pBitmapInfoHeader,
                            winabi::BYTE* /*pColorTable*/, winabi::DWORD dwCallbackID,
                            winabi::IPPARAMS* pIPParams, winabi::BYTE** ppbResult,
                            BandMediaType mediaType) {
  if (ppbResult != nullptr) *ppbResult = nullptr;
  if (pdevobj == nullptr || pdevobj->pdevOEM == nullptr || pBitmapInfoHeader == nullptr ||
      pdevobj->pPublicDM == nullptr) {
    return winabi::E_FAIL;
  }
  auto* state = static_cast<PdevState*>(pdevobj->pdevOEM);
  const winabi::BITMAPINFOHEADER& band = *pBitmapInfoHeader;
  winabi::BITMAPINFOHEADER& page = state->infoHeader;

  if (state->bandHeaderCaptured == 0) {
    state->bandHeaderCaptured = 1;
    page.biSize = band.biSize;
    page.biWidth = band.biWidth;
    page.biPlanes = band.biPlanes;
    page.biBitCount = band.biBitCount;
    page.biCompression = band.biCompression;
    page.biXPelsPerMeter = band.biXPelsPerMeter;
    page.biYPelsPerMeter = band.biYPelsPerMeter;
    page.biClrUsed = band.biClrUsed;
    page.biClrImportant = band.biClrImportant;
    if (dwCallbackID != kBandsNoPalette) {
      state->palettized = 1;
      if (!BuildPalette(state, dwCallbackID)) {
        state->pageStartPending = 0;
        return winabi::E_FAIL;
      }
    }
  }

  // A page of more than 2^31 - 1 lines stays at that many rather than wrap.
  page.biHeight = static_cast<winabi::LONG>(std::clamp<std::int64_t>(
      std::int64_t{page.biHeight} + band.biHeight, INT32_MIN, INT32_MAX));
  page.biSizeImage += band.biSizeImage;

  // Grow: the kept bytes are the page so far, unless this band starts a page.
  const bool startsPage = state->pageStartPending != 0;
  const std::uint32_t kept =
      (state->pageBuffer != nullptr && !startsPage) ? state->pageBufferSize : 0;
  const std::uint64_t newSize = static_cast<std::uint64_t>(band.biSizeImage) + kept;
  auto* grown =
      newSize <= 0xFFFFFFFFu
          ? static_cast<std::uint8_t*>(os::LocalAllocZero(static_cast<std::size_t>(newSize)))
          : nullptr;
  if (grown == nullptr) {
    os::LocalFree(state->pageBuffer);
    state->pageBuffer = nullptr;
    state->pageBufferSize = 0;
    state->pageStartPending = 0;
    return winabi::E_FAIL;
  }
  if (kept != 0) std::memcpy(grown, state->pageBuffer, kept);
  const std::uint32_t oldSize = state->pageBufferSize;
  os::LocalFree(state->pageBuffer);
  state->pageBuffer = grown;
  state->pageBufferSize = static_cast<std::uint32_t>(newSize);

  // Place the band after the kept bytes (at the start of a new page).
  std::uint8_t* destination = startsPage ? grown : grown + (kept != 0 ? oldSize : 0);
  if (ReadsAddPaletteEntries(pIPParams)) {
    std::memset(destination, 0xFF, band.biSizeImage);
  } else if (pSrcBitmap != nullptr) {
    std::memcpy(destination, pSrcBitmap, band.biSizeImage);
  }

  if (mediaType.known) pdevobj->pPublicDM->dmMediaType = mediaType.value;

  int formIndex = 0;
  settings::FormMargins margins;
  std::int32_t width = 0;
  std::int32_t height = 0;
  if (!FindPageSize(pdevobj, &formIndex, &margins, &width, &height)) {
    state->pageStartPending = 0;
    if (ppbResult != nullptr) *ppbResult = reinterpret_cast<winabi::BYTE*>(1);
    return winabi::S_OK;
  }

  auto* record = static_cast<frame::PrivateDevmode*>(pdevobj->pOEMDM);
  const std::uint32_t resolution = record != nullptr ? record->printerResolution : 0;
  state->expectedPageHeight = width != 0
                                  ? ExpectedPageHeight(pdevobj->pPublicDM->dmOrientation, formIndex,
                                                       resolution, margins, width, height)
                                  : 0;

  const auto lines = static_cast<std::int32_t>(page.biHeight);
  if (lines >= static_cast<std::int32_t>(state->expectedPageHeight)) {
    PageOut(pdevobj, false);
    state->bandHeaderCaptured = 0;
    page.biHeight = 0;
    page.biSizeImage = 0;
    state->linesAtPreviousBand = 0;
  } else if (lines == static_cast<std::int32_t>(state->linesAtPreviousBand)) {
    PageOut(pdevobj, false);
    state->bandHeaderCaptured = 0;
    page.biHeight = 0;
    page.biSizeImage = 0;
    state->linesAtPreviousBand = 0;
  } else {
    state->linesAtPreviousBand = static_cast<std::uint32_t>(lines);
  }

  state->pageStartPending = 0;
  // The plug-in has taken the band: the driver's result is the value 1.
  if (ppbResult != nullptr) *ppbResult = reinterpret_cast<winabi::BYTE*>(1);
  return winabi::S_OK;
}

}  // namespace capture
