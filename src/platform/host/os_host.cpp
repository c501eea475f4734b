// Host implementation of the operating-system boundary over host::World.
#include <cstring>

#include "platform/host/world.h"
#include "platform/os.h"

namespace host {

namespace {
World& WorldStorage() {
  static World world;
  return world;
}
int gModuleTag = 0;
int gPaletteTag = 0;
}  // namespace

World& TheWorld() { return WorldStorage(); }
void ResetWorld() { WorldStorage() = World{}; }
void* HostModuleHandle() { return &gModuleTag; }

}  // namespace host

namespace os {

namespace {
constexpr std::uintptr_t kLibraryHandleBase = 0x10000;
thread_local winabi::DWORD gLastError = 0;
}  // namespace

void SetLastError(winabi::DWORD code) { gLastError = code; }
winabi::DWORD GetLastError() { return gLastError; }

bool GetPrinterDriverDirectoryA(char* buf, std::uint32_t size) {
  const std::string& dir = host::TheWorld().driverDirectory;
  if (dir.empty() || buf == nullptr || dir.size() + 1 > size) return false;
  std::memcpy(buf, dir.c_str(), dir.size() + 1);
  return true;
}

ModuleHandle LoadLibraryA(const char* path) {
  host::World& w = host::TheWorld();
  if (path == nullptr) return nullptr;
  for (const std::string& lib : w.loadableLibraries) {
    if (lib == path) {
      w.loadedLibraries.push_back(lib);
      // Handles are distinct non-null values, never dereferenced.
      return reinterpret_cast<ModuleHandle>(kLibraryHandleBase + w.loadedLibraries.size());
    }
  }
  return nullptr;
}

void FreeLibrary(ModuleHandle module) {
  if (module != nullptr) host::TheWorld().freedLibraries++;
}

ModuleHandle ThisModule() { return host::HostModuleHandle(); }

winabi::HPALETTE CreateBgrPalette() {
  host::World& w = host::TheWorld();
  if (w.paletteCreationFails) return nullptr;
  w.palettesCreated++;
  return &host::gPaletteTag;
}

bool GdiplusStartup(std::uintptr_t* token) {
  host::World& w = host::TheWorld();
  w.gdiplusStartups++;
  w.lastGdiplusToken = static_cast<std::uintptr_t>(0x1000 + w.gdiplusStartups);
  *token = w.lastGdiplusToken;
  return true;
}

void GdiplusShutdown(std::uintptr_t token) {
  host::World& w = host::TheWorld();
  w.gdiplusShutdowns++;
  w.lastShutdownToken = token;
}

}  // namespace os
