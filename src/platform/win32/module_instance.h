// The plug-in module's instance handle, recorded by the DLL entry point.
#pragma once

namespace win32 {
void SetModuleInstance(void* instance);
}
