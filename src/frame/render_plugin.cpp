// RenderPlugin: set-up calls, devmode, engine hooks and raw output.
#include "frame/render_plugin.h"

#include <cstring>
#include <new>

#include "capture/band_capture.h"
#include "capture/engine_hooks.h"
#include "capture/job_state.h"
#include "capture/page_out.h"
#include "capture/pdev_state.h"
#include "frame/module.h"
#include "frame/private_devmode.h"
#include "platform/os.h"

namespace frame {

namespace {

// The engine entries the plug-in hooks, in the order the driver is given them.
winabi::DRVFN gHookTable[] = {
    {winabi::INDEX_DrvEndDoc, reinterpret_cast<winabi::PFN>(&capture::EndDocHook)},
    {winabi::INDEX_DrvStartPage, reinterpret_cast<winabi::PFN>(&capture::StartPageHook)},
};

// Nothing may unwind into the spooler: an exception out of the plug-in's own
// code (a container that could not grow) fails the one call instead.
template <typename Call>
winabi::HRESULT Fenced(Call&& call) {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    return winabi::E_OUTOFMEMORY;
  } catch (...) {
    return winabi::E_FAIL;
  }
}

constexpr const char* kImplementedMethods[] = {"CommandCallback", "FilterGraphics",
                                               "ImageProcessing"};

}  // namespace

std::uintptr_t& GdiplusToken() {
  static std::uintptr_t token = 0;
  return token;
}

RenderPlugin::RenderPlugin() = default;

RenderPlugin::~RenderPlugin() {
  if (driver_ != nullptr) driver_->Release();
  --Module().objectCount;
}

winabi::HRESULT RenderPlugin::QueryInterface(const winabi::GUID& riid, void** ppv) {
  if (ppv == nullptr) return winabi::E_POINTER;
  if (IsNullAddress(&riid)) {
    *ppv = nullptr;
    return winabi::E_POINTER;
  }
  if (winabi::IsEqualGuid(riid, winabi::IID_IUnknown) ||
      winabi::IsEqualGuid(riid, winabi::IID_IPrintOemUni2)) {
    *ppv = static_cast<winabi::IPrintOemUni2*>(this);
    AddRef();
    return winabi::S_OK;
  }
  *ppv = nullptr;
  return winabi::E_NOINTERFACE;
}

winabi::ULONG RenderPlugin::AddRef() { return ++refCount_; }

winabi::ULONG RenderPlugin::Release() {
  const winabi::ULONG count = --refCount_;
  if (count == 0) {
    delete this;
    return 0;
  }
  return count;
}

winabi::HRESULT RenderPlugin::GetInfo(winabi::DWORD dwMode, void* pBuffer, winabi::DWORD cbSize,
                                      winabi::DWORD* pcbNeeded) {
  if (pcbNeeded == nullptr || (dwMode != OEMGI_GETSIGNATURE && dwMode != OEMGI_GETVERSION)) {
    os::SetLastError(winabi::ERROR_INVALID_PARAMETER);
    return winabi::E_FAIL;
  }
  *pcbNeeded = sizeof(winabi::DWORD);
  if (cbSize < sizeof(winabi::DWORD) || pBuffer == nullptr) {
    os::SetLastError(winabi::ERROR_INSUFFICIENT_BUFFER);
    return winabi::E_FAIL;
  }
  const winabi::DWORD value = dwMode == OEMGI_GETSIGNATURE ? kPluginSignature : kPluginVersion;
  std::memcpy(pBuffer, &value, sizeof value);
  return winabi::S_OK;
}

winabi::HRESULT RenderPlugin::DevMode(winabi::DWORD dwMode, winabi::OEMDMPARAM* pOemDMParam) {
  return Fenced([&] {
    winabi::DWORD merged = mediaType_;
    const winabi::HRESULT hr = HandleDevModeRequest(dwMode, pOemDMParam, &merged);
    if (hr == winabi::S_OK && dwMode == OEMDM_MERGE && pOemDMParam->pPublicDMIn != nullptr) {
      mediaType_ = merged;
      hasMediaType_ = true;
    }
    return hr;
  });
}

