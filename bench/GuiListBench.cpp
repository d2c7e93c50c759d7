// Drives a listing run in the real window, for timing against quillon-cli:
//   quillon_gui_bench [--md5] [--stop-after MS] FOLDER [LOADED]
// The run is timed from the List command to the end of the first paint of
// the current-listing pane that shows the finished listing. With --md5 the
// check box is ticked first. With --stop-after, another thread presses
// Escape MS milliseconds into the run, and the time from that key to the
// end of the run is printed. With LOADED, that listing file is then opened
// into the second pane too.
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QTimer>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "ScriptedDialogs.h"
#include "gui/HelpViewer.h"
#include "gui/QtMainWindow.h"
#include "platform/SystemFolderSearch.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Processor time of the whole process, all its threads, in milliseconds.
double CpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Notes the end of the first paint of a widget once the listing is finished.
class PaintWatch : public QObject {
 public:
  bool finished = false;
  bool painted = false;
  Clock::time_point paintedAt;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Paint || !finished || painted || inPaint_) return false;
    inPaint_ = true;
    QCoreApplication::sendEvent(watched, event);  // the paint itself, inside the timing
    inPaint_ = false;
    painted = true;
    paintedAt = Clock::now();
    return true;
  }

 private:
  bool inPaint_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  bool md5 = false;
  int stopAfterMs = -1;
  std::vector<const char*> args;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--md5") == 0) {
      md5 = true;
    } else if (std::strcmp(argv[i], "--stop-after") == 0 && i + 1 < argc) {
      stopAfterMs = std::atoi(argv[++i]);
    } else {
      args.push_back(argv[i]);
    }
  }
  if (args.empty() || args.size() > 2) {
    std::fprintf(stderr, "usage: quillon_gui_bench [--md5] [--stop-after MS] FOLDER [LOADED]\n");
    return 2;
  }
  QApplication app(argc, argv);
  ScriptedDialogs dialogs;
  SystemFolderSearch search;
  QtMainWindow window(dialogs, search, HelpViewer::LocateHelpFile());
  window.Md5CheckBox()->setChecked(md5);
  window.show();
  PaintWatch watch;
  window.PaneView(PaneId::ListBox1)->viewport()->installEventFilter(&watch);
  std::thread escape;
  Clock::time_point escapedAt;
  // The run starts once the window is up and painted, as it is for a user.
  QTimer::singleShot(300, &app, [&] {
    const Clock::time_point start = Clock::now();
    const double cpuStart = CpuMs();
    if (stopAfterMs >= 0) {
      escape = std::thread([&] {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(stopAfterMs));
        escapedAt = Clock::now();
        QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier));
      });
    }
    dialogs.Folders.push_back(args[0]);
    window.Action(ActionId::EditListContentAction)->trigger();
    const Clock::time_point ended = Clock::now();
    watch.finished = true;
    window.PaneView(PaneId::ListBox1)->viewport()->update();
    while (!watch.painted) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double cpu = CpuMs() - cpuStart;
    if (escape.joinable()) escape.join();
    const int lines = window.Model(PaneId::ListBox1)->Pane().Count();
    const bool stopped =
        lines > 0 && window.Model(PaneId::ListBox1)->Pane().LineAt(lines - 1).rfind("***", 0) == 0;
    if (stopAfterMs >= 0) {
      if (stopped) {
        std::fprintf(stderr, "stopped %d ms into the run | latency %.1f ms\n", stopAfterMs,
                     MsBetween(escapedAt, ended));
      } else {
        std::fprintf(stderr, "not stopped: the run ended after %.0f ms\n", MsBetween(start, ended));
      }
    }
    if (args.size() == 2) {
      dialogs.OpenNames.push_back(args[1]);
      window.Action(ActionId::FileOpenAction)->trigger();
    }
    QApplication::processEvents();
    std::fprintf(stderr, "%s | %s | listed in %.0f ms (%d lines, processor %.0f ms)\n",
                 window.Panel(0)->text().toUtf8().constData(), window.Panel(2)->text().toUtf8().constData(),
                 MsBetween(start, watch.paintedAt), lines, cpu);
    app.exit(dialogs.Errors.empty() ? 0 : 1);
  });
  return app.exec();
}
