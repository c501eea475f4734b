// RenderPlugin: the IPrintOemUni2 object through which the universal driver
// drives the plug-in.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/abi.h"

namespace frame {

class RenderPlugin final : public winabi::IPrintOemUni2 {
 public:
  RenderPlugin();

  // IUnknown
  winabi::HRESULT QueryInterface(const winabi::GUID& riid, void** ppv) override;
  winabi::ULONG AddRef() override;
  winabi::ULONG Release() override;

  // IPrintOemUni / IPrintOemUni2
  winabi::HRESULT GetInfo(winabi::DWORD dwMode, void* pBuffer, winabi::DWORD cbSize,
                          winabi::DWORD* pcbNeeded) override;
  winabi::HRESULT DevMode(winabi::DWORD dwMode, winabi::OEMDMPARAM* pOemDMParam) override;
  winabi::HRESULT EnableDriver(winabi::DWORD DriverVersion, winabi::DWORD cbSize,
                               winabi::DRVENABLEDATA* pded) override;
  winabi::HRESULT DisableDriver() override;
  winabi::HRESULT EnablePDEV(winabi::DEVOBJ* pdevobj, winabi::WCHAR* pPrinterName,
                             winabi::ULONG cPatterns, winabi::HSURF* phsurfPatterns,
                             winabi::ULONG cjGdiInfo, winabi::GDIINFO* pGdiInfo,
                             winabi::ULONG cjDevInfo, winabi::DEVINFO* pDevInfo,
                             winabi::DRVENABLEDATA* pded, void** pDevOem) override;
  winabi::HRESULT DisablePDEV(winabi::DEVOBJ* pdevobj) override;
  winabi::HRESULT ResetPDEV(winabi::DEVOBJ* pdevobjOld, winabi::DEVOBJ* pdevobjNew) override;
  winabi::HRESULT PublishDriverInterface(winabi::IUnknown* pIUnknown) override;
  winabi::HRESULT GetImplementedMethod(char* pMethodName) override;
  winabi::HRESULT DriverDMS(void* pDevObj, void* pBuffer, winabi::DWORD cbSize,
                            winabi::DWORD* pcbNeeded) override;
  winabi::HRESULT CommandCallback(winabi::DEVOBJ* pdevobj, winabi::DWORD dwCallbackID,
                                  winabi::DWORD dwCount, winabi::DWORD* pdwParams,
                                  winabi::INT* piResult) override;
  winabi::HRESULT ImageProcessing(winabi::DEVOBJ* pdevobj, winabi::BYTE* pSrcBitmap,
                                  winabi::BITMAPINFOHEADER* pBitmapInfoHeader,
                                  winabi::BYTE* pColorTable, winabi::DWORD dwCallbackID,
                                  winabi::IPPARAMS* pIPParams, winabi::BYTE** ppbResult) override;
  winabi::HRESULT FilterGraphics(winabi::DEVOBJ* pdevobj, winabi::BYTE* pBuf,
                                 winabi::DWORD dwLen) override;
  winabi::HRESULT Compression(winabi::DEVOBJ*, winabi::BYTE*, winabi::BYTE*, winabi::DWORD,
                              winabi::DWORD, winabi::INT*) override;
  winabi::HRESULT HalftonePattern(winabi::DEVOBJ*, winabi::BYTE*, winabi::DWORD, winabi::DWORD,
                                  winabi::DWORD, winabi::DWORD, winabi::BYTE*,
                                  winabi::DWORD) override;
  winabi::HRESULT MemoryUsage(winabi::DEVOBJ*, void*) override;
  winabi::HRESULT TTYGetInfo(winabi::DEVOBJ*, winabi::DWORD, void*, winabi::DWORD,
                             winabi::DWORD*) override;
  winabi::HRESULT DownloadFontHeader(winabi::DEVOBJ*, void*, winabi::DWORD*) override;
  winabi::HRESULT DownloadCharGlyph(winabi::DEVOBJ*, void*, winabi::ULONG, winabi::DWORD*,
                                    winabi::DWORD*) override;
  winabi::HRESULT TTDownloadMethod(winabi::DEVOBJ*, void*, winabi::DWORD*) override;
  winabi::HRESULT OutputCharStr(winabi::DEVOBJ*, void*, winabi::DWORD, winabi::DWORD,
                                void*) override;
  winabi::HRESULT SendFontCmd(winabi::DEVOBJ*, void*, void*) override;
  winabi::HRESULT TextOutAsBitmap(winabi::SURFOBJ*, void*, void*, void*, winabi::RECTL*,
                                  winabi::RECTL*, void*, void*, winabi::POINTL*,
                                  winabi::ULONG) override;
  winabi::HRESULT WritePrinter(winabi::DEVOBJ*, void*, winabi::DWORD, winabi::DWORD*) override;

  // The dmMediaType of the last merged public devmode; meaningful only once a
  // merge has happened.
  winabi::DWORD mediaType() const { return mediaType_; }
  bool hasMediaType() const { return hasMediaType_; }
  winabi::IPrintOemDriverUni* driverInterface() const { return driver_; }

 private:
  ~RenderPlugin();  // only the last Release destroys the object

  std::atomic<winabi::ULONG> refCount_{1};
  winabi::IPrintOemDriverUni* driver_ = nullptr;
  winabi::DWORD mediaType_ = 0;
  bool hasMediaType_ = false;
};

// GetInfo answers.
inline constexpr winabi::DWORD OEMGI_GETSIGNATURE = 1;
inline constexpr winabi::DWORD OEMGI_GETVERSION = 3;
inline constexpr winabi::DWORD kPluginSignature = 0x4D534654;  // "TFSM"
inline constexpr winabi::DWORD kPluginVersion = 1;

// Process-wide GDI+ token: each EnablePDEV overwrites it, DisablePDEV shuts
// GDI+ down with it.
std::uintptr_t& GdiplusToken();

}  // namespace frame
