#include "win/WinMainWindow.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

#include "app/ActionTable.h"
#include "app/Hint.h"
#include "app/PaneMenu.h"
#include "app/LineEnds.h"
#include "app/PaneText.h"
#include "app/ShortcutKey.h"
#include "app/WindowPlace.h"
#include "app/WindowLayout.h"
#include "surfaces/Texts.h"
#include "engine/ExcludePatterns.h"
#include "platform/QuillonError.h"
#include "platform/RegionalSettings.h"
#include "win/WinDialogs.h"
#include "win/WinGlyphs.h"
#include "win/WinText.h"

namespace L = WindowLayout;

namespace {

constexpr const wchar_t* kClassName = L"QuillonMainWindow";
constexpr int kFirstActionCommand = 1000;
// The File menu's recent listings, and the separator after them.
constexpr int kFirstRecentCommand = 900;
constexpr int kRecentSeparator = kFirstRecentCommand + static_cast<int>(RememberedChoices::kRecent);
using Flag = RememberedChoices::Flag;
// Panels 3 (the digest rate) and 4 (a long hint, or what could not be read)
// have tooltips: their tools are the panels' indexes.
constexpr std::array<int, 2> kTipPanels{3, 4};
constexpr UINT_PTR kFindTimer = 1;
constexpr UINT kFindPollMs = 50;  // hits are taken from the search this often
// The toggles of the result kinds above ListBox3, at 96 pixels per inch.
constexpr int kResultsBarHeight = 20;
constexpr int kToggleWidth = 96;  // at least
constexpr int kResultTextWidth = 160;
constexpr int kFindEditWidth = 180;
constexpr int kFindCountWidth = 100;
constexpr COLORREF kChangedColour = RGB(208, 0, 0);

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

// A text's size in a control's font.
SIZE TextSize(HWND control, const std::wstring& text) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size;
}

// Adds a tool to a tooltip control, or sets its text; the control copies the
// text, so it need not outlive the call.
void SendTool(HWND tips, UINT message, HWND owner, UINT_PTR id, UINT flags, const std::wstring& text) {
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = flags;
  tool.hwnd = owner;
  tool.uId = id;
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tips, message, 0, reinterpret_cast<LPARAM>(&tool));
}

// "Ctrl+N", "F1" or "Esc" as an accelerator.
bool AcceleratorOf(std::string_view shortcut, WORD command, ACCEL& accel) {
  using Kind = ShortcutKey::Kind;
  const ShortcutKey key = ShortcutKey::Parse(shortcut);
  accel = {static_cast<BYTE>(FVIRTKEY | (key.ctrl ? FCONTROL : 0) | (key.shift ? FSHIFT : 0) | (key.alt ? FALT : 0)),
           static_cast<WORD>(key.kind == Kind::Escape ? VK_ESCAPE : key.kind == Kind::Function ? VK_F1 + key.key - 1 : key.key),
           command};
  return key.kind != Kind::None;
}

const ActionInfo* ActionOfCommand(int command) { return ActionAt(command - kFirstActionCommand); }

}  // namespace

int WinMainWindow::CommandOf(ActionId id) { return kFirstActionCommand + static_cast<int>(id); }

int WinMainWindow::S(int pixels) const { return Scaled(pixels, dpi_); }

WinMainWindow::WinMainWindow(WinDialogs& dialogs, FolderSearch& search, Options options)
    : dialogs_(dialogs),
      options_(std::move(options)),
      settings_(options_.settingsRoot),
      panelWidths_{L::kPanelWidths[0], L::kPanelWidths[1], L::kPanelWidths[2], L::kPanelWidths[3]} {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (!GetClassInfoExW(instance, kClassName, &windowClass)) {
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = &WinMainWindow::Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
  }
  hwnd_ = CreateWindowExW(0, kClassName, Shown(Texts::kCaption).c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                          CW_USEDEFAULT, CW_USEDEFAULT, 817, 616, nullptr, nullptr, instance, this);
  if (hwnd_ == nullptr) throw QuillonError("The main window cannot be created");
  dpi_ = GetDpiForWindow(hwnd_);
  black_ = CreateSolidBrush(RGB(0, 0, 0));
  MakeFonts();
  BuildMenu();
  CreateControls();
  CreateDailyViews();
  // The client area of the layout, centred on the screen's work area.
  RECT frame{0, 0, S(L::kClientWidth), S(L::kClientHeight)};
  AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, TRUE, 0, dpi_);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const ScreenRect place = WindowPlace::Centred({work.left, work.top, work.right - work.left, work.bottom - work.top},
                                                frame.right - frame.left, frame.bottom - frame.top);
  SetWindowPos(hwnd_, nullptr, place.left, place.top, place.width, place.height, SWP_NOZORDER | SWP_NOACTIVATE);
  RestoreSettings();
  Relayout();
  bigIcon_ = WinGlyphs::ProgramIcon(GetSystemMetricsForDpi(SM_CXICON, dpi_));
  smallIcon_ = WinGlyphs::ProgramIcon(GetSystemMetricsForDpi(SM_CXSMICON, dpi_));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  dialogs_.SetOwner(hwnd_);
  controller_ =
      std::make_unique<WindowController>(*this, *this, dialogs_, settings_, search, RegionalSettings::FromUserLocale());
  SendMessageW(md5_, BM_SETCHECK, controller_->Choices().Get(Flag::Md5) ? BST_CHECKED : BST_UNCHECKED, 0);
}

WinMainWindow::~WinMainWindow() {
  if (controller_) controller_->Destroy();
  help_.Quit();
  options_.quitOnClose = false;
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (accelerators_ != nullptr) DestroyAcceleratorTable(accelerators_);
  for (HIMAGELIST list : {images_, greyImages_}) {
    if (list != nullptr) ImageList_Destroy(list);
  }
  for (HBITMAP bitmap : menuBitmaps_) {
    if (bitmap != nullptr) DeleteObject(bitmap);
  }
  for (HGDIOBJ object : std::initializer_list<HGDIOBJ>{paneFont_, labelFont_, uiFont_, black_}) {
    if (object != nullptr) DeleteObject(object);
  }
  for (HICON icon : {bigIcon_, smallIcon_}) {
    if (icon != nullptr) DestroyIcon(icon);
  }
}

