/* kestrane_probe_dll.dll, of a name no system has: planted beside the test programs. */
__declspec(dllexport) int KestraneProbe(void) { return 1; }
