// The operating-system calls the core makes. One implementation wraps the
// Windows APIs (platform/win32), the other an in-process world (platform/host);
// the build links exactly one of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/abi.h"

namespace os {

using ModuleHandle = void*;

// ---- Thread error state ----
void SetLastError(winabi::DWORD code);
winabi::DWORD GetLastError();

// ---- Modules ----
// Printer driver directory of the local server and default environment
// (level 1), as a narrow path written into buf (NUL-terminated, at most size
// bytes). Returns false when the spooler cannot answer.
bool GetPrinterDriverDirectoryA(char* buf, std::uint32_t size);
// Loads a library by path; null when it cannot be loaded.
ModuleHandle LoadLibraryA(const char* path);
void FreeLibrary(ModuleHandle module);
// The plug-in module's own instance handle.
ModuleHandle ThisModule();
// Directory separator of this platform's paths.
constexpr char kPathSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif
constexpr char16_t kWidePathSeparator = static_cast<char16_t>(kPathSeparator);

// ---- GDI ----
// EngCreatePalette(PAL_BGR, 0, NULL, 0, 0, 0); null when it fails or the
// engine function is missing.
winabi::HPALETTE CreateBgrPalette();

// ---- Engine surfaces (crop print labels) ----
// EngCreateBitmap(size, 0, BMF_8BPP, BMF_TOPDOWN, NULL): an 8-bit top-down
// bitmap whose row stride the engine chooses. Null when it fails or the
// engine function is missing.
winabi::HSURF EngCreateBitmap(winabi::SIZEL size);
// EngLockSurface; null when it fails or the engine function is missing.
winabi::SURFOBJ* EngLockSurface(winabi::HSURF surface);
void EngUnlockSurface(winabi::SURFOBJ* object);
bool EngDeleteSurface(winabi::HSURF surface);

// ---- GDI+ ----
// GdiplusStartup with input version 1 and no output record; the token is
// returned through *token. Returns false on failure.
bool GdiplusStartup(std::uintptr_t* token);
void GdiplusShutdown(std::uintptr_t token);

// ---- GDI palettes ----
// GetPaletteEntries(palette, first, count, entries); returns the number of
// entries read (0 on failure).
std::uint32_t GetPaletteEntries(winabi::HPALETTE palette, std::uint32_t first, std::uint32_t count,
                                winabi::PALETTEENTRY* entries);

// ---- Registry (read only, under HKEY_LOCAL_MACHINE) ----
class RegistryKey {
 public:
  // RegOpenKeyExW(HKLM, path, KEY_READ); nullopt when the key cannot be opened.
  static std::optional<RegistryKey> OpenLocalMachine(const std::u16string& path);
  RegistryKey(RegistryKey&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  RegistryKey& operator=(RegistryKey&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey();  // RegCloseKey

  // RegEnumKeyExW at index into a 260-character buffer; false past the end.
  bool EnumSubkey(std::uint32_t index, std::u16string* name) const;
  // RegQueryValueExW into a 4-byte buffer; false when the value is missing or
  // is not exactly 4 bytes long.
  bool QueryDword(const char16_t* valueName, std::uint32_t* value) const;
  // A REG_SZ value; nullopt when missing or not a string.
  std::optional<std::u16string> QueryString(const char16_t* valueName) const;

 private:
  explicit RegistryKey(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;
};

// ---- Spooler ----
using PrinterHandle = winabi::HANDLE;

// The fields of PRINTER_INFO_2 the plug-in reads.
struct PrinterInfo {
  std::u16string printerName;
  std::optional<std::u16string> serverName;  // pServerName, when present
  std::u16string driverName;
  std::uint32_t status = 0;
  std::uint32_t jobCount = 0;  // cJobs
};

// A FORM_INFO_1W at level 1, sizes in thousandths of a millimetre.
struct FormInfo {
  std::uint32_t flags = 0;
  std::u16string name;
  winabi::SIZEL size{};
  winabi::RECTL imageableArea{};
};

// The fields of JOB_INFO_2 the plug-in reads.
struct JobInfo {
  std::u16string document;  // pDocument
  std::uint32_t status = 0;
};

// GetPrinterW level 2 (size query, then the call).
std::optional<PrinterInfo> GetPrinterInfo(PrinterHandle printer);
// EnumPrintersW(PRINTER_ENUM_LOCAL, no name, level 2).
std::optional<std::vector<PrinterInfo>> EnumLocalPrinters();
// EnumFormsW level 1, in the spooler's order.
std::optional<std::vector<FormInfo>> EnumForms(PrinterHandle printer);
// AddFormW / SetFormW level 1; false when the spooler refuses.
bool AddForm(PrinterHandle printer, const FormInfo& form);
bool SetForm(PrinterHandle printer, const std::u16string& name, const FormInfo& form);
// EnumJobsW level 2 from firstJob for at most count jobs.
std::optional<std::vector<JobInfo>> EnumJobs(PrinterHandle printer, std::uint32_t firstJob,
                                             std::uint32_t count);

// ---- User messages ----
// WTSSendMessageW to the active console session (Wtsapi32.dll loaded at run
// time, MB_OK, no time-out, no wait). False when the library or the function
// is missing.
bool SendConsoleMessage(const std::u16string& title, const std::u16string& text);

// ---- String resources and the process heap ----
// LoadStringW(module, id, buffer, capacity); the number of characters copied.
int LoadStringW(ModuleHandle module, std::uint32_t id, char16_t* buffer, int capacity);
// HeapAlloc / HeapReAlloc with HEAP_ZERO_MEMORY on the process heap, HeapFree.
void* ProcessHeapAlloc(std::size_t bytes);
void* ProcessHeapReAlloc(void* block, std::size_t bytes);
void ProcessHeapFree(void* block);

// ---- Page memory ----
// LocalAlloc(LMEM_ZEROINIT) and LocalFree: page buffers and palettes.
void* LocalAllocZero(std::size_t bytes);
void LocalFree(void* block);

// malloc and free of the C runtime: buffers whose lack is a defined result
// (a file read whole, the page writer's images), so that the host can fail them.
void* CrtAlloc(std::size_t bytes);
void CrtFree(void* block);

// ---- Process ----
std::uint32_t CurrentProcessId();

// ---- Files and directories ----
// GetTempPathW: the temporary directory, ending in a separator.
std::u16string GetTempPath();
// GetTempFileNameW(directory, prefix, 0, ...): creates a new unique file and
// returns its path; nullopt on failure.
std::optional<std::u16string> GetTempFileName(const std::u16string& directory,
                                              const std::u16string& prefix);

class File {
 public:
  enum class Mode { kRead, kCreateAlways, kAppend };  // kAppend opens or creates
  // CreateFileW; nullopt when the file cannot be opened or created.
  static std::optional<File> Open(const std::u16string& path, Mode mode);
  File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  File& operator=(File&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { Close(); }

  // Bytes written or read; fewer than asked means failure or end of file.
  std::size_t Write(const void* data, std::size_t size);
  std::size_t Read(void* data, std::size_t size);
  // Moves to the end and returns the position, or -1.
  std::int64_t SeekToEnd();
  bool SeekToStart();
  void Close();
  bool isOpen() const { return handle_ != nullptr; }

 private:
  explicit File(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;
};

bool CopyFile(const std::u16string& from, const std::u16string& to, bool failIfExists);
bool DeleteFile(const std::u16string& path);
// PathIsDirectoryW.
bool PathIsDirectory(const std::u16string& path);
// CreateDirectoryW without security attributes; false when it exists already.
bool CreateDirectory(const std::u16string& path);
// FindFirstFileW finds an entry with FILE_ATTRIBUTE_DIRECTORY.
bool FindIsDirectory(const std::u16string& path);

// ---- Time ----
struct LocalTime {
  std::uint16_t year, month, day, hour, minute, second;
};
LocalTime GetLocalTime();

// ---- Code pages ----
// Windows code page numbers: 932 Shift JIS, 54936 GB 18030, 65001 UTF-8, 3
// the thread's ANSI code page.
constexpr std::uint32_t kCodePageThreadAnsi = 3;
constexpr std::uint32_t kCodePageUtf8 = 65001;
// Text in code page from as text in code page to (through UTF-16 on
// Windows); nullopt when a code page is unknown or the text is not valid in
// it. Lives apart from the rest of the platform (platform/codepage_*.cpp) so
// that the barcode library can use it alone.
std::optional<std::string> ConvertCodePage(const std::string& text, std::uint32_t from,
                                           std::uint32_t to);

}  // namespace os
