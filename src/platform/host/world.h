// The in-process world behind the host platform: what the "operating system"
// holds and what the plug-in did to it. Tests and tools build it and read it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/abi.h"

namespace host {

struct World {
  // Spooler: printer driver directory; empty means the spooler fails.
  std::string driverDirectory = "/spool/drivers/x64";
  // Libraries that LoadLibraryA can load, by full path.
  std::vector<std::string> loadableLibraries;
  // What the plug-in did.
  std::vector<std::string> loadedLibraries;
  int freedLibraries = 0;
  int palettesCreated = 0;
  bool paletteCreationFails = false;
  int gdiplusStartups = 0;
  int gdiplusShutdowns = 0;
  std::uintptr_t lastGdiplusToken = 0;
  std::uintptr_t lastShutdownToken = 0;
};

// The one world of the process; Reset() gives a fresh one.
World& TheWorld();
void ResetWorld();

// Handle values the host hands out for the module itself and loaded libraries.
void* HostModuleHandle();

}  // namespace host
