// The form in which the jobs hand a path to the system.
#pragma once

#include "app/Strings.h"

// path as the file functions of every Windows version take it at any length.
// Windows refuses a path of MAX_PATH (260) characters or more unless it is
// written \\?\C:\... or \\?\UNC\server\share\... (or long paths are switched
// on for the whole system and the program claims them, which a user can't
// count on). The system takes such a path literally, without making it
// absolute or resolving "." and "..", so that is done here first. A full
// path shorter than MAX_PATH passes as it is.
CString ToSystemPath(const CString& path);

// The full path of path ("." and ".." resolved, "/" made "\"); path itself
// when the system can't form it.
CString GetFullPath(const CString& path);
