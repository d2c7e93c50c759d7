#include "platform/WindowsApi.h"

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "ScriptedWinDialogs.h"
#include "SkippingClock.h"
#include "TestSupport.h"
#include "app/ActionTable.h"
#include "app/WindowLayout.h"
#include "surfaces/Texts.h"
#include "platform/SigningKey.h"
#include "platform/SystemFolderSearch.h"
#include "win/Resources.h"
#include "win/SystemDialogs.h"
#include "win/WinMainWindow.h"

namespace {

namespace L = WindowLayout;

// The system's folder search, with a hook that runs when the search of a
// chosen folder starts: a moment inside a run to act in.
class HookedSearch : public FolderSearch {
 public:
  std::unique_ptr<FolderSearchHandle> FindFirstFile(const std::string& pattern, int attributeMask, FindData& first,
                                                    std::vector<SearchFailure>& failures) override {
    for (auto& [part, hook] : Hooks) {
      if (pattern.find(part) != std::string::npos && hook) std::exchange(hook, nullptr)();
    }
    return system_.FindFirstFile(pattern, attributeMask, first, failures);
  }
  std::map<std::string, std::function<void()>> Hooks;

 private:
  SystemFolderSearch system_;
};

std::vector<std::string> LinesOf(const ListPane& pane) { return {pane.Lines().Lines().begin(), pane.Lines().Lines().end()}; }

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end - at));
    at = end == std::string::npos ? text.size() : end + 2;
  }
  return lines;
}

class Win32Window : public ::testing::Test {
 protected:
  Win32Window() : window(dialogs, search, {L"Software\\Quillon-Tests-" + std::to_wstring(GetCurrentProcessId()), false}) {
    window.Logic().SetReaders(1);
    ShowWindow(window.Handle(), SW_SHOW);
    UpdateWindow(window.Handle());
  }
  ~Win32Window() override { WinSettings(L"Software\\Quillon-Tests-" + std::to_wstring(GetCurrentProcessId())).RemoveAll(); }

  void Trigger(ActionId id) { SendMessageW(window.Handle(), WM_COMMAND, WinMainWindow::CommandOf(id), 0); }
  bool Enabled(ActionId id) { return window.ActionEnabled(id); }
  void List(const std::string& folder) {
    dialogs.Folders.push_back(folder);
    Trigger(ActionId::EditListContentAction);
  }
  void Tick(bool md5) { SendMessageW(window.Md5CheckBox(), BM_SETCHECK, md5 ? BST_CHECKED : BST_UNCHECKED, 0); }
  // The menu item and the toolbar button show each action's state.
  void ExpectControlsFollowTheActions() {
    for (const ActionInfo& info : kActionTable) {
      const UINT state = GetMenuState(window.Menu(), static_cast<UINT>(WinMainWindow::CommandOf(info.id)), MF_BYCOMMAND);
      if (info.visible) {
        ASSERT_NE(state, static_cast<UINT>(-1)) << info.caption;
        EXPECT_EQ((state & MF_GRAYED) == 0, Enabled(info.id)) << info.caption;
      } else {
        EXPECT_EQ(state, static_cast<UINT>(-1)) << info.caption << " is hidden, so it has no item";
      }
      const LRESULT button = SendMessageW(window.ToolBar(), TB_ISBUTTONENABLED, WinMainWindow::CommandOf(info.id), 0);
      if (SendMessageW(window.ToolBar(), TB_COMMANDTOINDEX, WinMainWindow::CommandOf(info.id), 0) >= 0) {
        EXPECT_EQ(button != 0, Enabled(info.id)) << info.caption;
      }
    }
  }
  // A file outside the listed tree, not there yet.
  std::string Fresh(const std::string& name) {
    const std::string path = files.Path(name);
    DeleteFileW(WideOf(path).c_str());
    return path;
  }

  TempTree tree, files;
  ScriptedWinDialogs dialogs;
  HookedSearch search;
  SkippingClock<WinMainWindow> window;
};

RECT ClientRectOf(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  return r;
}

