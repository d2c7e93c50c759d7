#include "platform/WindowsApi.h"

#include <objbase.h>

#include "platform/SystemFolderSearch.h"
#include "win/SystemDialogs.h"
#include "win/WinMainWindow.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  // The folder browser and the file dialogs want a single-threaded apartment.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  int code = 0;
  {
    SystemDialogs dialogs;
    SystemFolderSearch search;
    WinMainWindow window(dialogs, search, {});
    window.Show(show);
    code = window.RunMessageLoop();
  }
  CoUninitialize();
  return code;
}
