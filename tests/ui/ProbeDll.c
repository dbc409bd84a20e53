/* kestrane_probe_dll.dll: a DLL of a name no system has, built beside the
   test programs for the DLL search test to load by name. */
__declspec(dllexport) int KestraneProbe(void)
{
    return 1;
}