// ---- Building ----

void WinMainWindow::MakeFonts() {
  for (HFONT font : {paneFont_, labelFont_, uiFont_}) {
    if (font != nullptr) DeleteObject(font);
  }
  // Character height 11 pixels (8 points at 96 pixels per inch), bold, fixed pitch.
  paneFont_ = CreateFontW(-S(11), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, DEFAULT_QUALITY,
                          FIXED_PITCH | FF_MODERN, L"Courier New");
  paneText_.Reset(paneFont_);
  labelFont_ = CreateFontW(-S(11), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, DEFAULT_QUALITY,
                           FF_SWISS, L"MS Sans Serif");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi_);
  uiFont_ = CreateFontIndirectW(&metrics.lfMessageFont);
}

void WinMainWindow::BuildMenu() {
  std::vector<ACCEL> accels;
  for (const ActionInfo& info : kActionTable) {
    ACCEL accel{};
    if (*info.shortcut && AcceleratorOf(info.shortcut, static_cast<WORD>(CommandOf(info.id)), accel))
      accels.push_back(accel);
  }
  accelerators_ = CreateAcceleratorTableW(accels.data(), static_cast<int>(accels.size()));
  // The menus draw their glyphs through the window, blended over the menu as they are.
  for (std::size_t i = 0; i < menuBitmaps_.size(); ++i)
    menuBitmaps_[i] = WinGlyphs::Bitmap(GlyphPicture::Glyph(static_cast<int>(i / 2), S(16)), i % 2 != 0);

  // The choices get their check marks from the controller.
  menu_ = CreateMenu();
  for (const L::MenuInfo& info : L::kMenus) {
    HMENU popup = CreatePopupMenu();
    for (const L::MenuItem& item : info.items) {
      if (item.kind == L::ItemKind::Separator) {
        AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      const ActionInfo& action = InfoOf(item.action);
      if (!action.visible) continue;  // a hidden item takes no room
      std::string caption = action.caption;
      if (*action.shortcut) caption += std::string("\t") + action.shortcut;
      AppendMenuW(popup, MF_STRING | (action.enabledAtStart ? MF_ENABLED : MF_GRAYED), static_cast<UINT_PTR>(CommandOf(item.action)), Shown(caption).c_str());
      if (action.glyph >= 0) {
        MENUITEMINFOW glyph{};
        glyph.cbSize = sizeof glyph;
        glyph.fMask = MIIM_BITMAP;
        glyph.hbmpItem = HBMMENU_CALLBACK;
        SetMenuItemInfoW(popup, static_cast<UINT>(CommandOf(item.action)), FALSE, &glyph);
      }
    }
    AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), Shown(info.title).c_str());
  }
  SetMenu(hwnd_, menu_);
}

void WinMainWindow::CreateControls() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const auto child = [&](DWORD extended, const wchar_t* type, const wchar_t* text, DWORD style, int id = 0) {
    HWND control = CreateWindowExW(extended, type, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont_), FALSE);
    return control;
  };
  // Created in the order the focus moves: the check box, the line, the panes.
  md5_ = child(0, L"BUTTON", Shown(L::kMd5Caption).c_str(), BS_AUTOCHECKBOX | WS_TABSTOP);
  edit_ = child(WS_EX_CLIENTEDGE, L"EDIT", L"", ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP);
  for (HWND& box : boxes_) {
    box = child(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                LBS_NODATA | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | LBS_EXTENDEDSEL | WS_VSCROLL |
                    WS_HSCROLL | WS_TABSTOP | WS_CLIPSIBLINGS);
    SendMessageW(box, LB_SETITEMHEIGHT, 0, S(L::kPaneLineHeight));
  }
  for (std::size_t i = 0; i < labels_.size(); ++i) {
    labels_[i] = child(0, L"STATIC", L"", SS_NOPREFIX | SS_LEFTNOWORDWRAP);
    SendMessageW(labels_[i], WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_), FALSE);
    SetLabelText(static_cast<LabelId>(i), L::kLabels[i].text);
  }
  status_ = child(0, STATUSCLASSNAMEW, L"", CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER);
  BuildToolBar();

  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                          0, hwnd_, nullptr, instance, nullptr);
  SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, S(600));
  AddControlTip(md5_, Shown(L::kMd5Hint));
  AddControlTip(edit_, Shown(L::kEditHint));
  for (const int index : kTipPanels)
    SendTool(tips_, TTM_ADDTOOLW, status_, static_cast<UINT_PTR>(index), TTF_SUBCLASS, L"");
}

void WinMainWindow::AddControlTip(HWND control, const std::wstring& text) {
  SendTool(tips_, TTM_ADDTOOLW, hwnd_, reinterpret_cast<UINT_PTR>(control), TTF_IDISHWND | TTF_SUBCLASS, text);
}

