// Drives a listing run in the real window, for timing against quillon-cli:
//   quillon_gui_bench FOLDER [LOADED]
// With LOADED, that listing file is then opened into the second pane too.
#include <QApplication>
#include <QTimer>
#include <QLabel>
#include <cstdio>

#include "ScriptedDialogs.h"
#include "app/qt/HelpViewer.h"
#include "app/qt/QtMainWindow.h"
#include "platform/PosixFolderSearch.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: quillon_gui_bench FOLDER [LOADED]\n");
    return 2;
  }
  QApplication app(argc, argv);
  ScriptedDialogs dialogs;
  PosixFolderSearch search;
  QtMainWindow window(dialogs, search, HelpViewer::LocateHelpFile());
  window.show();
  QTimer::singleShot(0, &app, [&] {
    dialogs.Folders.push_back(argv[1]);
    window.Action(ActionId::EditListContentAction)->trigger();
    if (argc == 3) {
      dialogs.OpenNames.push_back(argv[2]);
      window.Action(ActionId::FileOpenAction)->trigger();
    }
    QApplication::processEvents();
    std::fprintf(stderr, "%s | %s\n", window.Panel(0)->text().toUtf8().constData(),
                 window.Panel(2)->text().toUtf8().constData());
    app.exit(dialogs.Errors.empty() ? 0 : 1);
  });
  return app.exec();
}
