#include <csignal>

#include "gui/HelpViewer.h"
#include "gui/QtDialogProvider.h"
#include "gui/QtMainWindow.h"
#include "gui/QuillonApplication.h"
#include "platform/InterruptGuard.h"
#include "platform/MemoryBudget.h"
#include "platform/SystemFolderSearch.h"

int main(int argc, char** argv) {
  MemoryBudget::ShareAllocatorArenas();
  // A save past the file-size limit must fail as a write, not end the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // A signal during a save takes the save's temporary file with it.
  InterruptGuard::Install();
  QuillonApplication app(argc, argv);
  const QString helpFile = HelpViewer::LocateHelpFile();
  QtDialogProvider dialogs;
  SystemFolderSearch search;
  QtMainWindow window(dialogs, search, helpFile);
  window.show();
  app.exec();
  return 0;
}
