// Makes a picture of the window after a listing, an open and a comparison,
// or of the about box or the help window over it:
//   quillon_screenshot OUT.png [about|help]
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QPixmap>
#include <QListView>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <memory>

#include "ScriptedDialogs.h"
#include "gui/HelpViewer.h"
#include "gui/QtMainWindow.h"
#include "gui/TAboutBox.h"
#include "platform/SystemFolderSearch.h"

namespace {

void Write(const std::string& path, const std::string& content) { std::ofstream(path) << content; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: quillon_screenshot OUT.png [about|help]\n");
    return 2;
  }
  const std::string what = argc == 3 ? argv[2] : "window";
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
  Write(tree + "/photos 2024/odd\x01name\x1b.txt", "shown with control pictures\n");

  ScriptedDialogs dialogs;
  SystemFolderSearch search;
  // Built into the tests' folder, the help file is one folder up.
  QString helpFile = HelpViewer::LocateHelpFile();
  if (!QFileInfo::exists(helpFile)) helpFile = QCoreApplication::applicationDirPath() + "/../quillon-help.html";
  QtMainWindow window(dialogs, search, helpFile);
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
  // The changed file selected: its old line shows beside the result toggles.
  QListView* results = window.PaneView(PaneId::ListBox3);
  for (int row = 0; row < results->model()->rowCount(); ++row) {
    if (!results->model()->index(row, 0).data().toString().startsWith(QStringLiteral("Modified"))) continue;
    results->setCurrentIndex(results->model()->index(row, 0));
    window.Logic().ListBox3Click();
  }

  std::unique_ptr<TAboutBox> about;
  if (what == "about") {
    about = std::make_unique<TAboutBox>(&window);
    about->show();
  } else if (what == "help") {
    window.Action(ActionId::HelpProgramAction)->trigger();
  }
  QTimer::singleShot(300, &app, [&] {
    QWidget* shown = &window;
    if (about) shown = about.get();
    if (what == "help") shown = window.Help().Frame();
    std::fprintf(stderr, "main window at %d,%d %dx%d; picture of %d,%d %dx%d\n", window.frameGeometry().x(),
                 window.frameGeometry().y(), window.frameGeometry().width(), window.frameGeometry().height(),
                 shown->frameGeometry().x(), shown->frameGeometry().y(), shown->width(), shown->height());
    const bool saved = shown->grab().save(QString::fromLocal8Bit(argv[1]));
    std::filesystem::remove_all(root);
    app.exit(saved ? 0 : 1);
  });
  return app.exec();
}
