// Windows implementation of the operating-system boundary.
//
// Our own declarations come first: <windows.h> defines S_OK, E_FAIL and the
// error codes as macros, which must not reach abi.h.
#include "platform/os.h"
#include "platform/win32/module_instance.h"
#include "platform/win32/wide.h"
// clang-format off
#include <windows.h>
#include <winspool.h>
// clang-format on

// The A/W selection macros of these names would rename our own functions.
#undef AddForm
#undef EnumForms
#undef EnumJobs
#undef SetForm

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

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
// The engine functions of gdi32, looked up when first used.
void* EngineFunction(const char* name) {
  HMODULE gdi = ::GetModuleHandleW(L"gdi32.dll");
  if (gdi == nullptr) gdi = ::LoadLibraryW(L"gdi32.dll");
  if (gdi == nullptr) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(gdi, name));
}
}  // namespace

winabi::HSURF EngCreateBitmap(winabi::SIZEL size) {
  using Fn = HBITMAP(WINAPI*)(SIZEL, LONG, ULONG, ULONG, PVOID);
  static const auto fn = reinterpret_cast<Fn>(EngineFunction("EngCreateBitmap"));
  if (fn == nullptr) return nullptr;
  constexpr ULONG kBmf8bpp = 3;
  constexpr ULONG kBmfTopDown = 0x0001;
  return fn(SIZEL{size.cx, size.cy}, 0, kBmf8bpp, kBmfTopDown, nullptr);
}

winabi::SURFOBJ* EngLockSurface(winabi::HSURF surface) {
  using Fn = winabi::SURFOBJ*(WINAPI*)(HANDLE);
  static const auto fn = reinterpret_cast<Fn>(EngineFunction("EngLockSurface"));
  if (fn == nullptr || surface == nullptr) return nullptr;
  return fn(surface);
}

void EngUnlockSurface(winabi::SURFOBJ* object) {
  using Fn = void(WINAPI*)(winabi::SURFOBJ*);
  static const auto fn = reinterpret_cast<Fn>(EngineFunction("EngUnlockSurface"));
  if (fn != nullptr && object != nullptr) fn(object);
}

bool EngDeleteSurface(winabi::HSURF surface) {
  using Fn = BOOL(WINAPI*)(HANDLE);
  static const auto fn = reinterpret_cast<Fn>(EngineFunction("EngDeleteSurface"));
  return fn != nullptr && surface != nullptr && fn(surface) != FALSE;
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

// ---- Palettes, registry, spooler, messages, resources ----

static_assert(sizeof(winabi::RECTL) == sizeof(RECTL));
static_assert(sizeof(winabi::SIZEL) == sizeof(SIZEL));

namespace os {

namespace {

using win32::U;
using win32::W;

// Runs a Windows two-call enumeration: a size query, then the call into a
// buffer of that size. Returns the buffer, or null on failure.
template <typename Call>
std::unique_ptr<BYTE[]> TwoCall(Call call, DWORD* returned) {
  DWORD needed = 0;
  *returned = 0;
  if (!call(nullptr, 0, &needed, returned) && ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return nullptr;
  }
  if (needed == 0) return std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[1]);
  std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[needed]());
  if (!buffer || !call(buffer.get(), needed, &needed, returned)) return nullptr;
  return buffer;
}

PrinterInfo InfoOf(const PRINTER_INFO_2W& p) {
  PrinterInfo info;
  info.printerName = U(p.pPrinterName);
  if (p.pServerName != nullptr) info.serverName = U(p.pServerName);
  info.driverName = U(p.pDriverName);
  info.status = p.Status;
  info.jobCount = p.cJobs;
  return info;
}

FORM_INFO_1W ToForm(const FormInfo& form) {
  FORM_INFO_1W f{};
  f.Flags = form.flags;
  f.pName = const_cast<LPWSTR>(W(form.name));
  f.Size = {form.size.cx, form.size.cy};
  f.ImageableArea = {form.imageableArea.left, form.imageableArea.top, form.imageableArea.right,
                     form.imageableArea.bottom};
  return f;
}

}  // namespace

std::uint32_t GetPaletteEntries(winabi::HPALETTE palette, std::uint32_t first, std::uint32_t count,
                                winabi::PALETTEENTRY* entries) {
  return ::GetPaletteEntries(static_cast<HPALETTE>(palette), first, count,
                             reinterpret_cast<PALETTEENTRY*>(entries));
}

std::optional<RegistryKey> RegistryKey::OpenLocalMachine(const std::u16string& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(path), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return RegistryKey(key);
}

RegistryKey::~RegistryKey() {
  if (handle_ != nullptr) ::RegCloseKey(static_cast<HKEY>(handle_));
}