TEST_F(Win32Window, StartsAsLaidOutWithTheStatesOfTheActionTable) {
  EXPECT_EQ(NarrowOf([&] {
              wchar_t caption[64];
              GetWindowTextW(window.Handle(), caption, 64);
              return std::wstring(caption);
            }()),
            Texts::kCaption);
  EXPECT_EQ(window.LabelText(LabelId::Label1), "Selected: ?");
  EXPECT_EQ(window.LabelText(LabelId::Label2), "Loaded File: ?");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(window.PanelText(i), "") << i;
  EXPECT_EQ(SendMessageW(window.Md5CheckBox(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(window.Logic().State().DocumentFileName, "Untitled");
  for (const ActionInfo& info : kActionTable) EXPECT_EQ(Enabled(info.id), info.enabledAtStart) << info.caption;
  ExpectControlsFollowTheActions();

  // The sizes at 96 pixels per inch, as wine's virtual screen has them.
  ASSERT_EQ(GetDpiForWindow(window.Handle()), 96u);
  RECT client{};
  GetClientRect(window.Handle(), &client);
  EXPECT_EQ(client.right, L::kClientWidth);
  EXPECT_EQ(client.bottom, L::kClientHeight);
  const RECT one = ClientRectOf(window.PaneBox(PaneId::ListBox1)), two = ClientRectOf(window.PaneBox(PaneId::ListBox2)),
             three = ClientRectOf(window.PaneBox(PaneId::ListBox3));
  EXPECT_EQ(one.right - one.left, L::kListBox1Width);
  EXPECT_EQ(two.right - two.left, 404);
  EXPECT_EQ(two.bottom - two.top, 391);
  EXPECT_EQ(three.bottom - three.top, L::kListBox3Height);
  // The panes keep their proportions as the window grows.
  SetWindowPos(window.Handle(), nullptr, 0, 0, 1017 + 400, 616 + 300, SWP_NOMOVE | SWP_NOZORDER);
  const auto width = [](RECT r) { return static_cast<double>(r.right - r.left); };
  const auto height = [](RECT r) { return static_cast<double>(r.bottom - r.top); };
  EXPECT_NEAR(width(ClientRectOf(window.PaneBox(PaneId::ListBox1))) /
                  (width(ClientRectOf(window.PaneBox(PaneId::ListBox1))) + width(ClientRectOf(window.PaneBox(PaneId::ListBox2)))),
              width(one) / (width(one) + width(two)), 0.01);
  EXPECT_NEAR(height(ClientRectOf(window.PaneBox(PaneId::ListBox3))) /
                  (height(ClientRectOf(window.PaneBox(PaneId::ListBox3))) + height(ClientRectOf(window.PaneBox(PaneId::ListBox1)))),
              height(three) / (height(three) + height(one)), 0.01);
  // The panes hold no control item per line.
  for (PaneId pane : {PaneId::ListBox1, PaneId::ListBox2, PaneId::ListBox3})
    EXPECT_NE(GetWindowLongW(window.PaneBox(pane), GWL_STYLE) & LBS_NODATA, 0);

  // A move to a screen of 144 pixels per inch lays everything out anew at that size.
  RECT suggested{0, 0, 1226, 925};
  SendMessageW(window.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_NEAR(width(ClientRectOf(window.PaneBox(PaneId::ListBox1))), MulDiv(L::kListBox1Width, 3, 2), 2);
  EXPECT_NEAR(height(ClientRectOf(window.PaneBox(PaneId::ListBox3))) /
                  (height(ClientRectOf(window.PaneBox(PaneId::ListBox3))) + height(ClientRectOf(window.PaneBox(PaneId::ListBox1)))),
              height(three) / (height(three) + height(one)), 0.01);
  EXPECT_EQ(SendMessageW(window.PaneBox(PaneId::ListBox1), LB_GETITEMHEIGHT, 0, 0), MulDiv(L::kPaneLineHeight, 3, 2));
  RECT bar{};
  GetWindowRect(window.StatusBar(), &bar);
  EXPECT_EQ(bar.bottom - bar.top, MulDiv(L::kStatusBarHeight, 3, 2));

  // The toolbar in the layout's order, hidden actions taking no room.
  ASSERT_EQ(SendMessageW(window.ToolBar(), TB_BUTTONCOUNT, 0, 0), static_cast<LRESULT>(L::kToolItems.size()));
  for (std::size_t i = 0; i < L::kToolItems.size(); ++i) {
    TBBUTTON button{};
    SendMessageW(window.ToolBar(), TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
    const L::MenuItem& item = L::kToolItems[i];
    if (item.kind == L::ItemKind::Separator) {
      EXPECT_NE(button.fsStyle & BTNS_SEP, 0) << item.name;
    } else {
      EXPECT_EQ(button.idCommand, WinMainWindow::CommandOf(item.action)) << item.name;
      EXPECT_EQ((button.fsState & TBSTATE_HIDDEN) != 0, !InfoOf(item.action).visible) << item.name;
    }
  }
  // Menu captions carry their shortcuts; the accelerators work.
  wchar_t text[64];
  GetMenuStringW(window.Menu(), WinMainWindow::CommandOf(ActionId::FileNewAction), text, 64, MF_BYCOMMAND);
  EXPECT_EQ(std::wstring(text), L"&New\tCtrl+N");
  GetMenuStringW(window.Menu(), WinMainWindow::CommandOf(ActionId::HelpProgramAction), text, 64, MF_BYCOMMAND);
  EXPECT_EQ(std::wstring(text), L"Quillon &Help\tF1");
}

TEST_F(Win32Window, ListsATreeByteForByteAsTheCommandLineToolDoes) {
  tree.Dir("sub/deeper");
  tree.File("a.txt", "alpha");
  tree.File("sub/b.bin", std::string(70000, 'b'));
  tree.File("sub/deeper/caf\xC3\xA9.txt", "");
  Tick(true);
  List(tree.Root());
  ASSERT_TRUE(dialogs.Errors.empty()) << dialogs.Errors.front();
  EXPECT_EQ(dialogs.Titles, std::vector<std::string>{Texts::kBrowseTitle});

  const std::string out = Fresh("cli.qln");
  std::string cli = QUILLON_CLI_PATH;
  for (char& c : cli) c = c == '/' ? '\\' : c;
  std::wstring command = L"\"Z:" + WideOf(cli) + L"\" list --md5 --readers 1 \"" + WideOf(tree.Root()) + L"\" -o \"" +
                         WideOf(out) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                             &startup, &process));
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 99;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  ASSERT_EQ(code, 0u);
  std::vector<std::string> expected = SplitCrLf(files.Read("cli.qln"));
  std::vector<std::string> shown = LinesOf(window.PaneLines(PaneId::ListBox1));
  EXPECT_TRUE(SameLines(expected, shown));
  EXPECT_EQ(window.PanelText(0), "Files = 3");
}

TEST_F(Win32Window, SavesOpensComparesAndSavesTheResultsFollowingTheEnabledStateTable) {
  tree.Dir("t");
  tree.File("t/a.txt", "alpha");
  tree.File("t/b.txt", "beta");
  List(tree.Path("t"));
  ASSERT_GT(window.PaneLines(PaneId::ListBox1).Count(), 3);
  EXPECT_TRUE(Enabled(ActionId::FileSaveAction));
  EXPECT_TRUE(Enabled(ActionId::EditRepeatLastAction));
  EXPECT_FALSE(Enabled(ActionId::EditCompareContentAction));
  ExpectControlsFollowTheActions();

  const std::string saved = Fresh("old.qln");
  dialogs.SaveNames.push_back(saved);
  Trigger(ActionId::FileSaveAction);
  std::string joined;
  for (const std::string& line : LinesOf(window.PaneLines(PaneId::ListBox1))) joined += line + "\r\n";
  EXPECT_EQ(files.Read("old.qln"), joined);
  EXPECT_EQ(window.Logic().State().DocumentFileName, saved);

  Trigger(ActionId::FileNewAction);
  EXPECT_EQ(window.PaneLines(PaneId::ListBox1).Count(), 0);
  EXPECT_FALSE(Enabled(ActionId::FileSaveAction));
  ExpectControlsFollowTheActions();

  dialogs.OpenNames.push_back(saved);
  Trigger(ActionId::FileOpenAction);
  EXPECT_EQ(SplitCrLf(joined), LinesOf(window.PaneLines(PaneId::ListBox2)));
  EXPECT_EQ(SendMessageW(window.PaneBox(PaneId::ListBox2), LB_GETCOUNT, 0, 0), window.PaneLines(PaneId::ListBox2).Count());
  EXPECT_NE(window.LabelText(LabelId::Label2).find("old.qln"), std::string::npos);

  tree.File("t/b.txt", "BETA!");
  Trigger(ActionId::EditListContentAction);  // nothing scripted: the browser is cancelled
  dialogs.Folders.push_back(tree.Path("t"));
  Trigger(ActionId::EditListContentAction);
  EXPECT_TRUE(Enabled(ActionId::EditCompareContentAction));
  ExpectControlsFollowTheActions();
  Trigger(ActionId::EditCompareContentAction);
  const std::vector<std::string> results = LinesOf(window.PaneLines(PaneId::ListBox3));
  ASSERT_FALSE(results.empty());
  EXPECT_EQ(results.front().rfind("Modified: ", 0), 0u) << results.front();
  EXPECT_NE(results.front().find("b.txt"), std::string::npos);
  EXPECT_TRUE(Enabled(ActionId::FileSaveResultAction));
  ExpectControlsFollowTheActions();
  // The same audit in one step, from the logic below the window.
  Trigger(ActionId::FileNewAction);
  dialogs.OpenNames.push_back(saved);
  dialogs.Folders.push_back(tree.Path("t"));
  Trigger(ActionId::EditCompareFolderAction);
  EXPECT_EQ(LinesOf(window.PaneLines(PaneId::ListBox3)), results);

  const std::string resultFile = Fresh("results.txt");
  dialogs.SaveNames.push_back(resultFile);
  Trigger(ActionId::FileSaveResultAction);
  std::string expected;
  for (const std::string& line : results) expected += line + "\r\n";
  EXPECT_EQ(files.Read("results.txt"), expected);
  EXPECT_FALSE(Enabled(ActionId::FileSaveResultAction));
  ExpectControlsFollowTheActions();
  // Saving over it asks first; No leaves it as it is.
  Trigger(ActionId::EditCompareContentAction);
  dialogs.SaveNames.push_back(resultFile);
  dialogs.Answers.push_back(ConfirmAnswer::No);
  Trigger(ActionId::FileSaveResultAction);
  EXPECT_EQ(dialogs.Questions.size(), 1u);

  Trigger(ActionId::HelpAboutAction);
  EXPECT_EQ(dialogs.AboutShown, 1);
  EXPECT_FALSE(Enabled(ActionId::EditRepeatLastAction));
  ExpectControlsFollowTheActions();
  EXPECT_TRUE(dialogs.Errors.empty()) << dialogs.Errors.front();
}

TEST_F(Win32Window, RoutesHintsToPanel4AndTheShortPartToTooltips) {
  const auto select = [&](UINT item, UINT flags, HMENU menu) {
    SendMessageW(window.Handle(), WM_MENUSELECT, MAKEWPARAM(item, flags), reinterpret_cast<LPARAM>(menu));
  };
  select(static_cast<UINT>(WinMainWindow::CommandOf(ActionId::FileNewAction)), MF_STRING, GetSubMenu(window.Menu(), 0));
  EXPECT_EQ(window.PanelText(4), " Initializes the program new...");
  select(static_cast<UINT>(WinMainWindow::CommandOf(ActionId::HelpAboutAction)), MF_STRING, GetSubMenu(window.Menu(), 3));
  EXPECT_EQ(window.PanelText(4), "Displays program information, version number, and copyright");
  select(1, MF_POPUP, window.Menu());
  EXPECT_EQ(window.PanelText(4), "Edit commands");
  select(0xFFFF, 0xFFFF, nullptr);
  EXPECT_EQ(window.PanelText(4), "");

  // Pointing at a toolbar button, the check box and a pane.
  const auto centre = [](RECT r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; };
  RECT button{};
  SendMessageW(window.ToolBar(), TB_GETRECT, WinMainWindow::CommandOf(ActionId::FileOpenAction),
               reinterpret_cast<LPARAM>(&button));
  MapWindowPoints(window.ToolBar(), nullptr, reinterpret_cast<POINT*>(&button), 2);
  window.ShowHintAt(centre(button));
  EXPECT_EQ(window.PanelText(4), " Opens a saved Quillon content...");
  window.ShowHintAt(centre(ClientRectOf(window.Md5CheckBox())));
  EXPECT_EQ(window.PanelText(4), L::kMd5Hint);
  window.ShowHintAt(centre(ClientRectOf(window.PaneBox(PaneId::ListBox2))));
  EXPECT_EQ(window.PanelText(4), "");

  // The count of what a run could not read names the first of them in its tooltip,
  // until a hint takes the panel.
  for (int i = 0; i < 22; ++i) window.Controller().ReportUnreadable(UnreadableKind::File, "C:\\f" + std::to_string(i), "denied");
  window.Controller().StatusSetPanelText(4, "22 files could not be read");
  EXPECT_EQ(window.PanelText(4), "22 files could not be read");
  EXPECT_EQ(window.PanelTip(4).rfind("C:\\f0\r\nC:\\f1\r\n", 0), 0u);
  EXPECT_NE(window.PanelTip(4).find("C:\\f19\r\n... and 2 more"), std::string::npos);
  window.ShowHintAt(centre(button));
  EXPECT_EQ(window.PanelText(4), " Opens a saved Quillon content...");
  EXPECT_EQ(window.PanelTip(4), "");

  NMTTDISPINFOW tip{};
  tip.hdr.code = TTN_GETDISPINFOW;
  tip.hdr.idFrom = static_cast<UINT_PTR>(WinMainWindow::CommandOf(ActionId::EditCompareContentAction));
  SendMessageW(window.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
  ASSERT_NE(tip.lpszText, nullptr);
  EXPECT_EQ(std::wstring(tip.lpszText), L"Compare Content with");
}

TEST_F(Win32Window, StopsAnMd5RunByEscapeTheToolbarOrTheMenuKeepingTheLinesFoundSoFar) {
  constexpr int kFolders = 5, kFiles = 20;
  for (int f = 0; f < kFolders; ++f) {
    tree.Dir("run/f" + std::to_string(f));
    for (int i = 0; i < kFiles; ++i)
      tree.File("run/f" + std::to_string(f) + "/file" + std::to_string(i), std::string(20000, static_cast<char>('a' + i)));
  }
  Tick(true);
  const auto stopBy = [&](const std::function<void()>& stop) {
    search.Hooks["f2"] = [&, stop] {
      stop();
      // Input that comes with it is dropped: New would empty the pane.
      PostMessageW(window.PaneBox(PaneId::ListBox1), WM_KEYDOWN, 'N', 0);
      PostMessageW(window.Handle(), WM_COMMAND, WinMainWindow::CommandOf(ActionId::FileNewAction), 0);
      window.Skip(WorkSession::kPumpInterval);  // the next poll pumps
    };
    List(tree.Path("run"));
    window.ProcessPending();
    const std::vector<std::string> lines = LinesOf(window.PaneLines(PaneId::ListBox1));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), Texts::kListingStopped);
    // The files of the folders listed before the stop, each with its digest.
    EXPECT_GE(static_cast<int>(lines.size()) - 1, kFiles);
    EXPECT_LT(static_cast<int>(lines.size()) - 1, kFolders * kFiles);
    EXPECT_EQ(lines.front().find("00000000000000000000000000000000"), std::string::npos) << lines.front();
    EXPECT_FALSE(Enabled(ActionId::FileSaveAction));
    EXPECT_FALSE(Enabled(ActionId::EditStopAction));
    EXPECT_FALSE(window.Working());
    EXPECT_EQ(SendMessageW(window.PaneBox(PaneId::ListBox1), LB_GETCOUNT, 0, 0), static_cast<LRESULT>(lines.size()));
  };
  stopBy([&] { PostMessageW(window.PaneBox(PaneId::ListBox1), WM_KEYDOWN, VK_ESCAPE, 0); });
  stopBy([&] {
    RECT button{};
    SendMessageW(window.ToolBar(), TB_GETRECT, WinMainWindow::CommandOf(ActionId::EditStopAction),
                 reinterpret_cast<LPARAM>(&button));
    const LPARAM at = MAKELPARAM((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    PostMessageW(window.ToolBar(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(window.ToolBar(), WM_LBUTTONUP, 0, at);
  });
  stopBy([&] { PostMessageW(window.Handle(), WM_COMMAND, WinMainWindow::CommandOf(ActionId::EditStopAction), 0); });
  // A run left alone lists everything.
  List(tree.Path("run"));
  EXPECT_EQ(window.PanelText(0), "Files = " + std::to_string(kFolders * kFiles));
}

TEST_F(Win32Window, KeepsTheListingChoicesInTheRegistryAndWarnsOnceThatThereIsNoDigestCache) {
  tree.Dir("sub");
  tree.File("keep.bin", "k");
  tree.File("sub/drop.txt", "d");
  SendMessageW(window.Handle(), WM_COMMAND, WinMainWindow::CommandOf(ActionId::EditReuseDigestsAction), 0);
  SendMessageW(window.Handle(), WM_COMMAND, WinMainWindow::CommandOf(ActionId::EditSha256Action), 0);
  SendMessageW(window.Handle(), WM_COMMAND, WinMainWindow::CommandOf(ActionId::EditDetectMovesAction), 0);
  // A malformed pattern is refused, and the box comes back with it.
  dialogs.PatternAnswers = {"[bad", "*.txt\n"};
  SendMessageW(window.Handle(), WM_COMMAND, WinMainWindow::CommandOf(ActionId::EditExcludePatternsAction), 0);
  ASSERT_EQ(dialogs.Errors.size(), 1u);
  EXPECT_EQ(dialogs.ShownPatterns, (std::vector<std::string>{"", "[bad"}));
  dialogs.Errors.clear();
  EXPECT_TRUE(window.Controller().ReuseDigestsChecked());
  EXPECT_TRUE(window.Controller().DetectMovesChecked());
  const WinSettings settings(L"Software\\Quillon-Tests-" + std::to_wstring(GetCurrentProcessId()));
  EXPECT_TRUE(settings.ReadBool(L::kReuseDigestsKey, false));
  EXPECT_TRUE(settings.ReadBool(L::kDetectMovesKey, false));
  EXPECT_TRUE(settings.ReadBool(L::kSha256Key, false));
  EXPECT_EQ(settings.ReadText(L::kExcludePatternsKey), "*.txt\n");

  Tick(true);
  List(tree.Root());
  List(tree.Root());
  EXPECT_EQ(dialogs.Warnings.size(), 1u);
  const std::vector<std::string> lines = LinesOf(window.PaneLines(PaneId::ListBox1));
  EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](const std::string& l) { return l.find("drop.txt") != l.npos; }));
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return l.find("keep.bin") != l.npos; }));
  // The MD5 box asked for digests, the SHA-256 item said which.
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find(" 8254c329a92850f6d539dd376f4816ee2764517da5e0235514af433164480d7a ") != l.npos;
  }));

  // Help opens in a window of its own, which Escape closes.
  Trigger(ActionId::HelpProgramAction);
  ASSERT_TRUE(window.Help().IsOpen());
  PostMessageW(GetWindow(window.Help().Frame(), GW_CHILD), WM_KEYDOWN, VK_ESCAPE, 0);
  window.ProcessPending();
  EXPECT_FALSE(window.Help().IsOpen());
}

