// Where Windows looks for the DLLs this process loads by name.
#pragma once

// Takes the program's own folder and the current directory out of the DLL
// search: only the system directory is searched from then on. Run first in
// wWinMain, before anything (a file dialog, the shell) loads a DLL by name.
void NarrowDllSearch();
