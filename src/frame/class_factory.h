// The class factory of the one class the module serves.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/abi.h"

namespace frame {

class RenderPluginFactory final : public winabi::IClassFactory {
 public:
  RenderPluginFactory();

  winabi::HRESULT QueryInterface(const winabi::GUID& riid, void** ppv) override;
  winabi::ULONG AddRef() override;
  winabi::ULONG Release() override;
  winabi::HRESULT CreateInstance(winabi::IUnknown* pUnkOuter, const winabi::GUID& riid,
                                 void** ppv) override;
  winabi::HRESULT LockServer(winabi::BOOL fLock) override;

  // Factories alive in the process; lets tests see that a failed query left none.
  static std::int32_t LiveCount();

 private:
  ~RenderPluginFactory();  // only the last Release destroys a factory

  std::atomic<winabi::ULONG> refCount_{1};
};

}  // namespace frame
