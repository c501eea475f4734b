// DLL entry point of the plug-in: hands process attach and detach to the frame.
#include <windows.h>

#include "frame/module.h"
#include "platform/win32/module_instance.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    win32::SetModuleInstance(instance);
    frame::OnProcessAttach();
  } else if (reason == DLL_PROCESS_DETACH) {
    frame::OnProcessDetach();
  }
  return TRUE;
}
