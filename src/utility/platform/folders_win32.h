// The shell's known folders on Windows, for the programs of ours that need one beyond the core's.
#pragma once

#include <windows.h>
//
#include <shlobj.h>

#include <string>

namespace ventrel {

// The folder in UTF-8, as the program carries paths, with shell32 loaded from the system folder
// only (never imported: it pulls in DLLs that are not all KnownDLLs); empty when the shell cannot
// be loaded or does not know the folder.
std::string KnownFolder(REFKNOWNFOLDERID id);

}  // namespace ventrel