TEST_F(Win32Window, MovesTheFocusWithTabInTheLaidOutOrderAndTakesItsKeys) {
  SetForegroundWindow(window.Handle());
  SetFocus(window.Md5CheckBox());
  const auto press = [&](WPARAM key) {
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 0);
    window.ProcessPending();
  };
  for (HWND next : {window.NonViewEdit(), window.PaneBox(PaneId::ListBox1), window.PaneBox(PaneId::ListBox2),
                    window.PaneBox(PaneId::ListBox3), window.Md5CheckBox()}) {
    press(VK_TAB);
    EXPECT_EQ(GetFocus(), next);
  }
  // F1 is Help's key wherever the focus is in the window.
  press(VK_F1);
  EXPECT_TRUE(window.Help().IsOpen());
}

TEST_F(Win32Window, ClosingDuringARunStopsItAndThenCloses) {
  tree.Dir("a");
  tree.Dir("b");
  tree.File("a/one", "1");
  tree.File("b/two", "2");
  search.Hooks["\\b\\"] = [&] {
    PostMessageW(window.Handle(), WM_CLOSE, 0, 0);
    window.Skip(WorkSession::kPumpInterval);  // the next poll pumps
  };
  List(tree.Root());
  EXPECT_EQ(LinesOf(window.PaneLines(PaneId::ListBox1)).back(), Texts::kListingStopped);
  window.ProcessPending();
  EXPECT_EQ(window.Handle(), nullptr);
}

