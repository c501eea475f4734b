// Loads labelrender.dll the way the spooler does and drives the plug-in
// through the published IPrintOemUni2 vtable only (declared here from the
// Windows headers' shape, not from the plug-in's own declarations): each
// slot called once, its rules being the unit tests' business.
//   plugin_smoke DLL            -- COM entry and set-up calls
//   plugin_smoke --strings DLL  -- the message table of a resource module
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

const CLSID kClsid = {0x6D6ABF26, 0x9F38, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};
const IID kIidUni2 = {0xB91220AC, 0x15CC, 0x4E7A, {0xA2, 0x1E, 0x95, 0x91, 0xF3, 0x4D, 0x6F, 0x6C}};
const IID kIidFactory = {0x00000001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Slots 0..11 of IPrintOemUni2; the rest are not called.
struct Uni2Vtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(void*, REFIID, void**);
  ULONG(STDMETHODCALLTYPE* AddRef)(void*);
  ULONG(STDMETHODCALLTYPE* Release)(void*);
  HRESULT(STDMETHODCALLTYPE* GetInfo)(void*, DWORD, PVOID, DWORD, PDWORD);
  HRESULT(STDMETHODCALLTYPE* DevMode)(void*, DWORD, void*);
  HRESULT(STDMETHODCALLTYPE* EnableDriver)(void*, DWORD, DWORD, void*);
  HRESULT(STDMETHODCALLTYPE* DisableDriver)(void*);
  HRESULT(STDMETHODCALLTYPE* EnablePDEV)
  (void*, void*, PWSTR, ULONG, void*, ULONG, void*, ULONG, void*, void*, void**);
  HRESULT(STDMETHODCALLTYPE* DisablePDEV)(void*, void*);
  void* ResetPDEV;
  void* PublishDriverInterface;
  HRESULT(STDMETHODCALLTYPE* GetImplementedMethod)(void*, PSTR);
  void* DriverDMS;
  void* CommandCallback;
  HRESULT(STDMETHODCALLTYPE* ImageProcessing)
  (void*, void*, PBYTE, PBITMAPINFOHEADER, PBYTE, DWORD, void*, PBYTE*);
};

// DRVENABLEDATA / DRVFN, DEVOBJ and SURFOBJ as the DDK declares them.
struct DrvFn {
  ULONG iFunc;
  void* pfn;
};
struct DrvEnableData {
  ULONG iDriverVersion;
  ULONG c;
  DrvFn* pdrvfn;
};
struct DevObj {
  DWORD dwSize;
  void* pdevOEM;
  HANDLE hEngine;
  HANDLE hPrinter;
  HANDLE hOEM;
  PDEVMODEW pPublicDM;
  void* pOEMDM;
  void* pDrvProcs;
};
struct SurfObj {
  void* dhsurf;
  void* hsurf;
  void* dhpdev;
  void* rest[8];
};
struct IpParams {
  DWORD dwSize;
  POINT ptOffset;
  PSTR pHalftoneOption;
  BOOL bBanding;
  BOOL bBlankBand;
};

int gDriverEndDocCalls = 0;
BOOL APIENTRY DriverStartPage(SurfObj*) { return TRUE; }
BOOL APIENTRY DriverEndDoc(SurfObj*, ULONG) {
  ++gDriverEndDocCalls;
  return TRUE;
}
struct Uni2 {
  const Uni2Vtbl* vtbl;
};

struct OemDmParam {  // OEMDMPARAM
  DWORD cbSize;
  PVOID pdriverobj;
  HANDLE hPrinter;
  HANDLE hModule;
  PDEVMODEW pPublicDMIn;
  PDEVMODEW pPublicDMOut;
  PVOID pOEMDMIn;
  PVOID pOEMDMOut;
  DWORD cbBufSize;
};

int failures = 0;
void Check(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++failures;
}

