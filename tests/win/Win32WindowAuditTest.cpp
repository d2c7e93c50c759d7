// The Win32 window as a new user met it, through its own input: clicks,
// keys and the system's dialogs, under wine on a virtual display.
#include "platform/WindowsApi.h"

#include <commctrl.h>
#include <objbase.h>
#include <windowsx.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "ScriptedWinDialogs.h"
#include "TestSupport.h"
#include "app/ActionTable.h"
#include "app/GlyphPicture.h"
#include "app/PaneText.h"
#include "app/WindowLayout.h"
#include "platform/DigestStore.h"
#include "platform/SigningKey.h"
#include "platform/SystemFolderSearch.h"
#include "surfaces/Texts.h"
#include "win/SystemDialogs.h"
#include "win/WinMainWindow.h"

namespace {

// The scripted answers, but the system's own folder browser where a test asks for it.
class Dialogs : public ScriptedWinDialogs {
 public:
  std::optional<std::string> BrowseForFolder(std::string_view title, const std::string& start) override {
    return systemBrowser ? system.BrowseForFolder(title, start) : ScriptedWinDialogs::BrowseForFolder(title, start);
  }
  SystemDialogs system;
  bool systemBrowser = false;
};

// What a window paints of its client area (WM_PRINTCLIENT), 0xRRGGBB pixels.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)] & 0xFFFFFF; }
};

Picture PictureOf(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  Picture picture{client.right, client.bottom, {}};
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  PrintWindow(window, dc, PW_CLIENTONLY);
  GdiFlush();
  const auto* from = static_cast<const std::uint32_t*>(bits);
  picture.pixels.assign(from, from + static_cast<std::ptrdiff_t>(client.right) * client.bottom);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return picture;
}

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
  text.resize(text.size() - 1);
  return text;
}