TEST_F(Win32Window, RereadsTheRegionalSettingsWhenTheSystemAnnouncesAChangeButNotInARun) {
  tree.Dir("a");
  tree.Dir("b");
  tree.File("a/one", "1");
  tree.File("b/two", "2");
  wchar_t kept[8];
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, kept, 8);
  const auto times = [&] {
    List(tree.Root());
    std::string separators;
    for (const std::string& line : LinesOf(window.PaneLines(PaneId::ListBox1))) {
      if (line.size() > 13 && line[2] == '.' && line[5] == '.') separators += line[13];
    }
    return separators;
  };
  // Announced in the middle of a run, the change waits for its end.
  search.Hooks["\\b\\"] = [&] {
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, L"-");
    SendMessageW(window.Handle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"));
  };
  const std::string during = times();
  const std::string after = times();
  SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, kept);
  EXPECT_EQ(during, std::string(2, static_cast<char>(kept[0])));
  EXPECT_EQ(after, "--");
}

TEST_F(Win32Window, OpensAMillionLineListingAndScrollsToItsEnd) {
  constexpr int kLines = 1000000;
  std::string text;
  text.reserve(kLines * 24);
  for (int i = 0; i < kLines; ++i) text += "line " + std::to_string(i) + " of the listing\r\n";
  files.File("big.qln", text);
  dialogs.OpenNames.push_back(files.Path("big.qln"));
  dialogs.Answers.push_back(ConfirmAnswer::Yes);  // it has no summary line, so Open asks
  Trigger(ActionId::FileOpenAction);
  EXPECT_EQ(dialogs.Questions, std::vector<std::string>{files.Path("big.qln") + Texts::kNotAListing});
  ASSERT_TRUE(dialogs.Errors.empty()) << dialogs.Errors.front();
  HWND box = window.PaneBox(PaneId::ListBox2);
  ASSERT_EQ(SendMessageW(box, LB_GETCOUNT, 0, 0), kLines);
  EXPECT_EQ(SendMessageW(box, LB_GETTOPINDEX, 0, 0), 0);
  SendMessageW(box, WM_VSCROLL, SB_BOTTOM, 0);
  UpdateWindow(box);
  RECT client{};
  GetClientRect(box, &client);
  const int rows = client.bottom / L::kPaneLineHeight;
  EXPECT_EQ(SendMessageW(box, LB_GETTOPINDEX, 0, 0), kLines - rows);
  // Selecting the last line shows it in the read-only line.
  SendMessageW(box, LB_SETSEL, TRUE, kLines - 1);
  SendMessageW(box, LB_SETCARETINDEX, kLines - 1, FALSE);
  SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(0, LBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
  wchar_t line[64];
  GetWindowTextW(window.NonViewEdit(), line, 64);
  EXPECT_EQ(std::wstring(line), L"line 999999 of the listing");
}

// The daily audit views: a.txt goes, b.txt grows, d.txt comes since the baseline.
class Win32WindowDaily : public Win32Window {
 protected:
  void CompareWithBaseline() {
    tree.Dir("t");
    tree.File("t/a.txt", "alpha");
    tree.File("t/b.txt", "beta");
    tree.File("t/c.txt", "gamma");
    List(tree.Path("t"));
    dialogs.SaveNames.push_back(Fresh("base.qln"));
    Trigger(ActionId::FileSaveAction);
    DeleteFileW(WideOf(tree.Path("t/a.txt")).c_str());
    tree.File("t/b.txt", "beta, longer");
    tree.File("t/d.txt", "delta");
    dialogs.OpenNames.push_back(files.Path("base.qln"));
    dialogs.Folders.push_back(tree.Path("t"));
    Trigger(ActionId::EditCompareFolderAction);
    ASSERT_EQ(window.PaneLines(PaneId::ListBox3).Count(), 3);
  }
  HWND Results() { return window.PaneBox(PaneId::ListBox3); }
  void Select(HWND box, std::initializer_list<int> rows) {
    SendMessageW(box, LB_SETSEL, FALSE, -1);
    for (const int row : rows) SendMessageW(box, LB_SETSEL, TRUE, row);
    SendMessageW(box, LB_SETCARETINDEX, static_cast<WPARAM>(*rows.begin()), FALSE);
    SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(0, LBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
  }
  static std::string TextOf(HWND control) {
    wchar_t text[512] = L"";
    GetWindowTextW(control, text, 512);
    return NarrowOf(text);
  }
};

TEST_F(Win32WindowDaily, FiltersTheResultsShowsTheOldLineAndSavesEverything) {
  CompareWithBaseline();
  HWND deleted = window.KindToggle(ChangeKind::Deleted);
  EXPECT_TRUE(IsWindowVisible(deleted));
  EXPECT_EQ(TextOf(deleted), "Deleted (1)");
  EXPECT_EQ(TextOf(window.KindToggle(ChangeKind::Moved)), "Moved (0)");
  SendMessageW(deleted, BM_CLICK, 0, 0);
  ASSERT_EQ(SendMessageW(Results(), LB_GETCOUNT, 0, 0), 2);
  Select(Results(), {0, 1});
  const std::vector<std::string_view> shown =
      window.Controller().Rows(PaneId::ListBox3).LinesAt(window.SelectedRows(PaneId::ListBox3));
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(std::string(shown[0].substr(0, 10)) + std::string(shown[1].substr(0, 7)), "Modified: Added: ");
  // The Modified line, the first shown, has its line of the baseline beside the toggles.
  Select(Results(), {0});
  EXPECT_EQ(TextOf(window.NonViewEdit()).substr(0, 10), "Modified: ");
  EXPECT_EQ(TextOf(window.OldLineView()).substr(0, 5), "Was: ");
  EXPECT_NE(TextOf(window.OldLineView()).find("b.txt"), std::string::npos);
  EXPECT_NE(window.OldLineTip().find("size"), std::string::npos) << window.OldLineTip();
  // Saved as CSV, the results are all there.
  dialogs.SaveNames = {Fresh("results.csv")};
  dialogs.ResultsFormats = {ResultsFormat::Csv};
  Trigger(ActionId::FileSaveResultAction);
  const std::vector<std::string> rows = SplitCrLf(files.Read("results.csv"));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].substr(0, 19), "change,path,size,da");
  EXPECT_EQ(rows[1].substr(0, 8), "deleted,");
  EXPECT_EQ(SystemDialogs::FormatOf(5), ResultsFormat::JsonLines);
  // A new listing takes the results, and the toggles with them.
  List(tree.Path("t"));
  EXPECT_FALSE(IsWindowVisible(deleted));
  EXPECT_EQ(TextOf(window.OldLineView()), "");
}

