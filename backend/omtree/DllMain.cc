// Windows entry point of the shared library. The library keeps no per-thread
// state, so it asks the loader not to call it for thread attach and detach,
// and reports success for everything else.

#include <windows.h>

BOOL APIENTRY DllMain(HMODULE module, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
  return TRUE;
}
