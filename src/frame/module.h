// Module entry: process-wide counts, the resource module, and the two exports.
#pragma once

#include <atomic>

#include "platform/abi.h"
#include "platform/os.h"

namespace frame {

// File name of the companion resource module, looked up in the "3" subfolder
// of the printer driver directory.
inline constexpr char kResourceModuleName[] = "KLMV47Ar.dll";

struct ModuleState {
  std::atomic<std::int32_t> objectCount{0};
  std::atomic<std::int32_t> lockCount{0};
  os::ModuleHandle resourceModule = nullptr;
  bool resourceModuleLoaded = false;  // true when FreeLibrary is owed at detach
};

ModuleState& Module();

// True for a null address. COM clients pass an IID by address, and a C client
// can pass null where the C++ declaration holds a reference; the test lives out
// of line so that it is made on the address as passed.
bool IsNullAddress(const void* address);

// Process attach: loads the resource module (or falls back to this module).
void OnProcessAttach();
// Process detach: releases a loaded resource module and clears the handle.
void OnProcessDetach();

}  // namespace frame
