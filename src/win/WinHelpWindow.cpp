#include "win/WinHelpWindow.h"

#include <algorithm>
#include <vector>

#include "surfaces/Texts.h"
#include "app/HelpPlace.h"
#include "app/HtmlText.h"
#include "win/Resources.h"
#include "win/WinText.h"

namespace {
constexpr const wchar_t* kClassName = L"QuillonHelp";
constexpr int kWidth = 640, kHeight = 560;
}  // namespace

std::wstring WinHelpWindow::Text() {
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_HELP_HTML), MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
  if (loaded == nullptr) return L"Help is not available: it is missing from the program.";
  const std::string_view html(static_cast<const char*>(LockResource(loaded)), SizeofResource(nullptr, found));
  return Shown(HtmlText::ToPlain(html));
}

void WinHelpWindow::LineUpColumns(const std::wstring& text) {
  // The widest cell of each column but the last, in the box's font.
  HDC dc = GetDC(text_);
  HGDIOBJ old = SelectObject(dc, font_);
  std::vector<int> widths;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find(L"\r\n", start), text.size());
    std::size_t cell = start;
    for (std::size_t column = 0;; ++column) {
      const std::size_t tab = text.find(L'\t', cell);
      if (tab == std::wstring::npos || tab >= end) break;
      SIZE size{};
      GetTextExtentPoint32W(dc, text.c_str() + cell, static_cast<int>(tab - cell), &size);
      if (widths.size() <= column) widths.push_back(0);
      widths[column] = std::max<int>(widths[column], size.cx);
      cell = tab + 1;
    }
    start = end + 2;
  }
  // Tab stops are in quarters of the font's average character width.
  SIZE alphabet{};
  GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &alphabet);
  SelectObject(dc, old);
  ReleaseDC(text_, dc);
  const int average = std::max(1, static_cast<int>((alphabet.cx / 26 + 1) / 2));
  std::vector<int> stops;
  int right = 0;
  for (const int width : widths) {
    right += width + Scaled(16, GetDpiForWindow(text_));
    stops.push_back((right * 4 + average - 1) / average);
  }
  if (!stops.empty()) SendMessageW(text_, EM_SETTABSTOPS, stops.size(), reinterpret_cast<LPARAM>(stops.data()));
}

void WinHelpWindow::ShowContents(HWND owner) {
  if (frame_ == nullptr) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!GetClassInfoExW(instance, kClassName, &windowClass)) {
      windowClass.lpfnWndProc = &WinHelpWindow::Procedure;
      windowClass.hInstance = instance;
      windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
      windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
      windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUILLON));
      windowClass.lpszClassName = kClassName;
      RegisterClassExW(&windowClass);
    }
    const unsigned dpi = owner != nullptr ? GetDpiForWindow(owner) : 96;
    RECT place{CW_USEDEFAULT, CW_USEDEFAULT, 0, 0};
    if (owner != nullptr) {
      RECT main{};
      GetWindowRect(owner, &main);
      MONITORINFO monitor{sizeof monitor, {}, {}, 0};
      GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
      const RECT& work = monitor.rcWork;
      const HelpPlace::Rect beside =
          HelpPlace::Beside({main.left, main.top, main.right - main.left, main.bottom - main.top}, Scaled(kWidth, dpi),
                            Scaled(kHeight, dpi), {work.left, work.top, work.right - work.left, work.bottom - work.top});
      place = {beside.left, beside.top, 0, 0};
    }
    frame_ = CreateWindowExW(0, kClassName, Shown(Texts::kHelpTitle).c_str(), WS_OVERLAPPEDWINDOW, place.left,
                             place.top, Scaled(kWidth, dpi), Scaled(kHeight, dpi), nullptr, nullptr, instance, this);
    font_ = CreateFontW(-Scaled(13, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                        CLEARTYPE_QUALITY, FF_SWISS, L"Segoe UI");
    const std::wstring help = Text();
    text_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", help.c_str(),
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0,
                            0, 0, frame_, nullptr, instance, nullptr);
    SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    LineUpColumns(help);
    RECT client{};
    GetClientRect(frame_, &client);
    MoveWindow(text_, 0, 0, client.right, client.bottom, TRUE);
  }
  ShowWindow(frame_, SW_SHOWNORMAL);
  SetForegroundWindow(frame_);
  SetFocus(text_);
}

void WinHelpWindow::Quit() {
  if (frame_ != nullptr) DestroyWindow(frame_);
}

bool WinHelpWindow::PreTranslate(const MSG& msg) {
  if (frame_ == nullptr || msg.message != WM_KEYDOWN) return false;
  if (msg.hwnd != frame_ && !IsChild(frame_, msg.hwnd)) return false;
  const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  if (msg.wParam == VK_ESCAPE || (control && msg.wParam == 'W')) {
    Quit();
    return true;
  }
  return false;
}

LRESULT CALLBACK WinHelpWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  }
  auto* self = reinterpret_cast<WinHelpWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr) {
    switch (message) {
      case WM_SIZE:
        if (self->text_ != nullptr) MoveWindow(self->text_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
      case WM_DESTROY:
        DeleteObject(self->font_);
        self->font_ = nullptr;
        self->frame_ = self->text_ = nullptr;
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
