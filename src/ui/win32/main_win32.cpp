// Entry point on Windows: the ANSI command line, split by the core's rules, and the start-up.
#include <windows.h>

#include "app/command_line.h"
#include "app/ventrel_conf.h"
#include "ui/win32/dll_search.h"
#include "ui/win32/modal_dialog_host.h"
#include "ui/win32/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  ventrel::win32::TakeDllsFromTheSystemFolderOnly();  // before any window, any DLL
  // The dialog object loads its icon before the configuration is opened.
  const HICON icon = ::LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
  ventrel::win32::ModalDialogHost host(instance, icon);

  std::vector<std::string> arguments = ventrel::SplitCommandLine(::GetCommandLineA());
  arguments.erase(arguments.begin());  // the program name
  ventrel::CVentrelConf application;
  return application.InitInstance(arguments, &host);
}
