// Band capture. The page assembly lands with the page path; until then the
// plug-in declines the band so that the driver keeps its own output.
#include "capture/band_capture.h"

namespace capture {

winabi::HRESULT CaptureBand(winabi::DEVOBJ*, winabi::BYTE*, winabi::BITMAPINFOHEADER*,
                            winabi::BYTE*, winabi::DWORD, winabi::IPPARAMS*,
                            winabi::BYTE** ppbResult, BandMediaType) {
  if (ppbResult != nullptr) *ppbResult = nullptr;
  return winabi::E_NOTIMPL;
}

}  // namespace capture
