#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "FakeFolderSearch.h"
#include "RecordingSurfaces.h"
#include "app/PaneSplit.h"
#include "app/WindowLayout.h"
#include "app/WindowController.h"

namespace {

using namespace std::chrono_literals;
using Input = WorkSession::Input;
using Flag = RememberedChoices::Flag;

class MapStore : public SettingsStore {
 public:
  std::string ReadText(std::string_view key) const override {
    const auto at = values.find(std::string(key));
    return at == values.end() ? std::string() : at->second;
  }
  void WriteText(std::string_view key, std::string_view value) const override { values[std::string(key)] = value; }
  mutable std::map<std::string, std::string> values;
};

// A window without a window: a clock the test moves, and counts of what the
// controller asked of it.
class FakePort : public WindowPort {
 public:
  explicit FakePort(RecordingSurfaces& surfaces) : surfaces_(surfaces) {}
  Clock::time_point Now() override { return now; }
  void ProcessInput() override {
    ++inputs;
    if (onInput) onInput();
  }
  void AnnouncePanes() override {
    ++announced;
    now += announceCost;
  }
  void WorkChanged(bool) override {}
  void CloseLater() override { ++closes; }
  void SetPanelTip(int panel, const std::string& tip) override { tips[static_cast<std::size_t>(panel)] = tip; }
  bool PanelFits(int, std::string_view text) override { return text.size() <= 20; }
  int PanelTextWidth(int, std::string_view text) override { return 6 * static_cast<int>(text.size()); }
  void SetPanelWidth(int panel, int width) override { widths[static_cast<std::size_t>(panel)] = width; }
  void EditLine(ActionId action) override { edits.push_back(action); }
  void SetActionChecked(ActionId action, bool on) override { checked[action] = on; }
  void GoToRow(PaneId pane, int row) override { surfaces_.Pane(pane).SetSelectedIndex(row); }
  void ShowFindBar(PaneId, bool) override {}
  void HideFindBar(PaneId) override {}
  std::string FindText() override { return findText; }
  void ShowFindCount(std::string_view text) override { findCount = text; }
  void PollFind(bool) override {}
  void ShowResultKinds(const ResultFilter& filter, bool any) override {
    kindsShown = any ? filter.Caption(ChangeKind::Deleted) : "";
  }

  Clock::time_point now{};
  Clock::duration announceCost{};
  int inputs = 0, announced = 0, closes = 0;
  std::array<std::string, 5> tips;
  std::array<int, 4> widths{};
  std::vector<ActionId> edits;
  std::map<ActionId, bool> checked;
  std::string findText, findCount, kindsShown;
  std::function<void()> onInput;

 private:
  RecordingSurfaces& surfaces_;
};

class WindowControllerTest : public ::testing::Test {
 protected:
  WindowControllerTest() : port(surfaces), controller(surfaces, port, surfaces, store, search, RegionalSettings{}) {}
  void BeginWork() { controller.SetActionEnabled(ActionId::EditStopAction, true); }
  void EndWork() { controller.SetActionEnabled(ActionId::EditStopAction, false); }
  void SetLines(PaneId pane, const std::vector<std::string>& lines) {
    controller.PaneClear(pane);
    for (const auto& line : lines) controller.PaneAddLine(pane, line);
    controller.Rows(pane).Announce();  // as the window shows them
  }

  RecordingSurfaces surfaces;
  FakePort port;
  MapStore store;
  FakeFolderSearch search;
  WindowController controller;
};

TEST_F(WindowControllerTest, PumpsAtItsCadenceShowsFiguresTenTimesASecondAndPacesRepaintsByTheirCost) {
  BeginWork();
  surfaces.StatusSetPanelText(0, "before");  // what the figures stand in for
  controller.StatusSetPanelText(0, "kept");
  RunProgress progress;
  progress.files = 7;
  controller.ShowRunProgress(progress);
  EXPECT_FALSE(controller.StopRequested());
  EXPECT_EQ(port.inputs, 0);  // no pump before 20 ms
  port.now += 20ms;
  controller.StopRequested();
  EXPECT_EQ(port.inputs, 1);
  EXPECT_EQ(surfaces.Panels[0], "kept");  // figures wait for 100 ms
  port.now += 80ms;
  port.announceCost = 10ms;  // a costly repaint: the next waits 20 times as long
  controller.StopRequested();
  EXPECT_NE(surfaces.Panels[0].find('7'), std::string::npos) << surfaces.Panels[0];
  EXPECT_EQ(port.announced, 1);
  port.now += 150ms;
  controller.RefreshWindow();
  EXPECT_EQ(port.announced, 1);  // 200 ms after the last paint, not 100
  port.now += 50ms;
  controller.RefreshWindow();
  EXPECT_EQ(port.announced, 2);
  EndWork();
  EXPECT_EQ(surfaces.Panels[0], "kept");  // the command's text comes back
  EXPECT_FALSE(controller.StopRequested());
}

TEST_F(WindowControllerTest, GreysTheCommandsWhileWorkRunsAndShowsItsEndBeforeTheLastInput) {
  controller.SetActionEnabled(ActionId::EditCompareContentAction, true);
  BeginWork();
  // A click on them would be dropped without a word.
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::EditCompareContentAction));
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::FileNewAction));
  EXPECT_TRUE(surfaces.IsEnabled(ActionId::EditStopAction));
  controller.SetActionEnabled(ActionId::FileSaveAction, true);  // the work's own change waits too
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::FileSaveAction));
  EXPECT_TRUE(controller.Enabled(ActionId::FileSaveAction));
  controller.SetCaption("Quillon ~ Please Wait!");
  controller.SetCaption("Quillon");
  std::string captionAtLastInput;
  port.onInput = [&] { captionAtLastInput = surfaces.Caption; };
  EndWork();
  EXPECT_EQ(captionAtLastInput, "Quillon");
  EXPECT_TRUE(surfaces.IsEnabled(ActionId::EditCompareContentAction));
  EXPECT_TRUE(surfaces.IsEnabled(ActionId::FileSaveAction));
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::FileAcceptBaselineAction));  // as the commands left it
}