bool RegistryKey::EnumSubkey(std::uint32_t index, std::u16string* name) const {
  wchar_t buffer[260] = {};
  DWORD length = 260;
  if (::RegEnumKeyExW(static_cast<HKEY>(handle_), index, buffer, &length, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  *name = U(buffer);
  return true;
}

bool RegistryKey::QueryDword(const char16_t* valueName, std::uint32_t* value) const {
  DWORD data = 0;
  DWORD size = sizeof data;
  if (::RegQueryValueExW(static_cast<HKEY>(handle_), reinterpret_cast<const wchar_t*>(valueName),
                         nullptr, nullptr, reinterpret_cast<BYTE*>(&data),
                         &size) != ERROR_SUCCESS ||
      size != sizeof data) {
    return false;
  }
  *value = data;
  return true;
}

std::optional<std::u16string> RegistryKey::QueryString(const char16_t* valueName) const {
  wchar_t buffer[1024] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  DWORD type = 0;
  if (::RegQueryValueExW(static_cast<HKEY>(handle_), reinterpret_cast<const wchar_t*>(valueName),
                         nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::nullopt;
  }
  return U(buffer);
}

std::optional<PrinterInfo> GetPrinterInfo(PrinterHandle printer) {
  DWORD unused = 0;
  auto buffer = TwoCall(
      [&](BYTE* b, DWORD size, DWORD* needed, DWORD*) {
        return ::GetPrinterW(static_cast<HANDLE>(printer), 2, b, size, needed) != FALSE;
      },
      &unused);
  if (!buffer) return std::nullopt;
  return InfoOf(*reinterpret_cast<PRINTER_INFO_2W*>(buffer.get()));
}

std::optional<std::vector<PrinterInfo>> EnumLocalPrinters() {
  DWORD count = 0;
  auto buffer = TwoCall(
      [](BYTE* b, DWORD size, DWORD* needed, DWORD* returned) {
        return ::EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, b, size, needed, returned) != FALSE;
      },
      &count);
  if (!buffer) return std::nullopt;
  std::vector<PrinterInfo> list;
  const auto* printers = reinterpret_cast<PRINTER_INFO_2W*>(buffer.get());
  for (DWORD i = 0; i < count; ++i) list.push_back(InfoOf(printers[i]));
  return list;
}

std::optional<std::vector<FormInfo>> EnumForms(PrinterHandle printer) {
  DWORD count = 0;
  auto buffer = TwoCall(
      [&](BYTE* b, DWORD size, DWORD* needed, DWORD* returned) {
        return ::EnumFormsW(static_cast<HANDLE>(printer), 1, b, size, needed, returned) != FALSE;
      },
      &count);
  if (!buffer) return std::nullopt;
  std::vector<FormInfo> list;
  const auto* forms = reinterpret_cast<FORM_INFO_1W*>(buffer.get());
  for (DWORD i = 0; i < count; ++i) {
    const FORM_INFO_1W& f = forms[i];
    list.push_back(FormInfo{f.Flags,
                            U(f.pName),
                            {f.Size.cx, f.Size.cy},
                            {f.ImageableArea.left, f.ImageableArea.top, f.ImageableArea.right,
                             f.ImageableArea.bottom}});
  }
  return list;
}

bool AddForm(PrinterHandle printer, const FormInfo& form) {
  FORM_INFO_1W f = ToForm(form);
  return ::AddFormW(static_cast<HANDLE>(printer), 1, reinterpret_cast<BYTE*>(&f)) != FALSE;
}

bool SetForm(PrinterHandle printer, const std::u16string& name, const FormInfo& form) {
  FORM_INFO_1W f = ToForm(form);
  return ::SetFormW(static_cast<HANDLE>(printer), const_cast<LPWSTR>(W(name)), 1,
                    reinterpret_cast<BYTE*>(&f)) != FALSE;
}

std::optional<std::vector<JobInfo>> EnumJobs(PrinterHandle printer, std::uint32_t firstJob,
                                             std::uint32_t count) {
  DWORD returned = 0;
  auto buffer = TwoCall(
      [&](BYTE* b, DWORD size, DWORD* needed, DWORD* got) {
        return ::EnumJobsW(static_cast<HANDLE>(printer), firstJob, count, 2, b, size, needed,
                           got) != FALSE;
      },
      &returned);
  if (!buffer) return std::nullopt;
  std::vector<JobInfo> jobs;
  const auto* info = reinterpret_cast<JOB_INFO_2W*>(buffer.get());
  for (DWORD i = 0; i < returned; ++i)
    jobs.push_back(JobInfo{U(info[i].pDocument), info[i].Status});
  return jobs;
}

bool SendConsoleMessage(const std::u16string& title, const std::u16string& text) {
  using SendMessageFn =
      BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, DWORD, LPWSTR, DWORD, DWORD, DWORD, DWORD*, BOOL);
  HMODULE wts = ::LoadLibraryA("Wtsapi32.dll");
  if (wts == nullptr) return false;
  auto send = reinterpret_cast<SendMessageFn>(
      reinterpret_cast<void*>(::GetProcAddress(wts, "WTSSendMessageW")));
  bool sent = false;
  if (send != nullptr) {
    DWORD response = 0;
    sent = send(nullptr, ::WTSGetActiveConsoleSessionId(), const_cast<LPWSTR>(W(title)),
                static_cast<DWORD>(title.size() * 2), const_cast<LPWSTR>(W(text)),
                static_cast<DWORD>(text.size() * 2), MB_OK, 0, &response, FALSE) != FALSE;
  }
  ::FreeLibrary(wts);
  return sent;
}

int LoadStringW(ModuleHandle module, std::uint32_t id, char16_t* buffer, int capacity) {
  return ::LoadStringW(static_cast<HINSTANCE>(module), id, reinterpret_cast<wchar_t*>(buffer),
                       capacity);
}

void* ProcessHeapAlloc(std::size_t bytes) {
  return ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
}
void* ProcessHeapReAlloc(void* block, std::size_t bytes) {
  return ::HeapReAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, block, bytes);
}
void ProcessHeapFree(void* block) {
  if (block != nullptr) ::HeapFree(::GetProcessHeap(), 0, block);
}

void* LocalAllocZero(std::size_t bytes) { return ::LocalAlloc(LMEM_ZEROINIT, bytes); }
void LocalFree(void* block) {
  if (block != nullptr) ::LocalFree(block);
}

void* CrtAlloc(std::size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }
void CrtFree(void* block) { std::free(block); }

std::uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

}  // namespace os