// A shown window of this thread of a class: the system's dialogs and menus
// run their own message loops, so tests act in them from a timer.
HWND ShownWindow(const wchar_t* type) {
  struct Search {
    const wchar_t* type;
    HWND found;
  } search{type, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM data) {
        auto& s = *reinterpret_cast<Search*>(data);
        wchar_t name[64] = L"";
        GetClassNameW(window, name, 64);
        if (!IsWindowVisible(window) || lstrcmpiW(name, s.type) != 0) return TRUE;
        s.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Runs a step from the timer until it says it is done; a step that never is
// gives up after ten seconds, closing what it waited in.
class WhileModal {
 public:
  explicit WhileModal(std::function<bool()> step) {
    Step() = std::move(step);
    Tries() = 0;
    Finished() = false;
    timer_ = SetTimer(nullptr, 0, 50, &Tick);
  }
  ~WhileModal() {
    KillTimer(nullptr, timer_);
    Step() = nullptr;
  }
  WhileModal(const WhileModal&) = delete;
  WhileModal& operator=(const WhileModal&) = delete;
  static bool Done() { return Finished(); }

 private:
  static std::function<bool()>& Step() {
    thread_local std::function<bool()> step;
    return step;
  }
  static int& Tries() {
    thread_local int tries = 0;
    return tries;
  }
  static bool& Finished() {
    thread_local bool finished = false;
    return finished;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (!Step()) return;
    const std::function<bool()> step = Step();  // a step may run a loop that ticks again
    Step() = nullptr;
    if (step()) {
      Finished() = true;
      return;
    }
    if (++Tries() < 200) {
      Step() = step;
      return;
    }
    for (const wchar_t* type : {L"#32770", L"#32768"}) {
      if (HWND stuck = ShownWindow(type)) PostMessageW(stuck, WM_CLOSE, 0, 0);
    }
    EndMenu();
  }
  UINT_PTR timer_ = 0;
};

class Win32WindowAudit : public ::testing::Test {
 protected:
  Win32WindowAudit() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Open();
  }
  ~Win32WindowAudit() override {
    window.reset();
    WinSettings(kRoot).RemoveAll();
    CoUninitialize();
  }
  void Open(int show = SW_SHOW) {
    window.reset();
    window = std::make_unique<WinMainWindow>(dialogs, search, WinMainWindow::Options{kRoot, false});
    window->Logic().SetReaders(1);
    dialogs.system.SetOwner(window->Handle());
    window->Show(show);
    UpdateWindow(window->Handle());
    SetForegroundWindow(window->Handle());
  }
  void Trigger(ActionId id) { SendMessageW(window->Handle(), WM_COMMAND, WinMainWindow::CommandOf(id), 0); }
  void List(const std::string& folder) {
    dialogs.Folders.push_back(folder);
    Trigger(ActionId::EditListContentAction);
  }
  // Posts input to a control and lets the window's loop take it.
  void Post(HWND to, UINT message, WPARAM wParam, LPARAM lParam = 0) {
    PostMessageW(to, message, wParam, lParam);
    window->ProcessPending();
  }
  void Click(HWND control, POINT at) {
    const LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, where);
    Post(control, WM_LBUTTONUP, 0, where);
  }
  // A line of a pane is clicked at its middle.
  void ClickRow(PaneId pane, int row) {
    RECT line{};
    SendMessageW(window->PaneBox(pane), LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&line));
    Click(window->PaneBox(pane), {(line.left + line.right) / 2, (line.top + line.bottom) / 2});
  }
  // Keys as the keyboard sends them, to the window with the focus; the
  // window's loop takes input until they have had their effect.
  void Keys(std::initializer_list<WORD> down, const std::function<bool()>& done) {
    std::vector<INPUT> inputs;
    for (const WORD key : down) inputs.push_back(INPUT{INPUT_KEYBOARD, {.ki = {key, 0, 0, 0, 0}}});
    for (auto key = std::rbegin(down); key != std::rend(down); ++key)
      inputs.push_back(INPUT{INPUT_KEYBOARD, {.ki = {*key, 0, KEYEVENTF_KEYUP, 0, 0}}});
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    for (int wait = 0; wait < 100 && !done(); ++wait) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      window->ProcessPending();
    }
  }
  // A menu item chosen by the keys: Alt and the menu's letter, then the item's.
  void ChooseByKeys(WORD menu, WORD item, const std::function<bool()>& done) {
    Keys({VK_MENU, menu}, [] { return true; });
    Keys({item}, done);
  }
  bool Checked(ActionId id) const {
    return (GetMenuState(window->Menu(), WinMainWindow::CommandOf(id), MF_BYCOMMAND) & MF_CHECKED) != 0;
  }
  // Lists a folder through the system's browser, acting in it with step.
  void ListThroughBrowser(std::function<bool(HWND)> step) {
    dialogs.systemBrowser = true;
    WhileModal acting([&] {
      HWND browser = ShownWindow(L"#32770");
      return browser != nullptr && step(browser);
    });
    Trigger(ActionId::EditListContentAction);
    EXPECT_TRUE(WhileModal::Done());
  }
  static HWND Child(HWND parent, const wchar_t* type) {
    HWND found = nullptr;
    for (HWND child = FindWindowExW(parent, nullptr, type, nullptr); child != nullptr && found == nullptr;
         child = FindWindowExW(parent, child, type, nullptr))
      if (IsWindowVisible(child)) found = child;
    for (HWND child = GetWindow(parent, GW_CHILD); found == nullptr && child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
      found = Child(child, type);
    return found;
  }

  const std::wstring kRoot = L"Software\\Quillon-Audit-" + std::to_wstring(GetCurrentProcessId());
  TempTree tree, files;
  Dialogs dialogs;
  SystemFolderSearch search;
  std::unique_ptr<WinMainWindow> window;
};

// ---- The focus ----

TEST_F(Win32WindowAudit, AClickedPaneKeepsTheFocusAndItsArrowKeysShowTheNextLine) {
  for (const char* name : {"a", "b", "c"}) tree.File(name, name);
  List(tree.Root());
  ClickRow(PaneId::ListBox1, 0);
  const HWND pane = window->PaneBox(PaneId::ListBox1);
  EXPECT_EQ(GetFocus(), pane);
  EXPECT_EQ(NarrowOf(TextOf(window->NonViewEdit())), window->PaneLines(PaneId::ListBox1).LineAt(0));
  Post(GetFocus(), WM_KEYDOWN, VK_DOWN);
  EXPECT_EQ(window->CurrentRow(PaneId::ListBox1), 1);
  EXPECT_EQ(NarrowOf(TextOf(window->NonViewEdit())), window->PaneLines(PaneId::ListBox1).LineAt(1));
  // The line shown is still ready to copy, with the focus in the pane.
  EXPECT_TRUE(window->ActionEnabled(ActionId::EditCopyAction));
  Trigger(ActionId::EditCopyAction);
  ASSERT_TRUE(OpenClipboard(window->Handle()));
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const std::wstring copied = data != nullptr ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
  if (data != nullptr) GlobalUnlock(data);
  CloseClipboard();
  EXPECT_EQ(NarrowOf(copied), window->PaneLines(PaneId::ListBox1).LineAt(1));
}