int DriveThePlugin(const char* path) {
  HMODULE dll = LoadLibraryA(path);
  Check(dll != nullptr, "LoadLibrary");
  if (dll == nullptr) return 1;
  using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, LPVOID*);
  using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
  auto getClassObject = reinterpret_cast<GetClassObjectFn>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
  auto canUnload = reinterpret_cast<CanUnloadFn>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  Check(getClassObject != nullptr && canUnload != nullptr, "both exports found");
  if (getClassObject == nullptr || canUnload == nullptr) return 1;

  IClassFactory* factory = nullptr;
  Check(getClassObject(kClsid, kIidFactory, reinterpret_cast<void**>(&factory)) == S_OK,
        "DllGetClassObject");
  if (factory == nullptr) return 1;
  Uni2* plugin = nullptr;
  Check(factory->CreateInstance(nullptr, kIidUni2, reinterpret_cast<void**>(&plugin)) == S_OK,
        "CreateInstance(IPrintOemUni2)");
  factory->Release();
  if (plugin == nullptr) return 1;
  Check(canUnload() == S_FALSE, "DllCanUnloadNow while an object lives");

  DWORD signature = 0;
  DWORD needed = 0;
  Check(plugin->vtbl->GetInfo(plugin, 1, &signature, 4, &needed) == S_OK &&
            signature == 0x4D534654 && needed == 4,
        "GetInfo(signature)");

  OemDmParam param{};
  param.cbSize = sizeof param;
  Check(plugin->vtbl->DevMode(plugin, 1, &param) == S_OK && param.cbBufSize == 7196,
        "DevMode(size)");
  static unsigned char record[7196];
  param.pOEMDMOut = record;
  Check(plugin->vtbl->DevMode(plugin, 2, &param) == S_OK && std::memcmp(record + 4, "TFSM", 4) == 0,
        "DevMode(default)");

  char name[] = "ImageProcessing";
  Check(plugin->vtbl->GetImplementedMethod(plugin, name) == S_OK, "GetImplementedMethod");

  // A document without a printer handle: its page size cannot be found, so
  // the band is taken but no page is printed; nothing may crash.
  DrvEnableData hooks{};
  Check(plugin->vtbl->EnableDriver(plugin, 0x00010000, sizeof hooks, &hooks) == S_OK &&
            hooks.c == 2 && hooks.pdrvfn[0].iFunc == 34 && hooks.pdrvfn[1].iFunc == 33,
        "EnableDriver(hooks)");
  DrvFn driverFns[] = {{33, reinterpret_cast<void*>(&DriverStartPage)},
                       {34, reinterpret_cast<void*>(&DriverEndDoc)}};
  DrvEnableData driverTable{0x00010000, 2, driverFns};
  DEVMODEW publicDm{};
  publicDm.dmSize = sizeof publicDm;
  publicDm.dmOrientation = 1;
  publicDm.dmPaperWidth = 1016;
  publicDm.dmPaperLength = 1524;
  static unsigned char privateDm[7196];
  std::memcpy(privateDm, record, sizeof privateDm);
  DevObj devobj{};
  devobj.dwSize = sizeof devobj;
  devobj.pPublicDM = &publicDm;
  devobj.pOEMDM = privateDm;
  ULONG gdiInfo[64] = {};
  gdiInfo[6] = 8;  // cBitsPixel
  unsigned char devInfo[512] = {};
  Check(plugin->vtbl->EnablePDEV(plugin, &devobj, nullptr, 0, nullptr, sizeof gdiInfo, gdiInfo,
                                 sizeof devInfo, devInfo, &driverTable, &devobj.pdevOEM) == S_OK &&
            devobj.pdevOEM != nullptr,
        "EnablePDEV");
  SurfObj surface{};
  surface.dhpdev = &devobj;
  using StartPageFn = BOOL(APIENTRY*)(SurfObj*);
  using EndDocFn = BOOL(APIENTRY*)(SurfObj*, ULONG);
  Check(reinterpret_cast<StartPageFn>(hooks.pdrvfn[1].pfn)(&surface) == TRUE, "StartPage hook");
  static BYTE band[64 * 16];
  std::memset(band, 0x80, sizeof band);
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = 64;
  info.biHeight = 16;
  info.biPlanes = 1;
  info.biBitCount = 8;
  info.biSizeImage = sizeof band;
  IpParams ip{};
  ip.dwSize = sizeof ip;
  PBYTE taken = nullptr;
  Check(plugin->vtbl->ImageProcessing(plugin, &devobj, band, &info, nullptr, 5, &ip, &taken) ==
                S_OK &&
            taken == reinterpret_cast<PBYTE>(1),
        "ImageProcessing takes the band");
  Check(reinterpret_cast<EndDocFn>(hooks.pdrvfn[0].pfn)(&surface, 0) == TRUE &&
            gDriverEndDocCalls == 1,
        "EndDoc hook calls the driver's DrvEndDoc");
  Check(plugin->vtbl->DisablePDEV(plugin, &devobj) == S_OK, "DisablePDEV");

  Check(plugin->vtbl->Release(plugin) == 0, "Release");
  Check(canUnload() == S_OK, "DllCanUnloadNow after release");
  FreeLibrary(dll);
  return failures == 0 ? 0 : 1;
}

int CheckStrings(const char* path) {
  HMODULE dll = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  Check(dll != nullptr, "LoadLibraryEx(resource module)");
  if (dll == nullptr) return 1;
  for (UINT id = 74; id <= 82; ++id) {
    wchar_t text[256] = {};
    const int length = LoadStringW(dll, id, text, 256);
    std::printf("  %u: %ls\n", id, text);
    Check(length > 0, "string present");
  }
  wchar_t text[256] = {};
  LoadStringW(dll, 82, text, 256);
  Check(std::wcscmp(text, L"Select a media size supported by your printer.") == 0, "text of 82");
  FreeLibrary(dll);
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--strings") == 0) return CheckStrings(argv[2]);
  if (argc != 2) {
    std::fprintf(stderr, "usage: plugin_smoke DLL | plugin_smoke --strings DLL\n");
    return 2;
  }
  return DriveThePlugin(argv[1]);
}
