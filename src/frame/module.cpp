// Module entry points of the in-process COM server.
#include "frame/module.h"

#include <cstring>
#include <new>

#include "frame/class_factory.h"
#include "frame/exports.h"

namespace winabi {
bool IsEqualGuid(const GUID& a, const GUID& b) {
  std::uint64_t ha[2];
  std::uint64_t hb[2];
  std::memcpy(ha, &a, sizeof ha);
  std::memcpy(hb, &b, sizeof hb);
  return ha[0] == hb[0] && ha[1] == hb[1];
}
}  // namespace winabi

namespace frame {

ModuleState& Module() {
  static ModuleState state;
  return state;
}

bool IsNullAddress(const void* address) { return address == nullptr; }

void OnProcessAttach() {
  ModuleState& m = Module();
  if (m.resourceModule != nullptr) return;
  constexpr std::size_t kPathBytes = 260;
  char path[kPathBytes] = {};
  os::GetPrinterDriverDirectoryA(path, kPathBytes);
  const char sep[] = {os::kPathSeparator, '3', os::kPathSeparator, '\0'};
  // Both appends stay within the buffer; an overlong path simply fails to load.
  std::strncat(path, sep, kPathBytes - 1 - std::strlen(path));
  std::strncat(path, kResourceModuleName, kPathBytes - 1 - std::strlen(path));
  os::ModuleHandle loaded = os::LoadLibraryA(path);
  m.resourceModuleLoaded = loaded != nullptr;
  m.resourceModule = loaded != nullptr ? loaded : os::ThisModule();
}

void OnProcessDetach() {
  ModuleState& m = Module();
  if (m.resourceModuleLoaded) os::FreeLibrary(m.resourceModule);
  m.resourceModuleLoaded = false;
  m.resourceModule = nullptr;
}

}  // namespace frame

extern "C" winabi::HRESULT DllGetClassObject(const winabi::GUID* rclsid, const winabi::GUID* riid,
                                             void** ppv) {
  if (ppv == nullptr) return winabi::E_POINTER;
  *ppv = nullptr;
  if (rclsid == nullptr || riid == nullptr) return winabi::E_POINTER;
  if (!winabi::IsEqualGuid(*rclsid, winabi::CLSID_RenderPlugin))
    return winabi::CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) frame::RenderPluginFactory();
  if (factory == nullptr) return winabi::E_OUTOFMEMORY;
  const winabi::HRESULT hr = factory->QueryInterface(*riid, ppv);
  factory->Release();
  return hr;
}

extern "C" winabi::HRESULT DllCanUnloadNow() {
  const frame::ModuleState& m = frame::Module();
  return (m.objectCount.load() == 0 && m.lockCount.load() == 0) ? winabi::S_OK : winabi::S_FALSE;
}