TEST_F(Win32WindowDaily, CopiesSelectedLinesAndOpensTheirFolderFromTheRightClickMenu) {
  CompareWithBaseline();
  Select(Results(), {2, 0});
  dialogs.MenuChoice = 0;
  SendMessageW(window.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Results()), MAKELPARAM(-1, -1));
  ASSERT_EQ(dialogs.Offered.size(), 3u);
  EXPECT_EQ(dialogs.Offered[1].caption + dialogs.Offered[2].caption, "Copy &Path&Open Containing Folder");
  const auto clipboard = [&] {
    std::wstring text;
    if (!OpenClipboard(window.Handle())) return std::string("(no clipboard)");
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      text = static_cast<const wchar_t*>(GlobalLock(data));
      GlobalUnlock(data);
    }
    CloseClipboard();
    return NarrowOf(text);
  };
  const ListPane& results = window.PaneLines(PaneId::ListBox3);
  EXPECT_EQ(clipboard(), std::string(results.LineAt(0)) + "\r\n" + std::string(results.LineAt(2)) + "\r\n");
  dialogs.MenuChoice = 1;
  SendMessageW(window.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Results()), MAKELPARAM(-1, -1));
  EXPECT_EQ(clipboard(), tree.Path("t/a.txt") + "\r\n" + tree.Path("t/d.txt") + "\r\n");
  dialogs.MenuChoice = 2;
  SendMessageW(window.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Results()), MAKELPARAM(-1, -1));
  EXPECT_EQ(dialogs.OpenedFolders, std::vector<std::string>{tree.Path("t") + "\\"});
}