void WinMainWindow::BuildToolBar() {
  if (toolbar_ != nullptr) DestroyWindow(toolbar_);
  toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                                 CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                             0, 0, 0, 0, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  for (HIMAGELIST list : {images_, greyImages_}) {
    if (list != nullptr) ImageList_Destroy(list);
  }
  images_ = WinGlyphs::ImageList(S(16));
  greyImages_ = WinGlyphs::ImageList(S(16), true);
  SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
  SendMessageW(toolbar_, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(greyImages_));
  SendMessageW(toolbar_, TB_SETINDENT, S(5), 0);
  std::vector<TBBUTTON> buttons;
  for (const L::MenuItem& item : L::kToolItems) {
    TBBUTTON button{};
    if (item.kind == L::ItemKind::Separator) {
      button.iBitmap = S(8);
      button.fsStyle = BTNS_SEP;
    } else {
      const ActionInfo& info = InfoOf(item.action);
      button.iBitmap = info.glyph;
      button.idCommand = CommandOf(item.action);
      const bool enabled = controller_ ? controller_->Enabled(item.action) : info.enabledAtStart;
      button.fsState = static_cast<BYTE>((enabled ? TBSTATE_ENABLED : 0) |
                                         (info.visible ? 0 : TBSTATE_HIDDEN));
      button.fsStyle = BTNS_BUTTON;
    }
    buttons.push_back(button);
  }
  SendMessageW(toolbar_, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  // Below the check box and the line, which lie on it.
  SetWindowPos(toolbar_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void WinMainWindow::Relayout() {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int width = client.right, height = client.bottom;
  MoveWindow(toolbar_, 0, 0, width, S(L::kToolBarHeight), TRUE);
  const int count = static_cast<int>(SendMessageW(toolbar_, TB_BUTTONCOUNT, 0, 0));
  RECT last{};
  SendMessageW(toolbar_, TB_GETITEMRECT, static_cast<WPARAM>(count - 1), reinterpret_cast<LPARAM>(&last));
  const int top = (S(L::kToolBarHeight) - S(L::kToolControlHeight)) / 2;
  MoveWindow(md5_, last.right, top, S(L::kMd5Width), S(L::kToolControlHeight), TRUE);
  MoveWindow(edit_, last.right + S(L::kMd5Width), top, S(L::kEditWidth), S(L::kToolControlHeight), TRUE);

  for (std::size_t i = 0; i < labels_.size(); ++i) {
    RECT place{};
    GetWindowRect(labels_[i], &place);
    MoveWindow(labels_[i], S(L::kLabels[i].left), S(L::kToolBarHeight + L::kLabelTop),
               place.right - place.left, place.bottom - place.top, TRUE);
  }
  MoveWindow(status_, 0, height - S(L::kStatusBarHeight), width, S(L::kStatusBarHeight), TRUE);
  SetStatusParts();

  split_.SetDpi(dpi_);
  const PaneSplit::Boxes boxes = split_.Place(width, height, resultsBar_ ? kResultsBarHeight : 0);
  const auto move = [](HWND control, const PaneSplit::Box& box) {
    MoveWindow(control, box.left, box.top, box.width, box.height, TRUE);
  };
  move(boxes_[0], boxes.listBox1);
  move(boxes_[1], boxes.listBox2);
  // The toggles of the result kinds and the old line are the results bar.
  const int bottomTop = boxes.resultsBar.top, bar = boxes.resultsBar.height;
  // Each toggle as wide as its caption and box, so that a large count is never cut off.
  int oldLeft = S(4);
  for (HWND toggle : kindToggles_) {
    const int wide = std::max<int>(S(kToggleWidth), TextSize(toggle, WindowText(toggle)).cx + S(28));
    MoveWindow(toggle, oldLeft, bottomTop, wide, bar, TRUE);
    oldLeft += wide;
  }
  MoveWindow(resultText_, oldLeft, bottomTop, S(kResultTextWidth), bar, TRUE);
  oldLeft += S(kResultTextWidth + 4);
  MoveWindow(oldLineView_, oldLeft, bottomTop, std::max(1, width - oldLeft), bar, TRUE);
  for (HWND control : kindToggles_) ShowWindow(control, resultsBar_ ? SW_SHOWNA : SW_HIDE);
  ShowWindow(resultText_, resultsBar_ ? SW_SHOWNA : SW_HIDE);
  ShowWindow(oldLineView_, resultsBar_ ? SW_SHOWNA : SW_HIDE);
  move(boxes_[2], boxes.listBox3);
  PlaceFindBar();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void WinMainWindow::SetStatusParts() {
  std::array<int, 5> edges{};
  int right = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    right += S(panelWidths_[i]);
    edges[i] = right;
  }
  edges[4] = -1;  // the last panel reaches the right edge
  SendMessageW(status_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  for (const int index : kTipPanels) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = status_;
    tool.uId = static_cast<UINT_PTR>(index);
    SendMessageW(status_, SB_GETRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&tool.rect));
    SendMessageW(tips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

PaneSplit::Splitter WinMainWindow::SplitterAt(POINT client) const {
  RECT area{};
  GetClientRect(hwnd_, &area);
  return split_.At(client.x, client.y, area.right, area.bottom);
}

// ---- Messages ----

LRESULT CALLBACK WinMainWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<WinMainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<WinMainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return self->Handle(message, wParam, lParam);
}

LRESULT WinMainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // The controls are made before the controller; until it is there, they command nothing.
      if (controller_) OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->code == TTN_GETDISPINFOW) {
        // A toolbar button's tooltip: the short part of its action's hint.
        auto* tip = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        if (const ActionInfo* info = ActionOfCommand(static_cast<int>(header->idFrom))) {
          tipText_ = Shown(Hint::ShortPart(info->hint));
          tip->lpszText = tipText_.data();
        }
      }
      return 0;
    }
    case WM_MEASUREITEM: {
      auto& measure = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      measure.itemHeight = static_cast<UINT>(S(measure.CtlType == ODT_MENU ? 16 : L::kPaneLineHeight));
      if (measure.CtlType == ODT_MENU) measure.itemWidth = static_cast<UINT>(S(16));
      return TRUE;
    }
    case WM_DRAWITEM:
      if (const auto& item = *reinterpret_cast<DRAWITEMSTRUCT*>(lParam); item.CtlType == ODT_MENU) {
        const ActionInfo* info = ActionOfCommand(static_cast<int>(item.itemID));
        if (info != nullptr && info->glyph >= 0)
          WinGlyphs::Draw(item.hDC, item.rcItem,
                          menuBitmaps_[static_cast<std::size_t>(info->glyph) * 2 + ((item.itemState & ODS_GRAYED) != 0)]);
      } else if (item.hwndItem == oldLineView_) {
        DrawOldLine(item);
      } else {
        OnDrawItem(item);
      }
      return TRUE;
    case WM_TIMER:
      if (wParam == kFindTimer) controller_->TakeHits();
      return 0;
    case WM_CONTEXTMENU:
      if (const int pane = PaneOf(reinterpret_cast<HWND>(wParam)); pane >= 0) {
        ShowPaneMenu(static_cast<PaneId>(pane), {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
      }
      break;
    case WM_CTLCOLORLISTBOX:
      return reinterpret_cast<LRESULT>(black_);
    case WM_MENUSELECT:
      if (controller_) OnMenuSelect(wParam, lParam);
      return 0;
    case WM_INITMENUPOPUP:
      if (controller_) ShowRecent(reinterpret_cast<HMENU>(wParam));
      return 0;
    case WM_SIZE:
      if (toolbar_ != nullptr) Relayout();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd_, &paint);
      RECT client{};
      GetClientRect(hwnd_, &client);
      RECT panel{0, S(L::kToolBarHeight), client.right, S(L::kToolBarHeight + L::kPanelHeight)};
      DrawEdge(dc, &panel, EDGE_SUNKEN, BF_RECT);
      EndPaint(hwnd_, &paint);
      return 0;
    }
    case WM_SETCURSOR:
      if (OnSetCursor(lParam)) return TRUE;
      break;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE: {
      // The panes follow a splitter while it is dragged.
      RECT client{};
      GetClientRect(hwnd_, &client);
      const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
      if (message == WM_LBUTTONDOWN && split_.Press(x, y, client.right, client.bottom)) SetCapture(hwnd_);
      if (message == WM_MOUSEMOVE && split_.DragTo(x, y, client.right, client.bottom)) Relayout();
      return 0;
    }
    case WM_LBUTTONUP:
      if (split_.Holds()) ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      split_.Release();
      return 0;
    case WM_ACTIVATE:
      // The control that had the focus gets it back; at first the check box, the first in the tab order.
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (HWND focus = GetFocus(); focus != nullptr && IsChild(hwnd_, focus)) focused_ = focus;
      }
      break;  // activating gives the window the focus, which WM_SETFOCUS hands on
    case WM_SETFOCUS:
      SetFocus(focused_ != nullptr && IsWindow(focused_) ? focused_ : md5_);
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<RECT*>(lParam));
      return 0;
    case WM_SETTINGCHANGE:
      // The regional settings are read again when the system announces a
      // change; a running listing keeps its separators to its end.
      if (lParam != 0 && lstrcmpiW(reinterpret_cast<const wchar_t*>(lParam), L"intl") == 0 && controller_)
        controller_->Logic().SetRegionalSettings(RegionalSettings::FromUserLocale());
      return 0;
    case WM_CLOSE:
      // A command that is running stops or finishes first; the window closes after it.
      if (!controller_->CloseAsked()) return 0;
      SaveSettings();
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      hwnd_ = nullptr;
      if (options_.quitOnClose) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool WinMainWindow::OnSetCursor(LPARAM lParam) {
  if (busy_) {
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
    return true;
  }
  if (LOWORD(lParam) != HTCLIENT) return false;
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(hwnd_, &p);
  const PaneSplit::Splitter splitter = SplitterAt(p);
  if (splitter == PaneSplit::Splitter::None) return false;
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(splitter == PaneSplit::Splitter::Beside ? 32644 : 32645)));  // IDC_SIZEWE, IDC_SIZENS
  return true;
}