TEST_F(Win32WindowAudit, ShiftF10AfterAClickOpensThePanesOwnMenu) {
  tree.File("a", "a");
  List(tree.Root());
  ClickRow(PaneId::ListBox1, 0);
  // Another control's own menu would open in its place: closed at once.
  WhileModal closing([] {
    if (ShownWindow(L"#32768") == nullptr) return false;
    EndMenu();
    return true;
  });
  Keys({VK_SHIFT, VK_F10}, [&] { return !dialogs.Offered.empty(); });
  ASSERT_EQ(dialogs.Offered.size(), 3u);
  EXPECT_EQ(dialogs.Offered[1].caption, "Copy &Path");
}

// ---- The help ----

TEST_F(Win32WindowAudit, HelpDescribesWhatThisBuildHasAndLinesUpItsKeysTable) {
  Post(window->PaneBox(PaneId::ListBox1), WM_KEYDOWN, VK_F1);
  ASSERT_TRUE(window->Help().IsOpen());
  HWND box = window->Help().TextBox();
  const std::wstring text = TextOf(box);
  EXPECT_NE(text.find(L"Sign Saved Listings"), std::wstring::npos);
  EXPECT_EQ(text.find(L"digests.sqlite") != std::wstring::npos, DigestStore::Available());
  EXPECT_EQ(text.find(L"This build keeps no digest cache") != std::wstring::npos, !DigestStore::Available());
  EXPECT_EQ(text.find(L"/home/"), std::wstring::npos);
  EXPECT_NE(text.find(L"_____A_____ C:\\Users"), std::wstring::npos);
  // Each row of the keys table: its keys start at one place, and so do its
  // descriptions, right of the longest command.
  std::vector<int> keys, descriptions;
  int widest = 0;
  for (std::size_t row = text.find(L"New\tCtrl+N"); row != std::wstring::npos && row < text.size();) {
    const std::size_t end = text.find(L"\r\n", row), first = text.find(L'\t', row);
    if (first == std::wstring::npos || first > end) break;
    const std::size_t second = text.find(L'\t', first + 1);
    const auto x = [&](std::size_t at) { return GET_X_LPARAM(SendMessageW(box, EM_POSFROMCHAR, at, 0)); };
    widest = std::max(widest, x(first) - x(row));
    keys.push_back(x(first + 1) - x(row));
    descriptions.push_back(x(second + 1) - x(row));
    row = end + 2;
  }
  ASSERT_EQ(keys.size(), 11u);
  EXPECT_EQ(*std::min_element(keys.begin(), keys.end()), *std::max_element(keys.begin(), keys.end()));
  EXPECT_EQ(*std::min_element(descriptions.begin(), descriptions.end()),
            *std::max_element(descriptions.begin(), descriptions.end()));
  EXPECT_GT(keys.front(), widest);
}

// ---- Characters the pane font lacks ----

TEST_F(Win32WindowAudit, DrawsCharactersThePaneFontLacksFromAFontThatHasThem) {
  // Pairs of lines that differ in one character, which a font that lacks it
  // draws as the same box: CJK, emoji (beyond 16 bits) and control pictures.
  const std::vector<std::string> lines{"A\xE6\xA1\xA3", "A\xE6\xA1\x88", "A\xF0\x9F\x98\x80",
                                       "A\xF0\x9F\x90\xB1", "A\xE2\x90\x81", "A\xE2\x90\x9B"};
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  files.File("odd.qln", text);
  dialogs.OpenNames.push_back(files.Path("odd.qln"));
  dialogs.Answers.push_back(ConfirmAnswer::Yes);  // no summary line: Open asks
  Trigger(ActionId::FileOpenAction);
  HWND pane = window->PaneBox(PaneId::ListBox2);
  ASSERT_EQ(SendMessageW(pane, LB_GETCOUNT, 0, 0), 6);
  const Picture drawn = PictureOf(pane);
  const int height = static_cast<int>(SendMessageW(pane, LB_GETITEMHEIGHT, 0, 0));
  const auto same = [&](int first, int second) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < drawn.width; ++x)
        if (drawn.At(x, first * height + y) != drawn.At(x, second * height + y)) return false;
    return true;
  };
  for (int pair = 0; pair < 3; ++pair)
    EXPECT_FALSE(same(2 * pair, 2 * pair + 1)) << lines[static_cast<std::size_t>(2 * pair)];
}