TEST_F(Win32WindowDaily, FindsInThePaneWithTheFocusAndStepsWithF3AndEnter) {
  tree.Dir("t");
  for (int i = 0; i < 5; ++i) tree.File("t/file" + std::to_string(i), "x");
  List(tree.Path("t"));
  SetForegroundWindow(window.Handle());
  SetFocus(window.PaneBox(PaneId::ListBox1));
  Trigger(ActionId::EditFindAction);
  ASSERT_TRUE(IsWindowVisible(window.FindEdit()));
  EXPECT_EQ(GetFocus(), window.FindEdit());
  SetWindowTextW(window.FindEdit(), L"\\FILE");
  window.FinishFind();
  EXPECT_EQ(TextOf(window.FindCount()), "1 of 5");
  EXPECT_EQ(window.PaneLines(PaneId::ListBox1).LineAt(window.Controller().PaneSelectedIndex(PaneId::ListBox1)).find("file"),
            window.PaneLines(PaneId::ListBox1).LineAt(0).find("file"));
  const auto press = [&](WPARAM key) {
    PostMessageW(window.FindEdit(), WM_KEYDOWN, key, 0);
    window.ProcessPending();
  };
  press(VK_F3);
  EXPECT_EQ(TextOf(window.FindCount()), "2 of 5");
  press(VK_RETURN);
  EXPECT_EQ(TextOf(window.FindCount()), "3 of 5");
  Trigger(ActionId::EditFindPreviousAction);
  Trigger(ActionId::EditFindPreviousAction);
  Trigger(ActionId::EditFindPreviousAction);
  EXPECT_EQ(TextOf(window.FindCount()), "5 of 5");
  SetWindowTextW(window.FindEdit(), L"nowhere");
  window.FinishFind();
  EXPECT_EQ(TextOf(window.FindCount()), "not found");
  press(VK_ESCAPE);
  EXPECT_FALSE(IsWindowVisible(window.FindEdit()));
  EXPECT_EQ(GetFocus(), window.PaneBox(PaneId::ListBox1));
}