void WinMainWindow::OnDpiChanged(unsigned dpi, const RECT& suggested) {
  dpi_ = dpi;
  MakeFonts();
  for (HWND control : {md5_, edit_, status_, findEdit_, findCount_})
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont_), TRUE);
  for (HWND control : kindToggles_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont_), TRUE);
  SendMessageW(resultText_, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont_), TRUE);
  for (HWND label : labels_) SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_), TRUE);
  for (const PaneId pane : {PaneId::ListBox1, PaneId::ListBox2, PaneId::ListBox3}) {
    SendMessageW(PaneBox(pane), LB_SETITEMHEIGHT, 0, S(L::kPaneLineHeight));
    PaneSetScrollExtent(pane, controller_->Rows(pane).Lines().ScrollExtent());
  }
  for (std::size_t i = 0; i < labels_.size(); ++i)
    SetLabelText(static_cast<LabelId>(i), NarrowOf(WindowText(labels_[i])));
  BuildToolBar();
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  Relayout();
}

void WinMainWindow::ShowRecent(HMENU popup) {
  // The recent listings before Exit, in the File menu alone, as they are when it opens.
  const UINT exit = static_cast<UINT>(CommandOf(ActionId::FileExitAction));
  if (GetMenuState(popup, exit, MF_BYCOMMAND) == static_cast<UINT>(-1)) return;
  for (int id = kFirstRecentCommand; id <= kRecentSeparator; ++id) DeleteMenu(popup, static_cast<UINT>(id), MF_BYCOMMAND);
  const std::vector<std::string> items = controller_->RecentItems();
  for (std::size_t i = 0; i < items.size(); ++i)
    InsertMenuW(popup, exit, MF_BYCOMMAND | MF_STRING, kFirstRecentCommand + i, Shown(items[i]).c_str());
  if (!items.empty()) InsertMenuW(popup, exit, MF_BYCOMMAND | MF_SEPARATOR, kRecentSeparator, nullptr);
}

void WinMainWindow::OnMenuSelect(WPARAM wParam, LPARAM lParam) {
  const UINT flags = HIWORD(wParam);
  std::string hint;
  if (flags == 0xFFFF && lParam == 0) {
    hint.clear();  // the menu closed
  } else if ((flags & MF_POPUP) != 0 && reinterpret_cast<HMENU>(lParam) == menu_) {
    const std::size_t index = LOWORD(wParam);
    if (index < L::kMenus.size()) hint = L::kMenus[index].hint;
  } else if ((flags & MF_SEPARATOR) == 0) {
    const int command = LOWORD(wParam);
    if (const ActionInfo* info = ActionOfCommand(command)) hint = info->hint;
  }
  controller_->ShowHint(Hint::LongPart(hint));
}

