// Where the Windows program takes its DLLs from.
#pragma once

namespace ventrel::win32 {

// From here on, DLLs loaded by name come from the system folder only, never from the program's
// folder (a USB stick, a share, Downloads) nor the current one. Called first in WinMain, before
// anything can load a DLL; the static imports, resolved before it, are all KnownDLLs.
void TakeDllsFromTheSystemFolderOnly();

}  // namespace ventrel::win32
