// A stand-in for the universal driver's service interface: it keeps what the
// plug-in writes to the spooler and can be told to accept fewer bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/abi.h"

namespace testing_support {

class FakeDriverInterface final : public winabi::IPrintOemDriverUni {
 public:
  std::vector<std::uint8_t> spooled;
  winabi::DWORD acceptLimit = 0xFFFFFFFF;  // bytes accepted per write
  bool failWithoutCount = false;           // writes fail and leave the count alone
  int refCount = 1;
  int queries = 0;

  winabi::HRESULT QueryInterface(const winabi::GUID& riid, void** ppv) override {
    ++queries;
    if (winabi::IsEqualGuid(riid, winabi::IID_IPrintOemDriverUni) ||
        winabi::IsEqualGuid(riid, winabi::IID_IUnknown)) {
      *ppv = this;
      AddRef();
      return winabi::S_OK;
    }
    *ppv = nullptr;
    return winabi::E_NOINTERFACE;
  }
  winabi::ULONG AddRef() override { return ++refCount; }
  winabi::ULONG Release() override { return --refCount; }
  winabi::HRESULT DrvGetDriverSetting(void*, const char*, void*, winabi::DWORD, winabi::DWORD*,
                                      winabi::DWORD*) override {
    return winabi::E_NOTIMPL;
  }
  winabi::HRESULT DrvWriteSpoolBuf(winabi::DEVOBJ*, void* buffer, winabi::DWORD size,
                                   winabi::DWORD* written) override {
    if (failWithoutCount) return winabi::E_FAIL;
    const winabi::DWORD taken = size < acceptLimit ? size : acceptLimit;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    spooled.insert(spooled.end(), bytes, bytes + taken);
    *written = taken;
    return winabi::S_OK;
  }
  winabi::HRESULT DrvXMoveTo(winabi::DEVOBJ*, winabi::INT, winabi::DWORD, winabi::INT*) override {
    return winabi::E_NOTIMPL;
  }
  winabi::HRESULT DrvYMoveTo(winabi::DEVOBJ*, winabi::INT, winabi::DWORD, winabi::INT*) override {
    return winabi::E_NOTIMPL;
  }
  winabi::HRESULT DrvGetStandardVariable(winabi::DEVOBJ*, winabi::DWORD, void*, winabi::DWORD,
                                         winabi::DWORD*) override {
    return winabi::E_NOTIMPL;
  }
  winabi::HRESULT DrvGetGPDData(winabi::DEVOBJ*, winabi::DWORD, void*, void*, winabi::DWORD,
                                winabi::DWORD*) override {
    return winabi::E_NOTIMPL;
  }
  winabi::HRESULT DrvUniTextOut(winabi::SURFOBJ*, void*, void*, void*, winabi::RECTL*,
                                winabi::RECTL*, void*, void*, winabi::POINTL*,
                                winabi::ULONG) override {
    return winabi::E_NOTIMPL;
  }
  winabi::HRESULT DrvWriteAbortBuf(winabi::DEVOBJ*, void*, winabi::DWORD, winabi::DWORD) override {
    return winabi::E_NOTIMPL;
  }
};

}  // namespace testing_support
