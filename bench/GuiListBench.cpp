// Drives a listing run in the real window, for timing against quillon-cli:
//   quillon_gui_bench FOLDER [LOADED]
// With LOADED, that listing file is then opened into the second pane too.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QLabel>
#include <cstdio>

#include "ScriptedDialogs.h"
#include "gui/HelpViewer.h"
#include "gui/QtMainWindow.h"
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
  // The run starts once the window is up and painted, as it is for a user.
  QTimer::singleShot(300, &app, [&] {
    QElapsedTimer run;
    run.start();
    dialogs.Folders.push_back(argv[1]);
    window.Action(ActionId::EditListContentAction)->trigger();
    const qint64 listed = run.elapsed();
    if (argc == 3) {
      dialogs.OpenNames.push_back(argv[2]);
      window.Action(ActionId::FileOpenAction)->trigger();
    }
    QApplication::processEvents();
    std::fprintf(stderr, "%s | %s | listed in %lld ms\n", window.Panel(0)->text().toUtf8().constData(),
                 window.Panel(2)->text().toUtf8().constData(), static_cast<long long>(listed));
    app.exit(dialogs.Errors.empty() ? 0 : 1);
  });
  return app.exec();
}