winabi::HRESULT RenderPlugin::EnableDriver(winabi::DWORD, winabi::DWORD,
                                           winabi::DRVENABLEDATA* pded) {
  if (pded == nullptr) return winabi::E_POINTER;
  pded->iDriverVersion = winabi::PRINTER_OEMINTF_VERSION;
  pded->c = sizeof gHookTable / sizeof gHookTable[0];
  pded->pdrvfn = gHookTable;
  return winabi::S_OK;
}

winabi::HRESULT RenderPlugin::DisableDriver() {
  if (driver_ != nullptr) {
    driver_->Release();
    driver_ = nullptr;
  }
  return winabi::S_OK;
}

winabi::HRESULT RenderPlugin::EnablePDEV(winabi::DEVOBJ*, winabi::WCHAR*, winabi::ULONG,
                                         winabi::HSURF*, winabi::ULONG, winabi::GDIINFO* pGdiInfo,
                                         winabi::ULONG, winabi::DEVINFO* pDevInfo,
                                         winabi::DRVENABLEDATA* pded, void** pDevOem) {
  auto* state = new (std::nothrow) capture::PdevState();
  if (state == nullptr) return winabi::E_FAIL;
  capture::TheJobState().newJobFlag = 1;

  if (pded != nullptr && pded->pdrvfn != nullptr) {
    for (winabi::ULONG i = 0; i < pded->c; ++i) {
      const winabi::DRVFN& fn = pded->pdrvfn[i];
      if (fn.iFunc == winabi::INDEX_DrvEndDoc) {
        state->savedDrvEndDoc = reinterpret_cast<winabi::PFN_DrvEndDoc>(fn.pfn);
      } else if (fn.iFunc == winabi::INDEX_DrvStartPage) {
        state->savedDrvStartPage = reinterpret_cast<winabi::PFN_DrvStartPage>(fn.pfn);
      }
    }
  }

  state->spoolId = ++capture::TheJobState().pdevCount;
  state->headerSize = capture::kBmpHeadersSize;
  state->bandHeaderCaptured = 0;
  state->pageStartPending = 0;
  state->expectedPageHeight = 0;
  state->linesAtPreviousBand = 0;

  if (pGdiInfo != nullptr && pGdiInfo->cBitsPixel == 24) {
    winabi::HPALETTE palette = os::CreateBgrPalette();
    if (pDevInfo != nullptr) pDevInfo->hpalDefault = palette;
    state->paletteHandle = palette;
  } else if (pDevInfo != nullptr) {
    state->paletteHandle = pDevInfo->hpalDefault;
  }

  std::uintptr_t token = 0;
  os::GdiplusStartup(&token);
  GdiplusToken() = token;

  if (pDevOem != nullptr) {
    *pDevOem = state;
  } else {
    delete state;
    return winabi::E_POINTER;
  }
  return winabi::S_OK;
}

winabi::HRESULT RenderPlugin::DisablePDEV(winabi::DEVOBJ* pdevobj) {
  os::GdiplusShutdown(GdiplusToken());
  if (pdevobj != nullptr && pdevobj->pdevOEM != nullptr) {
    // The state goes whatever becomes of the saved page.
    const winabi::HRESULT hr = Fenced([&] {
      capture::DiscardSavedPage(pdevobj);
      return winabi::S_OK;
    });
    delete static_cast<capture::PdevState*>(pdevobj->pdevOEM);
    pdevobj->pdevOEM = nullptr;
    return hr;
  }
  return winabi::S_OK;
}

winabi::HRESULT RenderPlugin::ResetPDEV(winabi::DEVOBJ*, winabi::DEVOBJ*) { return winabi::S_OK; }

winabi::HRESULT RenderPlugin::PublishDriverInterface(winabi::IUnknown* pIUnknown) {
  if (driver_ != nullptr) return winabi::S_OK;
  void* found = nullptr;
  if (pIUnknown == nullptr ||
      pIUnknown->QueryInterface(winabi::IID_IPrintOemDriverUni, &found) != winabi::S_OK ||
      found == nullptr) {
    driver_ = nullptr;
    return winabi::E_FAIL;
  }
  driver_ = static_cast<winabi::IPrintOemDriverUni*>(found);
  return winabi::S_OK;
}

winabi::HRESULT RenderPlugin::GetImplementedMethod(char* pMethodName) {
  if (pMethodName == nullptr) return winabi::S_FALSE;
  for (const char* name : kImplementedMethods) {
    if (std::strcmp(pMethodName, name) == 0) return winabi::S_OK;
  }
  return winabi::S_FALSE;
}