void WinMainWindow::ShowHintAt(POINT screen) {
  HWND under = WindowFromPoint(screen);
  std::string hint;
  if (under == toolbar_) {
    POINT p = screen;
    ScreenToClient(toolbar_, &p);
    const int index = static_cast<int>(SendMessageW(toolbar_, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&p)));
    TBBUTTON button{};
    if (index >= 0 && SendMessageW(toolbar_, TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&button)))
      if (const ActionInfo* info = ActionOfCommand(button.idCommand)) hint = info->hint;
  } else if (under == md5_ || under == edit_) {
    hint = under == md5_ ? L::kMd5Hint : L::kEditHint;
  }
  // A control without a hint, a pane among them, empties the panel.
  controller_->ShowHint(Hint::LongPart(hint));
}

int WinMainWindow::PanelTextWidth(int, std::string_view text) {
  return MulDiv(TextSize(status_, Shown(text)).cx, 96, static_cast<int>(dpi_));
}

void WinMainWindow::SetPanelWidth(int panel, int width) {
  int& kept = panelWidths_[static_cast<std::size_t>(panel)];
  if (width == kept) return;
  kept = width;
  SetStatusParts();
}

bool WinMainWindow::PanelFits(int panel, std::string_view text) {
  RECT part{};
  SendMessageW(status_, SB_GETRECT, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(&part));
  return TextSize(status_, Shown(text)).cx <= part.right - part.left - S(4);
}

void WinMainWindow::OnCommand(int command, int notification, HWND control) {
  if (const int pane = PaneOf(control); pane >= 0) {
    if (notification == LBN_SELCHANGE) controller_->PaneClicked(static_cast<PaneId>(pane));
    if (notification == LBN_SETFOCUS) controller_->PaneFocused(static_cast<PaneId>(pane));
    return;
  }
  if (control != nullptr && control == findEdit_) {
    if (notification == EN_CHANGE) controller_->FindTextChanged();
    return;
  }
  if (control != nullptr && control == resultText_) {
    if (notification == EN_CHANGE) controller_->ShowResultText(NarrowOf(WindowText(resultText_)));
    return;
  }
  for (const ChangeKind kind : ResultFilter::kKinds) {
    if (control == nullptr || control != KindToggle(kind) || notification != BN_CLICKED) continue;
    controller_->ShowKind(kind, SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED);
    return;
  }
  if (control != nullptr && control != toolbar_) return;  // the check box and the line need no command
  if (command >= kFirstRecentCommand && command < kRecentSeparator) {
    controller_->OpenRecent(static_cast<std::size_t>(command - kFirstRecentCommand));
    return;
  }
  if (const ActionInfo* info = ActionOfCommand(command)) controller_->Execute(info->id);
}

void WinMainWindow::SetActionChecked(ActionId action, bool checked) {
  CheckMenuItem(menu_, static_cast<UINT>(CommandOf(action)), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

HWND WinMainWindow::FocusedLine() const {
  using Focus = WindowController::Focus;
  const HWND focus = GetFocus();
  Focus part = focus != nullptr && PaneOf(focus) >= 0 ? Focus::Pane : Focus::Other;
  for (const auto& [line, is] : {std::pair{edit_, Focus::EditLine}, {findEdit_, Focus::FindLine}, {resultText_, Focus::ResultText}})
    if (focus != nullptr && focus == line) part = is;
  switch (WindowController::LineForEdits(part)) {
    case Focus::EditLine: return edit_;
    case Focus::FindLine: return findEdit_;
    case Focus::ResultText: return resultText_;
    default: return nullptr;
  }
}

void WinMainWindow::EditLine(ActionId action) {
  HWND line = FocusedLine();
  if (line == nullptr) return;
  const UINT operation = action == ActionId::EditCutAction    ? WM_CUT
                         : action == ActionId::EditCopyAction ? WM_COPY
                                                              : WM_PASTE;
  SendMessageW(line, operation, 0, 0);
}

void WinMainWindow::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlType != ODT_LISTBOX) return;
  const int pane = PaneOf(item.hwndItem);
  if (pane < 0 || !controller_) return;
  const PaneRows& rows = controller_->Rows(static_cast<PaneId>(pane));
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  FillRect(item.hDC, &item.rcItem, selected ? GetSysColorBrush(COLOR_HIGHLIGHT) : black_);
  const int line = item.itemID == static_cast<UINT>(-1) ? -1 : rows.LineOfRow(static_cast<int>(item.itemID));
  if (line >= 0) {
    const std::wstring text = Shown(rows.Lines().LineAt(line));
    const std::optional<std::uint32_t> colour = rows.ColourOfRow(static_cast<int>(item.itemID));
    const COLORREF own = colour ? RGB(*colour >> 16, (*colour >> 8) & 0xff, *colour & 0xff) : RGB(255, 255, 255);
    SetTextColor(item.hDC, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : own);
    SetBkMode(item.hDC, TRANSPARENT);
    paneText_.Draw(item.hDC, item.rcItem.left + S(2), item.rcItem.top, item.rcItem, text);
  }
  if ((item.itemState & ODS_FOCUS) != 0) DrawFocusRect(item.hDC, &item.rcItem);
}

// ---- The message loop ----

int WinMainWindow::RunMessageLoop() {
  MSG msg;
  for (;;) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
      Dispatch(msg);
    }
    Idle();
    WaitMessage();
  }
}

void WinMainWindow::ProcessPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop that waits for it
      return;
    }
    const bool ours = hwnd_ != nullptr && (msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd));
    if (!ours || !Working() || !controller_->DropsDuringWork(SortInput(msg))) Dispatch(msg);
  }
  if (!Working()) Idle();
}

