// IClassFactory for RenderPlugin.
#include "frame/class_factory.h"

#include <new>

#include "frame/module.h"
#include "frame/render_plugin.h"

namespace frame {

namespace {
std::atomic<std::int32_t> gLiveFactories{0};
}

RenderPluginFactory::RenderPluginFactory() { ++gLiveFactories; }
RenderPluginFactory::~RenderPluginFactory() { --gLiveFactories; }

std::int32_t RenderPluginFactory::LiveCount() { return gLiveFactories.load(); }

winabi::HRESULT RenderPluginFactory::QueryInterface(const winabi::GUID& riid, void** ppv) {
  if (ppv == nullptr) return winabi::E_POINTER;
  if (IsNullAddress(&riid)) {
    *ppv = nullptr;
    return winabi::E_POINTER;
  }
  if (winabi::IsEqualGuid(riid, winabi::IID_IUnknown) ||
      winabi::IsEqualGuid(riid, winabi::IID_IClassFactory)) {
    *ppv = static_cast<winabi::IClassFactory*>(this);
    AddRef();
    return winabi::S_OK;
  }
  *ppv = nullptr;
  return winabi::E_NOINTERFACE;
}

winabi::ULONG RenderPluginFactory::AddRef() { return ++refCount_; }

winabi::ULONG RenderPluginFactory::Release() {
  const winabi::ULONG count = --refCount_;
  if (count == 0) delete this;
  return count;
}

winabi::HRESULT RenderPluginFactory::CreateInstance(winabi::IUnknown* pUnkOuter,
                                                    const winabi::GUID& riid, void** ppv) {
  if (ppv == nullptr) return winabi::E_POINTER;
  *ppv = nullptr;
  if (IsNullAddress(&riid)) return winabi::E_POINTER;
  if (pUnkOuter != nullptr) return winabi::CLASS_E_NOAGGREGATION;
  auto* plugin = new (std::nothrow) RenderPlugin();
  if (plugin == nullptr) return winabi::E_OUTOFMEMORY;
  ++Module().objectCount;
  const winabi::HRESULT hr = plugin->QueryInterface(riid, ppv);
  plugin->Release();
  return hr;
}

winabi::HRESULT RenderPluginFactory::LockServer(winabi::BOOL fLock) {
  if (fLock != 0) {
    ++Module().lockCount;
  } else {
    --Module().lockCount;
  }
  return winabi::S_OK;
}

}  // namespace frame
