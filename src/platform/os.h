// The operating-system calls the core makes. One implementation wraps the
// Windows APIs (platform/win32), the other an in-process world (platform/host);
// the build links exactly one of them.
#pragma once

#include <cstdint>
#include <string>

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

// ---- GDI ----
// EngCreatePalette(PAL_BGR, 0, NULL, 0, 0, 0); null when it fails or the
// engine function is missing.
winabi::HPALETTE CreateBgrPalette();

// ---- GDI+ ----
// GdiplusStartup with input version 1 and no output record; the token is
// returned through *token. Returns false on failure.
bool GdiplusStartup(std::uintptr_t* token);
void GdiplusShutdown(std::uintptr_t token);

}  // namespace os