// ---- The window's place ----

TEST_F(Win32WindowAudit, KeepsItsSizeWhenMovedToAScreenOfAnotherScale) {
  SetWindowPos(window->Handle(), nullptr, 40, 30, 560, 420, SWP_NOZORDER);
  // Dragged to a screen at 192 pixels per inch, where the system doubles it.
  RECT suggested{40, 30, 40 + 1120, 30 + 840};
  SendMessageW(window->Handle(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  Post(window->Handle(), WM_CLOSE, 0);
  ASSERT_EQ(window->Handle(), nullptr);
  Open();  // at 96 pixels per inch again
  RECT frame{};
  GetWindowRect(window->Handle(), &frame);
  EXPECT_EQ(frame.right - frame.left, 560);
  EXPECT_EQ(frame.bottom - frame.top, 420);
}

TEST_F(Win32WindowAudit, AMaximizedWindowComesBackMaximizedOverItsNormalFrame) {
  SetWindowPos(window->Handle(), nullptr, 50, 40, 640, 480, SWP_NOZORDER);
  // Wine without a window manager ignores the caption's maximize command; the
  // system's own call stands in for it.
  ShowWindow(window->Handle(), SW_MAXIMIZE);
  ASSERT_TRUE(IsZoomed(window->Handle()));
  Post(window->Handle(), WM_CLOSE, 0);
  // Started from a shortcut or the command line, a program is told SW_SHOWDEFAULT.
  Open(SW_SHOWDEFAULT);
  EXPECT_TRUE(IsZoomed(window->Handle()));
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(window->Handle(), &placement);
  EXPECT_EQ(placement.rcNormalPosition.right - placement.rcNormalPosition.left, 640);
  ShowWindow(window->Handle(), SW_RESTORE);
  Post(window->Handle(), WM_CLOSE, 0);
  Open(SW_SHOWDEFAULT);
  EXPECT_FALSE(IsZoomed(window->Handle()));
}

// ---- The folder browser ----


TEST_F(Win32WindowAudit, OpensAtTheFolderListedLast) {
  tree.Dir("last/marker");
  tree.File("last/a.txt", "a");
  List(tree.Path("last"));
  std::vector<std::wstring> shown;
  ListThroughBrowser([&](HWND browser) {
    HWND view = Child(browser, L"SysListView32");
    if (view == nullptr || SendMessageW(view, LVM_GETITEMCOUNT, 0, 0) == 0) return false;
    for (int i = 0; i < SendMessageW(view, LVM_GETITEMCOUNT, 0, 0); ++i) {
      wchar_t name[MAX_PATH] = L"";
      LVITEMW item{};
      item.iSubItem = 0;
      item.pszText = name;
      item.cchTextMax = MAX_PATH;
      SendMessageW(view, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      shown.emplace_back(name);
    }
    PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
    return true;
  });
  EXPECT_NE(std::find(shown.begin(), shown.end(), L"marker"), shown.end());
}

TEST_F(Win32WindowAudit, ListsAPathTypedIntoIt) {
  tree.Dir("typed");
  tree.File("typed/found.txt", "f");
  ListThroughBrowser([&](HWND browser) {
    HWND field = Child(browser, L"Edit");
    if (field == nullptr) return false;
    for (const wchar_t c : WideOf(tree.Path("typed"))) PostMessageW(field, WM_CHAR, c, 0);
    PostMessageW(field, WM_KEYDOWN, VK_RETURN, 0);
    return true;
  });
  const ListPane& lines = window->PaneLines(PaneId::ListBox1);
  ASSERT_GT(lines.Count(), 0);
  EXPECT_NE(std::string(lines.LineAt(0)).find(tree.Path("typed/found.txt")), std::string::npos);
}

// ---- Pictures of commands ----

TEST_F(Win32WindowAudit, AButtonThatCannotBePressedIsGreyed) {
  RECT save{};
  SendMessageW(window->ToolBar(), TB_GETRECT, WinMainWindow::CommandOf(ActionId::FileSaveAction),
               reinterpret_cast<LPARAM>(&save));
  // Greyed is faint: no dark outline, as the button has when it can be pressed.
  const auto dark = [&](const Picture& picture) {
    int count = 0;
    for (int y = save.top; y < save.bottom; ++y)
      for (int x = save.left; x < save.right; ++x) {
        const std::uint32_t pixel = picture.At(x, y);
        count += std::max({pixel >> 16 & 0xFF, pixel >> 8 & 0xFF, pixel & 0xFF}) < 80;
      }
    return count;
  };
  ASSERT_FALSE(window->ActionEnabled(ActionId::FileSaveAction));
  const Picture disabled = PictureOf(window->ToolBar());
  tree.File("a", "a");
  List(tree.Root());
  ASSERT_TRUE(window->ActionEnabled(ActionId::FileSaveAction));
  EXPECT_GT(dark(PictureOf(window->ToolBar())), 10);
  EXPECT_EQ(dark(disabled), 0);
}

TEST_F(Win32WindowAudit, MenuGlyphsLieOnTheMenusOwnColour) {
  // Open's glyph, the second item of File, as it should look over the menu.
  const GlyphPicture::Picture glyph = GlyphPicture::Glyph(InfoOf(ActionId::FileOpenAction).glyph, 16);
  const std::uint32_t menu = GetSysColor(COLOR_MENU);
  const int back[3] = {GetRValue(menu), GetGValue(menu), GetBValue(menu)};
  const auto matches = [&](const Picture& picture, int left, int top) {
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const std::uint32_t want = glyph.pixels[static_cast<std::size_t>(y * 16 + x)], got = picture.At(left + x, top + y);
        const int alpha = static_cast<int>(want >> 24);
        for (int channel = 0; channel < 3; ++channel) {
          const int shift = 16 - 8 * channel;
          const int expected = (static_cast<int>(want >> shift & 0xFF) * alpha + back[channel] * (255 - alpha)) / 255;
          if (std::abs(expected - static_cast<int>(got >> shift & 0xFF)) > 24) return false;
        }
      }
    return true;
  };
  bool found = false, opened = false;
  WhileModal looking([&] {
    HWND popup = ShownWindow(L"#32768");
    if (popup == nullptr) return false;
    opened = true;
    const Picture picture = PictureOf(popup);
    for (int top = 0; top + 16 <= picture.height && !found; ++top)
      for (int left = 0; left + 16 <= picture.width && !found; ++left) found = matches(picture, left, top);
    EndMenu();
    return true;
  });
  Keys({VK_MENU, 'F'}, [&] { return opened; });
  EXPECT_TRUE(opened);
  EXPECT_TRUE(found);
}

}  // namespace

// ---- What a daily user missed, as in the Qt window ----

TEST_F(Win32WindowAudit, AsksBeforeDiscardingUnsavedWorkOnlyWhenChosen) {
  tree.File("a", "a");
  List(tree.Root());
  ClickRow(PaneId::ListBox1, 0);
  Keys({VK_CONTROL, 'N'}, [&] { return window->PaneLines(PaneId::ListBox1).Count() == 0; });
  EXPECT_TRUE(dialogs.Questions.empty());  // by default New asks nothing
  ChooseByKeys('E', 'B', [&] { return Checked(ActionId::EditAskBeforeDiscardAction); });
  EXPECT_TRUE(Checked(ActionId::EditAskBeforeDiscardAction));
  List(tree.Root());
  ClickRow(PaneId::ListBox1, 0);
  dialogs.Answers.push_back(ConfirmAnswer::Cancel);
  Keys({VK_CONTROL, 'N'}, [&] { return !dialogs.Questions.empty(); });
  ASSERT_EQ(dialogs.Questions.size(), 1u);
  EXPECT_EQ(dialogs.Questions[0], Texts::kUnsavedListingQuestion);
  EXPECT_GT(window->PaneLines(PaneId::ListBox1).Count(), 0);
  // Closing asks too, and Yes with the save given up keeps the window.
  dialogs.Answers.push_back(ConfirmAnswer::Yes);
  SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(window->Handle()));
  EXPECT_EQ(dialogs.Questions.size(), 2u);
}

