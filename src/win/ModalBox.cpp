#include "win/ModalBox.h"

#include <vector>

#include "app/AboutLayout.h"
#include "app/LineEnds.h"
#include "app/WindowLayout.h"
#include "surfaces/BuildInfo.h"
#include "surfaces/Texts.h"
#include "win/Resources.h"
#include "win/WinText.h"

namespace {

enum class Kind { About, ExcludePatterns };

struct Box {
  Kind kind;
  std::string patterns;
  unsigned dpi = 96;
  HFONT font = nullptr;
  HFONT bold = nullptr;
  HFONT small = nullptr;
  HWND panel = nullptr;
  HWND commit = nullptr;
  HWND edit = nullptr;
  HBRUSH black = nullptr;
};

constexpr int kEditId = 100;

HFONT MakeFont(unsigned dpi, int pixels, int weight, const wchar_t* face) {
  return CreateFontW(-Scaled(pixels, dpi), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                     DEFAULT_QUALITY, 0, face);
}

HWND Child(HWND parent, const wchar_t* type, const std::wstring& text, DWORD style, RECT r, Box& box, HFONT font,
           int id = 0, DWORD extended = 0) {
  HWND child = CreateWindowExW(extended, type, text.c_str(), WS_CHILD | WS_VISIBLE | style, Scaled(r.left, box.dpi),
                               Scaled(r.top, box.dpi), Scaled(r.right, box.dpi), Scaled(r.bottom, box.dpi), parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return child;
}

// Gives the box its client size and centres it over its owner.
void Place(HWND dialog, int width, int height, unsigned dpi) {
  RECT frame{0, 0, Scaled(width, dpi), Scaled(height, dpi)};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)), dpi);
  RECT owner{};
  HWND parent = GetWindow(dialog, GW_OWNER);
  if (parent == nullptr || !GetWindowRect(parent, &owner)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &owner, 0);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  SetWindowPos(dialog, nullptr, (owner.left + owner.right - w) / 2, (owner.top + owner.bottom - h) / 2, w, h,
               SWP_NOZORDER);
}

// A rectangle of the layout as the box's child windows take it: a place and a size.
RECT ChildRect(const ScreenRect& r, int dx = 0, int dy = 0) { return {r.left + dx, r.top + dy, r.width, r.height}; }

void BuildAbout(HWND dialog, Box& box) {
  namespace A = AboutLayout;
  SetWindowTextW(dialog, Shown(Texts::kAboutCaption).c_str());
  box.font = MakeFont(box.dpi, A::kCharacterHeight, FW_NORMAL, L"MS Sans Serif");
  box.bold = MakeFont(box.dpi, A::kCharacterHeight, FW_BOLD, L"MS Sans Serif");
  box.black = CreateSolidBrush(RGB(0, 0, 0));
  box.panel = Child(dialog, L"STATIC", L"", SS_SUNKEN, ChildRect(A::kPanel), box, box.font);
  // The icon and the labels lie over the panel, not in it: they are moved by its corner.
  const int dx = A::kPanel.left, dy = A::kPanel.top;
  HWND icon = Child(dialog, L"STATIC", L"", SS_ICON | SS_CENTERIMAGE, ChildRect(A::kIcon, dx, dy), box, box.font);
  SendMessageW(icon, STM_SETICON,
               reinterpret_cast<WPARAM>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_QUILLON), IMAGE_ICON,
                                                   Scaled(A::kIconSize, box.dpi), Scaled(A::kIconSize, box.dpi), 0)),
               0);
  for (const A::PanelText& text : A::kTexts)
    Child(dialog, L"STATIC", Shown(text.text), SS_NOPREFIX, ChildRect(text.room, dx, dy), box,
          text.bold ? box.bold : box.font);
  // The commit the program was built from, when the build knew it, as the Qt window shows it.
  if (const std::string commit = BuildInfo::Commit(); !commit.empty()) {
    box.small = MakeFont(box.dpi, A::kCommitHeight, FW_NORMAL, L"MS Sans Serif");
    box.commit = Child(dialog, L"STATIC", Shown(commit), SS_NOPREFIX, ChildRect(A::kCommit), box, box.small);
  }
  Child(dialog, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, ChildRect(A::kOk), box, box.font, IDOK);
  Place(dialog, A::kWidth, A::kHeight, box.dpi);
}

