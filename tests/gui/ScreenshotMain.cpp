// Makes a picture of the window after a listing, an open and a comparison:
//   quillon_screenshot OUT.png
#include <QApplication>
#include <QCheckBox>
#include <QPixmap>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "ScriptedDialogs.h"
#include "gui/HelpViewer.h"
#include "gui/QtMainWindow.h"
#include "platform/PosixFolderSearch.h"

namespace {

void Write(const std::string& path, const std::string& content) { std::ofstream(path) << content; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillon_screenshot OUT.png\n");
    return 2;
  }
  QApplication app(argc, argv);
  char pattern[] = "/tmp/quillon-shot-XXXXXX";
  const std::string root = mkdtemp(pattern);
  const std::string tree = root + "/Projects";
  for (const char* dir : {"", "/docs", "/docs/drafts", "/src", "/src/engine", "/photos 2024"})
    std::filesystem::create_directories(tree + dir);
  Write(tree + "/README.txt", "Quillon sample tree\n");
  Write(tree + "/docs/plan.txt", "plan v1\n");
  Write(tree + "/docs/drafts/notes.md", "notes\n");
  Write(tree + "/src/main.cpp", "int main() {}\n");
  Write(tree + "/src/engine/scan.cpp", "// scan\n");
  Write(tree + "/photos 2024/beach.jpg", std::string(48213, 'j'));

  ScriptedDialogs dialogs;
  PosixFolderSearch search;
  QtMainWindow window(dialogs, search, HelpViewer::LocateHelpFile());
  window.show();
  window.Md5CheckBox()->setChecked(true);

  // The listing of weeks ago, saved.
  dialogs.Folders.push_back(tree);
  window.Action(ActionId::EditListContentAction)->trigger();
  dialogs.SaveNames.push_back(root + "/projects.qln");
  window.Action(ActionId::FileSaveAction)->trigger();

  // Today: one file edited, one removed, one new.
  Write(tree + "/docs/plan.txt", "plan v2, longer\n");
  std::filesystem::remove(tree + "/src/engine/scan.cpp");
  Write(tree + "/src/engine/walk.cpp", "// walk\n");
  dialogs.OpenNames.push_back(root + "/projects.qln");
  window.Action(ActionId::FileOpenAction)->trigger();
  window.Action(ActionId::EditListContentAction)->trigger();
  dialogs.Folders.push_back(tree);
  window.Action(ActionId::EditListContentAction)->trigger();
  window.Action(ActionId::EditCompareContentAction)->trigger();

  QTimer::singleShot(300, &app, [&] {
    const bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]));
    std::filesystem::remove_all(root);
    app.exit(saved ? 0 : 1);
  });
  return app.exec();
}