TEST_F(Win32WindowAudit, AcceptsTheComparedListingAsTheNewBaselineAndOffersRecentListings) {
  tree.File("a", "a");
  List(tree.Root());
  const std::string base = files.Path("base.qln");
  dialogs.SaveNames.push_back(base);
  Keys({VK_CONTROL, 'S'}, [&] { return !window->ActionEnabled(ActionId::FileSaveAction); });
  tree.File("b", "b");
  dialogs.OpenNames.push_back(base);
  Keys({VK_CONTROL, 'O'}, [&] { return window->Logic().State().HasLoadedListing; });
  List(tree.Root());
  Trigger(ActionId::EditCompareContentAction);
  ASSERT_TRUE(window->ActionEnabled(ActionId::FileAcceptBaselineAction));
  const std::string before = files.Read("base.qln");
  ChooseByKeys('F', 'B', [&] { return !window->ActionEnabled(ActionId::FileAcceptBaselineAction); });
  EXPECT_EQ(files.Read("base.qln.previous"), before);
  EXPECT_NE(files.Read("base.qln").find("\\b\r\n"), std::string::npos);
  EXPECT_EQ(window->PanelText(4), "New baseline: " + base + "; the old one is " + base + ".previous");
  // The File menu, as it opens, offers the listing, and its item opens it.
  Keys({VK_CONTROL, 'N'}, [&] { return !window->Logic().State().HasLoadedListing; });
  ChooseByKeys('F', '1', [&] { return window->Logic().State().HasLoadedListing; });
  EXPECT_EQ(window->Logic().State().LoadedFileName, base);
  wchar_t caption[512] = L"";
  GetMenuStringW(GetSubMenu(window->Menu(), 0), 900, caption, 512, MF_BYCOMMAND);
  EXPECT_EQ(NarrowOf(caption), "&1 " + base);
}