void BuildExcludePatterns(HWND dialog, Box& box) {
  constexpr int kWidth = 460, kHeight = 300;
  SetWindowTextW(dialog, Shown(WindowLayout::kExcludePatternsTitle).c_str());
  SetWindowLongW(dialog, GWL_STYLE, GetWindowLongW(dialog, GWL_STYLE) | WS_THICKFRAME);
  box.font = MakeFont(box.dpi, 12, FW_NORMAL, L"MS Shell Dlg");
  box.bold = MakeFont(box.dpi, 13, FW_NORMAL, L"Courier New");
  Child(dialog, L"STATIC", Shown(LineEnds::WithCrLf(WindowLayout::kExcludePatternsHelp)), SS_NOPREFIX,
        {8, 8, kWidth - 16, 56}, box, box.font);
  box.edit = Child(dialog, L"EDIT", Shown(LineEnds::WithCrLf(box.patterns)),
                   ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL |
                       WS_TABSTOP,
                   {8, 68, kWidth - 16, kHeight - 68 - 41}, box, box.bold, kEditId, WS_EX_CLIENTEDGE);
  Child(dialog, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, {kWidth - 166, kHeight - 33, 75, 25}, box,
        box.font, IDOK);
  Child(dialog, L"BUTTON", L"Cancel", WS_TABSTOP, {kWidth - 83, kHeight - 33, 75, 25}, box, box.font, IDCANCEL);
  Place(dialog, kWidth, kHeight, box.dpi);
  SetFocus(box.edit);
}

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    auto& box = *reinterpret_cast<Box*>(lParam);
    box.dpi = GetDpiForWindow(dialog);
    if (box.kind == Kind::About) {
      BuildAbout(dialog, box);
    } else {
      BuildExcludePatterns(dialog, box);
    }
    return box.kind == Kind::About;  // the edit has taken the focus itself
  }
  auto* box = reinterpret_cast<Box*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (box == nullptr) return FALSE;
  switch (message) {
    case WM_CTLCOLORDLG:
      return box->kind == Kind::About ? reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_ACTIVEBORDER)) : FALSE;
    case WM_CTLCOLORSTATIC:
      if (box->kind != Kind::About) return FALSE;
      if (reinterpret_cast<HWND>(lParam) == box->commit) {
        // The commit beside the button lies on the box, in its colour.
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_ACTIVEBORDER));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_ACTIVEBORDER));
      }
      // The panel and everything on it: white on black.
      SetTextColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
      SetBkColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0));
      return reinterpret_cast<INT_PTR>(box->black);
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        if (LOWORD(wParam) == IDOK && box->edit != nullptr) {
          const int length = GetWindowTextLengthW(box->edit);
          std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
          GetWindowTextW(box->edit, text.data(), length + 1);
          box->patterns = LineEnds::WithoutCr(NarrowOf(text.data()));
        }
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    case WM_SIZE:
      if (box->edit != nullptr) {
        const int w = LOWORD(lParam), h = HIWORD(lParam);
        const auto s = [&](int pixels) { return Scaled(pixels, box->dpi); };
        MoveWindow(box->edit, s(8), s(68), w - s(16), h - s(68 + 41), TRUE);
        MoveWindow(GetDlgItem(dialog, IDOK), w - s(166), h - s(33), s(75), s(25), TRUE);
        MoveWindow(GetDlgItem(dialog, IDCANCEL), w - s(83), h - s(33), s(75), s(25), TRUE);
      }
      return FALSE;
    case WM_DESTROY:
      DeleteObject(box->font);
      DeleteObject(box->bold);
      if (box->small != nullptr) DeleteObject(box->small);
      if (box->black != nullptr) DeleteObject(box->black);
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR Run(HWND owner, Box& box) {
  // An empty template: the box lays its controls out itself, in pixels.
  struct alignas(4) Template {
    DLGTEMPLATE header;
    WORD menu = 0, windowClass = 0, title = 0;
  } layout{};
  layout.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &layout.header, owner, &Procedure,
                                 reinterpret_cast<LPARAM>(&box));
}

}  // namespace

void ModalBox::About(HWND owner) {
  Box box{Kind::About, {}};
  Run(owner, box);
}

std::optional<std::string> ModalBox::ExcludePatterns(HWND owner, const std::string& patterns) {
  Box box{Kind::ExcludePatterns, patterns};
  if (Run(owner, box) != IDOK) return std::nullopt;
  return box.patterns;
}