TEST_F(WindowControllerTest, DropsActingInputDuringWorkAndStopsOnEscape) {
  EXPECT_FALSE(controller.DropsDuringWork(Input::Acting));  // no work, nothing dropped
  BeginWork();
  EXPECT_TRUE(controller.DropsDuringWork(Input::Acting));
  EXPECT_FALSE(controller.DropsDuringWork(Input::Looking));
  EXPECT_FALSE(controller.StopRequested());
  EXPECT_TRUE(controller.DropsDuringWork(Input::Escape));
  EXPECT_TRUE(controller.StopRequested());
  // Commands asked for during work are dropped, not queued.
  surfaces.ClearLog();
  controller.Execute(ActionId::EditListContentAction);
  EXPECT_TRUE(surfaces.Ops({"RunFolderBrowser"}).empty());
  EndWork();
  EXPECT_FALSE(controller.StopRequested());
}

TEST_F(WindowControllerTest, WidensAPanelForALongerTextAndNarrowsItAgain) {
  controller.StatusSetPanelText(0, "Files = 1,234,567 (partial)");
  EXPECT_EQ(port.widths[0], 6 * 27 + 8);
  controller.StatusSetPanelText(0, "Files = 1");
  EXPECT_EQ(port.widths[0], WindowLayout::kPanelWidths[0]);
}

TEST_F(WindowControllerTest, ShowsEachWarningOnceASession) {
  controller.ShowWarning("cache cannot be used");
  controller.ShowWarning("cache cannot be used");
  controller.ShowWarning("another");
  EXPECT_EQ(surfaces.Warnings, (std::vector<std::string>{"cache cannot be used", "another"}));
}

TEST_F(WindowControllerTest, EnablesTheEditActionsByFocusSelectionAndClipboardAndHoldsTheChoicesDuringWork) {
  controller.UpdateEditActions(true, false, true);
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::EditCopyAction));
  EXPECT_TRUE(surfaces.IsEnabled(ActionId::EditPasteAction));
  controller.UpdateEditActions(true, true, false);
  EXPECT_TRUE(surfaces.IsEnabled(ActionId::EditCutAction) && surfaces.IsEnabled(ActionId::EditCopyAction));
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::EditPasteAction));
  controller.Execute(ActionId::EditCopyAction);
  controller.UpdateEditActions(false, true, true);  // the focus left the line
  controller.Execute(ActionId::EditCopyAction);     // disabled: nothing happens
  EXPECT_EQ(port.edits, std::vector<ActionId>{ActionId::EditCopyAction});

  EXPECT_TRUE(controller.Enabled(ActionId::EditReuseDigestsAction));
  BeginWork();
  for (const ActionId id :
       {ActionId::EditReuseDigestsAction, ActionId::EditExcludePatternsAction, ActionId::EditSha256Action})
    EXPECT_FALSE(surfaces.IsEnabled(id)) << NameOf(id);
  controller.Execute(ActionId::EditReuseDigestsAction);  // held until the run ends
  controller.Execute(ActionId::EditDetectMovesAction);   // read by the next comparison only
  EXPECT_FALSE(controller.ReuseDigestsChecked());
  EXPECT_TRUE(controller.DetectMovesChecked());
  EXPECT_TRUE(port.checked[ActionId::EditDetectMovesAction]);
  EndWork();
  EXPECT_TRUE(surfaces.IsEnabled(ActionId::EditSha256Action));
  controller.Execute(ActionId::EditReuseDigestsAction);
  EXPECT_TRUE(controller.ReuseDigestsChecked());
  EXPECT_TRUE(port.checked[ActionId::EditReuseDigestsAction]);
  EXPECT_EQ(store.ReadBool("Listing/ReuseDigests", false), true);
}