TEST_F(Win32WindowDaily, RemembersItsPlaceSplittersLastFolderAndMd5BoxBetweenSessions) {
  tree.Dir("t");
  tree.File("t/a.txt", "alpha");
  Tick(true);
  List(tree.Path("t"));
  SetWindowPos(window.Handle(), nullptr, 40, 30, 700, 500, SWP_NOZORDER);
  RECT before{}, pane{};
  GetWindowRect(window.Handle(), &before);
  GetWindowRect(window.PaneBox(PaneId::ListBox1), &pane);
  SendMessageW(window.Handle(), WM_CLOSE, 0, 0);
  ASSERT_EQ(window.Handle(), nullptr);
  WinMainWindow next(dialogs, search, {L"Software\\Quillon-Tests-" + std::to_wstring(GetCurrentProcessId()), false});
  RECT after{}, nextPane{};
  GetWindowRect(next.Handle(), &after);
  GetWindowRect(next.PaneBox(PaneId::ListBox1), &nextPane);
  EXPECT_EQ(std::vector<LONG>({after.left, after.top, after.right, after.bottom}),
            std::vector<LONG>({before.left, before.top, before.right, before.bottom}));
  EXPECT_EQ(nextPane.right - nextPane.left, pane.right - pane.left);
  EXPECT_EQ(SendMessageW(next.Md5CheckBox(), BM_GETCHECK, 0, 0), BST_CHECKED);
  // The folder browser opens at the folder listed last.
  SendMessageW(next.Handle(), WM_COMMAND, WinMainWindow::CommandOf(ActionId::EditListContentAction), 0);
  EXPECT_EQ(dialogs.Starts.back(), tree.Path("t"));
}

