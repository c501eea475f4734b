// The plug-in object as the universal driver gets it: the class factory from
// the export, one IPrintOemUni2 made by it, the factory released again.
#pragma once

#include "frame/exports.h"
#include "platform/abi.h"

namespace testing_support {

// Null when either step fails.
inline winabi::IPrintOemUni2* NewPlugin() {
  void* out = nullptr;
  if (DllGetClassObject(&winabi::CLSID_RenderPlugin, &winabi::IID_IClassFactory, &out) !=
      winabi::S_OK) {
    return nullptr;
  }
  auto* factory = static_cast<winabi::IClassFactory*>(out);
  out = nullptr;
  const winabi::HRESULT hr = factory->CreateInstance(nullptr, winabi::IID_IPrintOemUni2, &out);
  factory->Release();
  return hr == winabi::S_OK ? static_cast<winabi::IPrintOemUni2*>(out) : nullptr;
}

}  // namespace testing_support
