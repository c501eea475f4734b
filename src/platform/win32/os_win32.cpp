// Windows implementation of the operating-system boundary.
//
// Our own declarations come first: <windows.h> defines S_OK, E_FAIL and the
// error codes as macros, which must not reach abi.h.
#include "platform/os.h"
#include "platform/win32/module_instance.h"
// clang-format off
#include <windows.h>
#include <winspool.h>
// clang-format on

#include <cstring>

static_assert(sizeof(winabi::DEVMODEW) == sizeof(DEVMODEW));
static_assert(offsetof(winabi::DEVMODEW, dmFormName) == offsetof(DEVMODEW, dmFormName));
static_assert(offsetof(winabi::DEVMODEW, dmMediaType) == offsetof(DEVMODEW, dmMediaType));
static_assert(sizeof(winabi::BITMAPINFOHEADER) == sizeof(BITMAPINFOHEADER));
static_assert(sizeof(winabi::BITMAPFILEHEADER) == sizeof(BITMAPFILEHEADER));
static_assert(sizeof(winabi::FORM_INFO_1W) == sizeof(FORM_INFO_1W));
static_assert(sizeof(winabi::PALETTEENTRY) == sizeof(PALETTEENTRY));
static_assert(sizeof(winabi::GUID) == sizeof(GUID));

namespace win32 {
namespace {
HINSTANCE gInstance = nullptr;
}
void SetModuleInstance(void* instance) { gInstance = static_cast<HINSTANCE>(instance); }
}  // namespace win32

namespace os {

void SetLastError(winabi::DWORD code) { ::SetLastError(code); }
winabi::DWORD GetLastError() { return ::GetLastError(); }

bool GetPrinterDriverDirectoryA(char* buf, std::uint32_t size) {
  DWORD needed = 0;
  return ::GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(buf), size,
                                      &needed) != FALSE;
}

ModuleHandle LoadLibraryA(const char* path) { return ::LoadLibraryA(path); }

void FreeLibrary(ModuleHandle module) {
  if (module != nullptr) ::FreeLibrary(static_cast<HMODULE>(module));
}

ModuleHandle ThisModule() {
  return win32::gInstance != nullptr ? win32::gInstance : ::GetModuleHandleW(nullptr);
}

winabi::HPALETTE CreateBgrPalette() {
  // Wine's gdi32 lacks the engine functions, so they are bound at run time.
  using EngCreatePaletteFn = HPALETTE(WINAPI*)(ULONG, ULONG, ULONG*, ULONG, ULONG, ULONG);
  HMODULE gdi = ::GetModuleHandleW(L"gdi32.dll");
  if (gdi == nullptr) gdi = ::LoadLibraryW(L"gdi32.dll");
  if (gdi == nullptr) return nullptr;
  auto fn = reinterpret_cast<EngCreatePaletteFn>(
      reinterpret_cast<void*>(::GetProcAddress(gdi, "EngCreatePalette")));
  if (fn == nullptr) return nullptr;
  constexpr ULONG kPalBgr = 0x08;
  return fn(kPalBgr, 0, nullptr, 0, 0, 0);
}

namespace {
struct GdiplusStartupInput {
  UINT32 GdiplusVersion;
  void* DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};
using GdiplusStartupFn = int(WINAPI*)(ULONG_PTR*, const GdiplusStartupInput*, void*);
using GdiplusShutdownFn = void(WINAPI*)(ULONG_PTR);

HMODULE Gdiplus() {
  static HMODULE module = ::LoadLibraryW(L"gdiplus.dll");
  return module;
}
}  // namespace

bool GdiplusStartup(std::uintptr_t* token) {
  HMODULE gdiplus = Gdiplus();
  if (gdiplus == nullptr) return false;
  auto fn = reinterpret_cast<GdiplusStartupFn>(
      reinterpret_cast<void*>(::GetProcAddress(gdiplus, "GdiplusStartup")));
  if (fn == nullptr) return false;
  GdiplusStartupInput input{1, nullptr, FALSE, FALSE};
  ULONG_PTR t = 0;
  const bool ok = fn(&t, &input, nullptr) == 0;
  *token = t;
  return ok;
}

void GdiplusShutdown(std::uintptr_t token) {
  HMODULE gdiplus = Gdiplus();
  if (gdiplus == nullptr) return;
  auto fn = reinterpret_cast<GdiplusShutdownFn>(
      reinterpret_cast<void*>(::GetProcAddress(gdiplus, "GdiplusShutdown")));
  if (fn != nullptr) fn(token);
}

}  // namespace os