// The File menu's two signing items over the logic both windows share: the
// key is chosen once, Save signs, and Open tells the verdict in panel 4.
TEST_F(Win32Window, SignsSavedListingsAndTellsTheVerdictOfAnOpenedOneInPanel4) {
  SigningKey::Generate(files.Path("key"));
  SigningKey::Generate(files.Path("other"));
  const auto checked = [&] {
    return (GetMenuState(window.Menu(), WinMainWindow::CommandOf(ActionId::FileSignListingsAction), MF_BYCOMMAND) &
            MF_CHECKED) != 0;
  };
  // A file that holds no key is refused, and signing stays off.
  tree.File("a.txt", "alpha");
  dialogs.KeyNames = {tree.Path("a.txt")};
  Trigger(ActionId::FileSignListingsAction);
  EXPECT_FALSE(checked());
  ASSERT_EQ(dialogs.Errors.size(), 1u);
  dialogs.Errors.clear();
  dialogs.KeyNames = {files.Path("key")};
  Trigger(ActionId::FileSignListingsAction);
  EXPECT_TRUE(checked());
  List(tree.Root());
  const std::string listing = Fresh("l.qln");
  dialogs.SaveNames.push_back(listing);
  Trigger(ActionId::FileSaveAction);
  EXPECT_EQ(window.PanelText(4), "Signed: " + listing + ".sig");

  const auto open = [&] {
    dialogs.OpenNames.push_back(listing);
    Trigger(ActionId::FileOpenAction);
    return window.PanelText(4);
  };
  // Checked with the public half beside the private key, then with another key.
  EXPECT_EQ(open(), "Signature verified with " + files.Path("key.pub"));
  dialogs.KeyNames = {files.Path("other.pub")};
  Trigger(ActionId::FileVerifyKeyAction);
  EXPECT_EQ(open().rfind("SIGNATURE DOES NOT MATCH", 0), 0u);
  dialogs.KeyNames = {files.Path("key.pub")};
  Trigger(ActionId::FileVerifyKeyAction);
  const std::string saved = files.Read("l.qln");
  files.File("l.qln", saved.substr(0, saved.size() - 3) + "X\r\n");
  EXPECT_EQ(open().rfind("SIGNATURE DOES NOT MATCH", 0), 0u);
  files.File("l.qln", saved);
  DeleteFileW(WideOf(listing + ".sig").c_str());
  EXPECT_EQ(open(), "NOT SIGNED: " + listing + ".sig is missing");
  EXPECT_TRUE(dialogs.Errors.empty()) << dialogs.Errors.front();
}

// The help built into quillon.exe tells what this build does: every item it
// names is in the window's menus, with its key, and nothing of the Linux
// build's digest cache or file modes is left.
TEST(Win32Help, NamesOnlyMenuItemsTheWindowHasAndNothingOfLinux) {
  const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_HELP_HTML), MAKEINTRESOURCEW(10));  // RT_RCDATA
  ASSERT_NE(found, nullptr);
  const std::string html(static_cast<const char*>(LockResource(LoadResource(nullptr, found))), SizeofResource(nullptr, found));
  const HelpNames names = MenuItemsNamedByHelp(html);
  EXPECT_GT(names.named, 25);
  EXPECT_EQ(names.missing, std::vector<std::string>{});
  for (const char* linux : {"<!--", "XDG_CACHE_HOME", "~/.cache", "--digest-cache", "chmod", "chown", "/tmp", "/home/",
                            "DejaVu", "btrfs", "inode"})
    EXPECT_EQ(html.find(linux), std::string::npos) << linux;
}

TEST(Win32Dialogs, OfferTheThreeFileTypesAndShowTheHelpAsText) {
  const std::wstring filter = SystemDialogs::Filter();
  static constexpr wchar_t kExpected[] = L"Quillon Files (*.qln)\0*.qln\0Text File (*.txt)\0*.txt\0All Files (*.*)\0*.*\0";
  EXPECT_EQ(filter, std::wstring(kExpected, std::size(kExpected)));
  EXPECT_EQ(SystemDialogs::Filter(true), std::wstring(kExpected, std::size(kExpected) - 1) +
                                             std::wstring(L"CSV (*.csv)\0*.csv\0JSON Lines (*.jsonl)\0*.jsonl\0\0", 48));
  EXPECT_NE(WinHelpWindow::Text().find(L"Quillon Help"), std::wstring::npos);
}

}  // namespace
