// DLL entry point of the plug-in: hands process attach and detach to the frame.
// Our own headers first: <windows.h> turns the HRESULT names into macros.
#include "frame/module.h"
#include "platform/win32/module_instance.h"
// clang-format off
#include <windows.h>
// clang-format on

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    win32::SetModuleInstance(instance);
    frame::OnProcessAttach();
  } else if (reason == DLL_PROCESS_DETACH) {
    frame::OnProcessDetach();
  }
  return TRUE;
}