void WinMainWindow::Dispatch(MSG& msg) {
  if (help_.PreTranslate(msg)) return;
  if (msg.hwnd == findEdit_ && findEdit_ != nullptr) {
    if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
      controller_->FindBarKey(msg.wParam == VK_ESCAPE, (GetKeyState(VK_SHIFT) & 0x8000) != 0);
      return;
    }
    if (msg.message == WM_CHAR && (msg.wParam == L'\r' || msg.wParam == 0x1B)) return;  // no beep
  }
  const bool ours = hwnd_ != nullptr && (msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd));
  if (ours && TranslateAcceleratorW(hwnd_, accelerators_, &msg)) return;
  // Tab moves the focus between the check box, the line and the panes.
  if (ours && msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && IsDialogMessageW(hwnd_, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void WinMainWindow::Idle() {
  // When the input has been handled, the hint follows the pointer.
  POINT cursor{};
  if (hwnd_ != nullptr && GetCursorPos(&cursor)) ShowHintAt(cursor);
  UpdateEditActions();
}

void WinMainWindow::UpdateEditActions() {
  if (hwnd_ == nullptr) return;
  HWND line = FocusedLine();
  DWORD start = 0, end = 0;
  if (line != nullptr) SendMessageW(line, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  controller_->UpdateEditActions(line != nullptr, start != end, IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE);
}

WorkSession::Input WinMainWindow::SortInput(const MSG& msg) const {
  using Kind = WorkSession::Event::Kind;
  using Target = WorkSession::Event::Target;
  WorkSession::Event input;
  const UINT m = msg.message;
  if (m == WM_KEYDOWN || m == WM_KEYUP) input.kind = m == WM_KEYDOWN ? Kind::KeyDown : Kind::KeyUp;
  if (m == WM_CHAR || m == WM_DEADCHAR) input.kind = Kind::Char;
  input.escape = m == WM_KEYDOWN && msg.wParam == VK_ESCAPE;
  // Down, up and double click of the left, right and middle buttons.
  if (m >= WM_LBUTTONDOWN && m <= WM_MBUTTONDBLCLK) input.kind = Kind::MouseButton;
  // The splitters and the Stop button still answer; scroll bars, the menu
  // bar and the frame are no client area and answer anyway.
  if (input.kind == Kind::MouseButton && msg.hwnd == hwnd_) input.target = Target::Frame;
  if (input.kind == Kind::MouseButton && msg.hwnd == toolbar_) {
    POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
    const int index = static_cast<int>(SendMessageW(toolbar_, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&p)));
    const int stop = static_cast<int>(
        SendMessageW(toolbar_, TB_COMMANDTOINDEX, static_cast<WPARAM>(CommandOf(ActionId::EditStopAction)), 0));
    if (index == stop) input.target = Target::StopButton;
  }
  return WorkSession::Sort(input);
}

// ---- Commands and work that may be stopped ----

void WinMainWindow::AnnouncePanes() {
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    PaneRows& rows = controller_->Rows(static_cast<PaneId>(i));
    const int before = rows.Announced();
    // A filtered pane shows its rows when the filter is applied anew.
    if (!rows.Announce()) continue;
    // During work a pane follows its end until the user scrolls away from it.
    const int shown = VisibleRows(boxes_[i]);
    const bool follow = Working() && SendMessageW(boxes_[i], LB_GETTOPINDEX, 0, 0) + shown >= before;
    SendMessageW(boxes_[i], LB_SETCOUNT, static_cast<WPARAM>(rows.Rows()), 0);
    if (follow) SendMessageW(boxes_[i], LB_SETTOPINDEX, static_cast<WPARAM>(std::max(0, rows.Rows() - shown)), 0);
  }
}

void WinMainWindow::CloseLater() {
  if (hwnd_ != nullptr) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void WinMainWindow::SetPanelTip(int panel, const std::string& tip) {
  // Lines in a tooltip end with CR LF.
  const std::string text = LineEnds::WithCrLf(tip);
  if (panel == 4) panelTip_ = text;
  SendTool(tips_, TTM_UPDATETIPTEXTW, status_, static_cast<UINT_PTR>(panel), TTF_SUBCLASS, Shown(text));
}

// ---- The view ----

void WinMainWindow::PaneReset(PaneId pane) {
  // The controller is made after the panes; until then they are empty.
  SendMessageW(PaneBox(pane), LB_RESETCONTENT, 0, 0);
  if (controller_) SendMessageW(PaneBox(pane), LB_SETCOUNT, static_cast<WPARAM>(controller_->Rows(pane).Rows()), 0);
}

void WinMainWindow::PaneRepaint(PaneId pane) { InvalidateRect(PaneBox(pane), nullptr, FALSE); }

int WinMainWindow::CurrentRow(PaneId pane) const {
  return static_cast<int>(SendMessageW(PaneBox(pane), LB_GETCARETINDEX, 0, 0));
}

std::vector<int> WinMainWindow::SelectedRows(PaneId pane) const {
  std::vector<int> rows(static_cast<std::size_t>(std::max<LRESULT>(0, SendMessageW(PaneBox(pane), LB_GETSELCOUNT, 0, 0))));
  SendMessageW(PaneBox(pane), LB_GETSELITEMS, rows.size(), reinterpret_cast<LPARAM>(rows.data()));
  return rows;
}

void WinMainWindow::PaneSetScrollExtent(PaneId pane, int pixels) {
  SendMessageW(PaneBox(pane), LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(S(pixels)), 0);
}

// The panes' font in the units of the layout; the extent is scaled to the screen.
int WinMainWindow::PaneFontSize(PaneId) { return L::kPaneFontPoints; }

int WinMainWindow::PanePixelsPerInch(PaneId) { return 96; }

void WinMainWindow::PaneShowFromTop(PaneId pane) {
  SendMessageW(PaneBox(pane), LB_SETTOPINDEX, 0, 0);
  SendMessageW(PaneBox(pane), WM_HSCROLL, SB_TOP, 0);
}

void WinMainWindow::StatusSetPanelText(int panel, std::string_view text) {
  // Panels 0 to 3 are centred: the text after a tab is.
  const std::wstring wide = (panel < 4 ? L"\t" : L"") + Shown(text);
  SendMessageW(status_, SB_SETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(wide.c_str()));
}

void WinMainWindow::StatusRefresh() { UpdateWindow(status_); }

void WinMainWindow::SetCaption(std::string_view text) {
  if (hwnd_ != nullptr) SetWindowTextW(hwnd_, Shown(text).c_str());
}

void WinMainWindow::SetLabelText(LabelId label, std::string_view text) {
  HWND target = labels_[static_cast<std::size_t>(label)];
  const std::wstring shown = Shown(text);
  SetWindowTextW(target, shown.c_str());
  // A label sizes itself to its text.
  const SIZE size = TextSize(target, shown);
  SetWindowPos(target, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WinMainWindow::EditSetText(std::string_view text) { SetWindowTextW(edit_, Shown(text).c_str()); }

// A clicked pane keeps the focus, so that its arrow keys and its menu key go
// on working there; the edit commands then act on the line it shows.
void WinMainWindow::EditFocus() {
  if (PaneOf(GetFocus()) < 0) SetFocus(edit_);
}

void WinMainWindow::EditSelectAll() { SendMessageW(edit_, EM_SETSEL, 0, -1); }

bool WinMainWindow::Md5Ticked() { return SendMessageW(md5_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void WinMainWindow::SetActionEnabled(ActionId action, bool enabled) {
  const int command = CommandOf(action);
  EnableMenuItem(menu_, static_cast<UINT>(command), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  SendMessageW(toolbar_, TB_ENABLEBUTTON, static_cast<WPARAM>(command), MAKELPARAM(enabled ? TRUE : FALSE, 0));
}

void WinMainWindow::SetBusyCursor() {
  busy_ = true;
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
}

void WinMainWindow::SetNormalCursor() {
  busy_ = false;
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // IDC_ARROW
}

void WinMainWindow::ShowHelpContents() { help_.ShowContents(hwnd_); }

void WinMainWindow::QuitHelp() { help_.Quit(); }

void WinMainWindow::CloseWindow() {
  if (hwnd_ != nullptr) SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}

std::string WinMainWindow::PanelText(int panel) const {
  const auto length = LOWORD(SendMessageW(status_, SB_GETTEXTLENGTHW, static_cast<WPARAM>(panel), 0));
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(status_, SB_GETTEXTW, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(text.data()));
  text.resize(length);
  if (!text.empty() && text[0] == L'\t') text.erase(0, 1);
  return NarrowOf(text);
}

std::string WinMainWindow::PanelTip(int panel) const { return panel == 4 ? panelTip_ : std::string(); }

std::string WinMainWindow::LabelText(LabelId label) const {
  return NarrowOf(WindowText(labels_[static_cast<std::size_t>(label)]));
}

// ---- Views beside the commands ----

void WinMainWindow::RestoreSettings() {
  split_.Read(settings_);
  const auto place = WindowPlace::Read(settings_, dpi_);
  if (!place) return;
  // A place no screen shows any more, as after a monitor was taken away, is forgotten.
  const ScreenRect& frame = place->frame;
  const RECT kept{frame.left, frame.top, frame.left + frame.width, frame.top + frame.height};
  if (MonitorFromRect(&kept, MONITOR_DEFAULTTONULL) == nullptr) return;
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(hwnd_, &placement);
  placement.rcNormalPosition = kept;
  placement.showCmd = SW_HIDE;  // the program shows it
  SetWindowPlacement(hwnd_, &placement);
}

void WinMainWindow::Show(int show) {
  // A window that was maximized comes back so, unless the caller asks for another state.
  const auto place = WindowPlace::Read(settings_, dpi_);
  const bool plain = show == SW_SHOWNORMAL || show == SW_SHOWDEFAULT || show == SW_SHOW;
  ShowWindow(hwnd_, place && place->maximized && plain ? SW_SHOWMAXIMIZED : show);
}

void WinMainWindow::SaveSettings() const {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (GetWindowPlacement(hwnd_, &placement)) {
    const RECT& r = placement.rcNormalPosition;
    // Minimized from maximized, it comes back maximized.
    const bool maximized = placement.showCmd == SW_SHOWMAXIMIZED ||
                           (placement.showCmd == SW_SHOWMINIMIZED && (placement.flags & WPF_RESTORETOMAXIMIZED) != 0);
    WindowPlace{{r.left, r.top, r.right - r.left, r.bottom - r.top}, maximized}.Write(settings_, dpi_);
  }
  split_.Write(settings_);
}

void WinMainWindow::CreateDailyViews() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const auto child = [&](DWORD extended, const wchar_t* type, DWORD style) {
    HWND control = CreateWindowExW(extended, type, L"", WS_CHILD | style, 0, 0, 0, 0, hwnd_, nullptr, instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont_), FALSE);
    return control;
  };
  const std::wstring toggleTip = Shown(L::kKindToggleTip);
  for (const ChangeKind kind : ResultFilter::kKinds) {
    HWND toggle = child(0, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP);
    SendMessageW(toggle, BM_SETCHECK, BST_CHECKED, 0);
    kindToggles_[static_cast<std::size_t>(kind)] = toggle;
    AddControlTip(toggle, toggleTip);
  }
  // The old line of a change, drawn with its changed fields in red; its
  // tooltip names them.
  oldLineView_ = child(0, L"STATIC", SS_OWNERDRAW | SS_NOTIFY);
  AddControlTip(oldLineView_, L"");
  resultText_ = child(WS_EX_CLIENTEDGE, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP);
  SendMessageW(resultText_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(Shown(L::kResultTextPlaceholder).c_str()));
  AddControlTip(resultText_, Shown(L::kResultTextTip));
  // The find bar lies over the pane it searches, in its top right corner.
  findEdit_ = child(WS_EX_CLIENTEDGE, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP);
  SendMessageW(findEdit_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(Shown(L::kFindPlaceholder).c_str()));
  findCount_ = child(0, L"STATIC", SS_NOPREFIX | SS_CENTERIMAGE);
}

void WinMainWindow::ShowResultKinds(const ResultFilter& filter, bool any) {
  for (const ChangeKind kind : ResultFilter::kKinds) SetWindowTextW(KindToggle(kind), Shown(filter.Caption(kind)).c_str());
  resultsBar_ = any;
  Relayout();  // the toggles fit their new counts
}

void WinMainWindow::ShowOldLine(std::string_view line, const std::vector<MarkedField>& changed) {
  oldLine_.assign(line);
  oldLineChanges_ = changed;
  oldLineTip_ = PaneText::ChangedNames(changed);
  SetWindowTextW(oldLineView_, line.empty() ? L"" : Shown(std::string(L::kOldLinePrefix) + oldLine_).c_str());
  SendTool(tips_, TTM_UPDATETIPTEXTW, hwnd_, reinterpret_cast<UINT_PTR>(oldLineView_), TTF_IDISHWND | TTF_SUBCLASS,
           Shown(oldLineTip_));
  InvalidateRect(oldLineView_, nullptr, TRUE);
}

void WinMainWindow::DrawOldLine(const DRAWITEMSTRUCT& item) {
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  if (oldLine_.empty()) return;
  SetBkMode(item.hDC, TRANSPARENT);
  const int top = (item.rcItem.bottom - S(L::kPaneLineHeight)) / 2;
  int x = item.rcItem.left + S(2);
  // The old line in pieces, each changed field in red.
  const auto piece = [&](std::string_view text, COLORREF colour) {
    SetTextColor(item.hDC, colour);
    x += paneText_.Draw(item.hDC, x, top, item.rcItem, Shown(text));
  };
  const COLORREF plain = GetSysColor(COLOR_BTNTEXT);
  piece(L::kOldLinePrefix, plain);
  for (const PaneText::LinePiece& part : PaneText::Pieces(oldLine_, oldLineChanges_))
    piece(part.text, part.changed ? kChangedColour : plain);
}

int WinMainWindow::PaneOf(HWND box) const {
  const auto at = std::find(boxes_.begin(), boxes_.end(), box);
  return box == nullptr || at == boxes_.end() ? -1 : static_cast<int>(at - boxes_.begin());
}

int WinMainWindow::VisibleRows(HWND box) const {
  RECT client{};
  GetClientRect(box, &client);
  return std::max(1, static_cast<int>(client.bottom / std::max(1, S(L::kPaneLineHeight))));
}

void WinMainWindow::SelectRow(PaneId pane, int row) {
  HWND box = PaneBox(pane);
  SendMessageW(box, LB_SETSEL, FALSE, -1);
  SendMessageW(box, LB_SETSEL, TRUE, row);
  SendMessageW(box, LB_SETCARETINDEX, static_cast<WPARAM>(row), FALSE);
}

void WinMainWindow::ShowPaneMenu(PaneId pane, POINT screen) {
  if (Working()) return;
  HWND box = PaneBox(pane);
  // A right click on a line that is not selected selects it alone; from the
  // keyboard (no point) the menu opens at the line with the caret.
  if (screen.x == -1 && screen.y == -1) {
    RECT line{};
    SendMessageW(box, LB_GETITEMRECT, SendMessageW(box, LB_GETCARETINDEX, 0, 0), reinterpret_cast<LPARAM>(&line));
    screen = {line.left + S(8), line.bottom};
    ClientToScreen(box, &screen);
  } else {
    POINT client = screen;
    ScreenToClient(box, &client);
    const auto hit = SendMessageW(box, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
    const int row = LOWORD(hit);
    if (HIWORD(hit) == 0 && SendMessageW(box, LB_GETSEL, static_cast<WPARAM>(row), 0) <= 0) {
      SelectRow(pane, row);
      controller_->PaneClicked(pane);
    }
  }
  const std::optional<PaneMenu> menu = controller_->MenuOfPane(pane);
  if (!menu) return;
  const PaneMenu::Outcome outcome = menu->Choose(dialogs_.PopupMenu(screen, menu->Items()));
  if (!outcome.clipboard.empty()) CopyText(outcome.clipboard);
  if (outcome.folder) controller_->ShowFolder(*outcome.folder);
}

void WinMainWindow::CopyText(const std::string& text) {
  // Lines on the clipboard end with CR LF, as Windows programs expect.
  const std::wstring wide = Shown(LineEnds::WithCrLf(text));
  if (!OpenClipboard(hwnd_)) return;
  EmptyClipboard();
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t))) {
    std::copy_n(wide.c_str(), wide.size() + 1, static_cast<wchar_t*>(GlobalLock(memory)));
    GlobalUnlock(memory);
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
  }
  CloseClipboard();
}

// ---- Find in a pane ----

void WinMainWindow::ShowFindBar(PaneId, bool place) {
  if (place) {
    ShowWindow(findEdit_, SW_SHOW);
    ShowWindow(findCount_, SW_SHOW);
    PlaceFindBar();
  }
  SetFocus(findEdit_);
  SendMessageW(findEdit_, EM_SETSEL, 0, -1);
}

void WinMainWindow::HideFindBar(PaneId pane) {
  ShowWindow(findEdit_, SW_HIDE);
  ShowWindow(findCount_, SW_HIDE);
  SetFocus(PaneBox(pane));
}

void WinMainWindow::PlaceFindBar() {
  if (findEdit_ == nullptr || !IsWindowVisible(findEdit_)) return;
  RECT pane{};
  GetWindowRect(PaneBox(controller_->FindPane()), &pane);
  MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&pane), 2);
  const int height = S(L::kToolControlHeight);
  const int countLeft = std::max<int>(pane.left, pane.right - S(20) - S(kFindCountWidth));
  const int editLeft = std::max<int>(pane.left, countLeft - S(kFindEditWidth));
  SetWindowPos(findEdit_, HWND_TOP, editLeft, pane.top + S(2), countLeft - editLeft, height, SWP_NOACTIVATE);
  SetWindowPos(findCount_, HWND_TOP, countLeft, pane.top + S(2), S(kFindCountWidth), height, SWP_NOACTIVATE);
}

std::string WinMainWindow::FindText() { return NarrowOf(WindowText(findEdit_)); }

void WinMainWindow::ShowFindCount(std::string_view text) { SetWindowTextW(findCount_, Shown(text).c_str()); }

void WinMainWindow::PollFind(bool on) {
  if (hwnd_ == nullptr) return;
  if (on) {
    SetTimer(hwnd_, kFindTimer, kFindPollMs, nullptr);
  } else {
    KillTimer(hwnd_, kFindTimer);
  }
}

void WinMainWindow::GoToRow(PaneId pane, int row) {
  SelectRow(pane, row);
  SendMessageW(PaneBox(pane), LB_SETTOPINDEX, static_cast<WPARAM>(std::max(0, row - VisibleRows(PaneBox(pane)) / 2)), 0);
}