TEST_F(WindowControllerTest, FindsInTheFocusedPaneGoesToTheFirstHitAndStepsOverHiddenLines) {
  SetLines(PaneId::ListBox3, {"Modified: a x", "Deleted: b", "Deleted: c x", "Added: d x"});
  controller.PaneFocused(PaneId::ListBox3);
  port.findText = "x";
  controller.Execute(ActionId::EditFindAction);
  controller.FinishFind();
  EXPECT_EQ(controller.PaneSelectedIndex(PaneId::ListBox3), 0);
  EXPECT_EQ(port.findCount, "1 of 3");
  controller.ShowKind(ChangeKind::Deleted, false);
  controller.Execute(ActionId::EditFindNextAction);
  EXPECT_EQ(controller.PaneSelectedIndex(PaneId::ListBox3), 3);  // lines 1 and 2 are hidden
  EXPECT_EQ(surfaces.Pane(PaneId::ListBox3).SelectedIndex(), 1);  // the row that shows it
  EXPECT_EQ(port.findCount, "2 of 2");  // the hidden hit is not counted
  controller.Execute(ActionId::EditFindPreviousAction);
  EXPECT_EQ(controller.PaneSelectedIndex(PaneId::ListBox3), 0);
  // The lines go, and the hits with them.
  controller.PaneClear(PaneId::ListBox3);
  EXPECT_EQ(port.findCount, "");
  controller.Execute(ActionId::EditFindNextAction);
  EXPECT_EQ(controller.PaneSelectedIndex(PaneId::ListBox3), -1);
}

TEST_F(WindowControllerTest, CountsTheResultKindsAfterACommandThatChangedThemAndClosesAfterTheCommand) {
  controller.PaneAddLine(PaneId::ListBox3, "Deleted: b");
  controller.PaneAddLine(PaneId::ListBox3, "Deleted: c");
  EXPECT_EQ(port.kindsShown, "");  // counted when the command is over
  controller.Execute(ActionId::HelpAboutAction);
  EXPECT_EQ(port.kindsShown, "Deleted (2)");
  // Exit asks for the close from within the command: it comes after it.
  controller.Execute(ActionId::FileExitAction);
  EXPECT_TRUE(surfaces.Ops({"CloseWindow"}).empty());
  EXPECT_EQ(port.closes, 1);
}

TEST_F(WindowControllerTest, OffersAPaneMenuOverTheSelectedLinesButNotDuringWork) {
  SetLines(PaneId::ListBox2, {"/top/", "2020-01-01 00:00:00 10 A /top/a.txt"});
  EXPECT_FALSE(controller.MenuOfPane(PaneId::ListBox2));  // nothing selected
  surfaces.Pane(PaneId::ListBox2).SetSelectedIndex(1);
  const std::optional<PaneMenu> menu = controller.MenuOfPane(PaneId::ListBox2);
  ASSERT_TRUE(menu);
  EXPECT_EQ(menu->Items().size(), 3u);
  EXPECT_EQ(menu->Choose(0).clipboard, "2020-01-01 00:00:00 10 A /top/a.txt\n");
  BeginWork();
  EXPECT_FALSE(controller.MenuOfPane(PaneId::ListBox2));
  EndWork();
}

TEST_F(WindowControllerTest, ShowsALoadedPaneFromItsTopAlsoWhenReadingFails) {
  const std::string missing = ::testing::TempDir() + "no-such-listing.txt";
  controller.PaneAddLine(PaneId::ListBox2, "old");
  surfaces.ClearLog();
  EXPECT_ANY_THROW(controller.PaneLoadFromFile(PaneId::ListBox2, missing));
  EXPECT_EQ(surfaces.Ops({"PaneReset", "PaneShowFromTop"}),
            (std::vector<std::string>{"PaneReset(ListBox2)", "PaneShowFromTop(ListBox2)"}));
}

TEST_F(WindowControllerTest, RemembersTheChoicesTheLastFolderAndTheMd5Box) {
  store.values = {{"Listing/Md5", "1"}, {"Listing/ExcludePatterns", "*.tmp\n"}, {"Listing/LastFolder", "/old"}};
  RecordingSurfaces other;
  FakePort otherPort(other);
  WindowController again(other, otherPort, other, store, search, RegionalSettings{});
  EXPECT_TRUE(again.Choices().Get(Flag::Md5));
  EXPECT_EQ(again.ExcludePatternList(), std::vector<std::string>{"*.tmp"});
  other.FolderAnswers = {"/new"};
  again.RunFolderBrowser("Browse");
  EXPECT_EQ(other.FolderStarts, std::vector<std::string>{"/old"});
  EXPECT_EQ(store.values["Listing/LastFolder"], "/new");
  other.Md5 = [] { return false; };
  EXPECT_TRUE(again.CloseAsked());
  EXPECT_EQ(store.values["Listing/Md5"], "0");
}

