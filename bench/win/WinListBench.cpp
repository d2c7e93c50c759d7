// Drives the Win32 window under wine, for timing against quillon-cli.exe:
//   quillon_win_bench [--md5] [--shot FILE.bmp] FOLDER
//   quillon_win_bench --open LISTING [--about-shot FILE.bmp]
// A listing run is timed from the List command to the end of the paint that
// shows the finished listing; an open from the Open command to the end of the
// paint of the loaded pane, with the process's memory after it. --shot writes
// the window as it then looks.
#include "platform/WindowsApi.h"

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ScriptedWinDialogs.h"
#include "platform/SystemFolderSearch.h"
#include "win/SystemDialogs.h"
#include "win/WinMainWindow.h"

namespace {

using Clock = std::chrono::steady_clock;

void PaintNow(HWND window) { RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

// The window's pixels as a 24-bit bitmap file.
bool SaveShot(HWND window, const char* path) {
  RECT frame{};
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER header{sizeof header, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<std::size_t>(stride * height));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&header),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof header + pixels.size()), 0, 0,
                        sizeof(BITMAPFILEHEADER) + sizeof header};
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return false;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&header, sizeof header, 1, out);
  std::fwrite(pixels.data(), 1, pixels.size(), out);
  return std::fclose(out) == 0;
}

// Writes the about box once it is up, then closes it.
const char* aboutShot = nullptr;
void CALLBACK ShootAbout(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND box = GetForegroundWindow();
  if (box == nullptr) box = GetActiveWindow();
  SaveShot(box, aboutShot);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

}  // namespace

int main(int argc, char** argv) {
  bool md5 = false;
  const char* shot = nullptr;
  const char* open = nullptr;
  const char* folder = nullptr;
  bool hidden = false;
  int readers = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--md5") == 0) {
      md5 = true;
    } else if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc) {
      shot = argv[++i];
    } else if (std::strcmp(argv[i], "--about-shot") == 0 && i + 1 < argc) {
      aboutShot = argv[++i];
    } else if (std::strcmp(argv[i], "--hidden") == 0) {
      hidden = true;
    } else if (std::strcmp(argv[i], "--readers") == 0 && i + 1 < argc) {
      readers = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--open") == 0 && i + 1 < argc) {
      open = argv[++i];
    } else {
      folder = argv[i];
    }
  }
  if ((folder == nullptr) == (open == nullptr)) {
    std::fprintf(stderr, "usage: quillon_win_bench [--md5] [--shot FILE.bmp] FOLDER | --open LISTING\n");
    return 2;
  }
  ScriptedWinDialogs dialogs;
  SystemFolderSearch search;
  WinMainWindow window(dialogs, search, {L"Software\\Quillon-Bench", false});
  if (readers > 0) window.Logic().SetReaders(static_cast<std::size_t>(readers));
  if (!hidden) ShowWindow(window.Handle(), SW_SHOW);
  PaintNow(window.Handle());
  window.ProcessPending();
  if (md5) SendMessageW(window.Md5CheckBox(), BM_SETCHECK, BST_CHECKED, 0);

  const Clock::time_point start = Clock::now();
  if (folder != nullptr) {
    dialogs.Folders.push_back(folder);
    SendMessageW(window.Handle(), WM_COMMAND, WinMainWindow::CommandOf(ActionId::EditListContentAction), 0);
  } else {
    dialogs.OpenNames.push_back(open);
    SendMessageW(window.Handle(), WM_COMMAND, WinMainWindow::CommandOf(ActionId::FileOpenAction), 0);
  }
  PaintNow(window.Handle());
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  PROCESS_MEMORY_COUNTERS memory{};
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  const PaneId pane = folder != nullptr ? PaneId::ListBox1 : PaneId::ListBox2;
  std::printf("%s %d lines in %.0f ms, working set %.0f MiB (peak %.0f MiB)\n",
              folder != nullptr ? "listed" : "opened", window.PaneLines(pane).Count(), ms,
              static_cast<double>(memory.WorkingSetSize) / 1048576.0,
              static_cast<double>(memory.PeakWorkingSetSize) / 1048576.0);
  if (!dialogs.Errors.empty()) std::fprintf(stderr, "error: %s\n", dialogs.Errors.front().c_str());
  if (shot != nullptr && !SaveShot(window.Handle(), shot)) std::fprintf(stderr, "cannot write %s\n", shot);
  if (aboutShot != nullptr) {
    SetTimer(nullptr, 0, 700, &ShootAbout);
    SystemDialogs about;
    about.SetOwner(window.Handle());
    about.ShowAbout();
  }
  WinSettings(L"Software\\Quillon-Bench").RemoveAll();
  return dialogs.Errors.empty() ? 0 : 1;
}