TEST_F(Win32WindowAudit, SortsFiltersAndColoursTheResultsAsChosenFromTheViewMenu) {
  tree.Dir("a");
  tree.Dir("b");
  tree.File("a-z", "1");
  tree.File("b/x", "1");
  List(tree.Root());
  const std::string base = files.Path("base.qln");
  dialogs.SaveNames.push_back(base);
  Keys({VK_CONTROL, 'S'}, [&] { return !window->ActionEnabled(ActionId::FileSaveAction); });
  std::filesystem::remove(tree.Path("a-z"));
  tree.File("b/x", "22");
  tree.File("a/new", "n");
  dialogs.OpenNames.push_back(base);
  Keys({VK_CONTROL, 'O'}, [&] { return window->Logic().State().HasLoadedListing; });
  List(tree.Root());
  Trigger(ActionId::EditCompareContentAction);
  const PaneRows& results = window->Controller().Rows(PaneId::ListBox3);
  const auto shown = [&] {
    std::string rows;
    const int count = static_cast<int>(SendMessageW(window->PaneBox(PaneId::ListBox3), LB_GETCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
      const std::string_view line = results.Lines().LineAt(results.LineOfRow(row));
      rows += std::string(line.substr(0, 1)) + std::string(PaneText::PathOf(line).value_or("?")).substr(tree.Root().size()) + " ";
    }
    return rows;
  };
  ASSERT_EQ(shown(), "D\\a-z M\\b\\x A\\a\\new ");
  // The View menu by its keys: Alt+V, then the item's own letter.
  const auto choose = [&](WORD item, ActionId id) {
    const bool was = Checked(id);
    ChooseByKeys('V', item, [&] { return Checked(id) != was; });
  };
  choose('P', ActionId::ViewSortByPathAction);
  EXPECT_EQ(shown(), "A\\a\\new D\\a-z M\\b\\x ");
  choose('K', ActionId::ViewSortByKindAction);
  EXPECT_EQ(shown(), "M\\b\\x D\\a-z A\\a\\new ");
  EXPECT_FALSE(Checked(ActionId::ViewSortByPathAction));
  choose('C', ActionId::ViewColourResultsAction);
  EXPECT_EQ(results.ColourOfRow(0), WindowLayout::kKindColours[static_cast<std::size_t>(ChangeKind::Modified)]);
  // Typed into the box beside the toggles.
  Click(window->ResultTextEdit(), {4, 4});
  Keys({'A'}, [] { return true; });
  Keys({VK_OEM_MINUS}, [] { return true; });
  Keys({'Z'}, [&] { return SendMessageW(window->PaneBox(PaneId::ListBox3), LB_GETCOUNT, 0, 0) == 1; });
  EXPECT_EQ(shown(), "D\\a-z ");
  // Its text, selected, can be copied, as in every other line of the window.
  Keys({VK_SHIFT, VK_HOME}, [&] { return window->ActionEnabled(ActionId::EditCopyAction); });
  EXPECT_TRUE(window->ActionEnabled(ActionId::EditCopyAction));
}