TEST(PaneSplit, KeepsThePanesSharesAsTheWindowGrowsAndAcrossSessions) {
  namespace L = WindowLayout;
  PaneSplit split;
  const PaneSplit::Boxes laidOut = split.Place(L::kClientWidth, L::kClientHeight, 20);
  EXPECT_EQ(laidOut.listBox1.width, L::kListBox1Width);
  EXPECT_EQ(laidOut.listBox3.height + laidOut.resultsBar.height, L::kListBox3Height);
  EXPECT_EQ(laidOut.resultsBar.top, laidOut.listBox1.top + laidOut.listBox1.height + L::kSplitterSize);
  EXPECT_EQ(split.At(L::kListBox1Width + 1, 100, L::kClientWidth, L::kClientHeight), PaneSplit::Splitter::Beside);
  EXPECT_EQ(split.At(10, laidOut.resultsBar.top - 1, L::kClientWidth, L::kClientHeight), PaneSplit::Splitter::Above);
  EXPECT_EQ(split.At(10, 100, L::kClientWidth, L::kClientHeight), PaneSplit::Splitter::None);
  // Dragged to the middle, ListBox1 keeps half of a window twice as wide;
  // dragged past the edge, every pane keeps a pixel.
  split.Drag(PaneSplit::Splitter::Beside, (L::kClientWidth - L::kSplitterSize) / 2, 0, L::kClientWidth, L::kClientHeight);
  EXPECT_NEAR(split.Place(2 * L::kClientWidth, L::kClientHeight, 0).listBox1.width, L::kClientWidth, 2);
  split.Drag(PaneSplit::Splitter::Above, 0, -500, L::kClientWidth, L::kClientHeight);
  EXPECT_GE(split.Place(L::kClientWidth, L::kClientHeight, 0).listBox1.height, 1);
  MapStore store;
  split.Write(store);
  PaneSplit next;
  next.Read(store);
  EXPECT_NEAR(next.Place(2 * L::kClientWidth, L::kClientHeight, 0).listBox1.width, L::kClientWidth, 2);
  // At 144 pixels per inch everything is half as large again.
  PaneSplit scaled;
  scaled.SetDpi(144);
  EXPECT_NEAR(scaled.Place(L::kClientWidth * 3 / 2, L::kClientHeight * 3 / 2, 0).listBox1.width,
              L::kListBox1Width * 3 / 2, 2);
}

}  // namespace

TEST(WorkSessionSort, SortsInputAsBothWindowsDescribeIt) {
  using Event = WorkSession::Event;
  using Kind = Event::Kind;
  using Target = Event::Target;
  EXPECT_EQ(WorkSession::Sort({Kind::KeyDown, true, Target::Control}), Input::Escape);
  EXPECT_EQ(WorkSession::Sort({Kind::KeyDown, true, Target::Frame}), Input::Escape);
  EXPECT_EQ(WorkSession::Sort({Kind::KeyDown, false, Target::Control}), Input::Acting);
  EXPECT_EQ(WorkSession::Sort({Kind::KeyUp, false, Target::Control}), Input::Acting);
  EXPECT_EQ(WorkSession::Sort({Kind::Char, false, Target::Control}), Input::Acting);
  EXPECT_EQ(WorkSession::Sort({Kind::MouseButton, false, Target::Control}), Input::Acting);
  EXPECT_EQ(WorkSession::Sort({Kind::MouseButton, false, Target::Frame}), Input::Looking);
  EXPECT_EQ(WorkSession::Sort({Kind::MouseButton, false, Target::StopButton}), Input::Looking);
  EXPECT_EQ(WorkSession::Sort({Kind::Command, false, Target::Control}), Input::Acting);
  EXPECT_EQ(WorkSession::Sort({Kind::Command, false, Target::StopButton}), Input::Looking);
  EXPECT_EQ(WorkSession::Sort({Kind::Other, false, Target::Control}), Input::Looking);
  // Another window, an open menu among them, answers as usual; Escape there stops nothing.
  EXPECT_EQ(WorkSession::Sort({Kind::KeyDown, true, Target::OtherWindow}), Input::Looking);
  EXPECT_EQ(WorkSession::Sort({Kind::MouseButton, false, Target::OtherWindow}), Input::Looking);
}
