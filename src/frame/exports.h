// The two functions the module exports. The Windows SDK declares them too
// (with references for the GUIDs, the same binary interface), so this header is
// kept apart from anything that includes <windows.h>.
#pragma once

#include "platform/abi.h"

extern "C" {
winabi::HRESULT DllGetClassObject(const winabi::GUID* rclsid, const winabi::GUID* riid, void** ppv);
winabi::HRESULT DllCanUnloadNow();
}
