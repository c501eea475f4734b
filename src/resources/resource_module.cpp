// The resource module holds only string resources; this entry point keeps the
// DLL loadable without the C runtime start-up doing anything of note.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