winabi::HRESULT RenderPlugin::DriverDMS(void*, void*, winabi::DWORD, winabi::DWORD*) {
  return winabi::E_NOTIMPL;
}

winabi::HRESULT RenderPlugin::CommandCallback(winabi::DEVOBJ*, winabi::DWORD, winabi::DWORD,
                                              winabi::DWORD*, winabi::INT* piResult) {
  if (piResult != nullptr) *piResult = 0;
  return winabi::S_OK;
}

winabi::HRESULT RenderPlugin::ImageProcessing(winabi::DEVOBJ* pdevobj, winabi::BYTE* pSrcBitmap,
                                              winabi::BITMAPINFOHEADER* pBitmapInfoHeader,
                                              winabi::BYTE* pColorTable, winabi::DWORD dwCallbackID,
                                              winabi::IPPARAMS* pIPParams,
                                              winabi::BYTE** ppbResult) {
  capture::BandMediaType media{hasMediaType_, mediaType_};
  return Fenced([&] {
    return capture::CaptureBand(pdevobj, pSrcBitmap, pBitmapInfoHeader, pColorTable,
                                dwCallbackID, pIPParams, ppbResult, media);
  });
}

winabi::HRESULT RenderPlugin::FilterGraphics(winabi::DEVOBJ* pdevobj, winabi::BYTE* pBuf,
                                             winabi::DWORD dwLen) {
  if (driver_ == nullptr) return winabi::S_FALSE;
  winabi::DWORD written = 0;
  driver_->DrvWriteSpoolBuf(pdevobj, pBuf, dwLen, &written);
  return written == dwLen ? winabi::S_OK : winabi::S_FALSE;
}

// The remaining methods of the interface have no behaviour in this plug-in.
winabi::HRESULT RenderPlugin::Compression(winabi::DEVOBJ*, winabi::BYTE*, winabi::BYTE*,
                                          winabi::DWORD, winabi::DWORD, winabi::INT*) {
  return winabi::E_NOTIMPL;
}
winabi::HRESULT RenderPlugin::HalftonePattern(winabi::DEVOBJ*, winabi::BYTE*, winabi::DWORD,
                                              winabi::DWORD, winabi::DWORD, winabi::DWORD,
                                              winabi::BYTE*, winabi::DWORD) {
  return winabi::E_NOTIMPL;
}
winabi::HRESULT RenderPlugin::MemoryUsage(winabi::DEVOBJ*, void*) { return winabi::E_NOTIMPL; }
winabi::HRESULT RenderPlugin::TTYGetInfo(winabi::DEVOBJ*, winabi::DWORD, void*, winabi::DWORD,
                                         winabi::DWORD*) {
  return winabi::E_NOTIMPL;
}
winabi::HRESULT RenderPlugin::DownloadFontHeader(winabi::DEVOBJ*, void*, winabi::DWORD*) {
  return winabi::E_NOTIMPL;
}
winabi::HRESULT RenderPlugin::DownloadCharGlyph(winabi::DEVOBJ*, void*, winabi::ULONG,
                                                winabi::DWORD*, winabi::DWORD*) {
  return winabi::E_NOTIMPL;
}
winabi::HRESULT RenderPlugin::TTDownloadMethod(winabi::DEVOBJ*, void*, winabi::DWORD*) {
  return winabi::E_NOTIMPL;
}
winabi::HRESULT RenderPlugin::OutputCharStr(winabi::DEVOBJ*, void*, winabi::DWORD, winabi::DWORD,
                                            void*) {
  return winabi::E_NOTIMPL;
}
winabi::HRESULT RenderPlugin::SendFontCmd(winabi::DEVOBJ*, void*, void*) {
  return winabi::E_NOTIMPL;
}
winabi::HRESULT RenderPlugin::TextOutAsBitmap(winabi::SURFOBJ*, void*, void*, void*, winabi::RECTL*,
                                              winabi::RECTL*, void*, void*, winabi::POINTL*,
                                              winabi::ULONG) {
  return winabi::E_NOTIMPL;
}
winabi::HRESULT RenderPlugin::WritePrinter(winabi::DEVOBJ*, void*, winabi::DWORD, winabi::DWORD*) {
  return winabi::E_NOTIMPL;
}

}  // namespace frame
