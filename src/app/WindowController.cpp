#include "app/WindowController.h"

#include <utility>

#include "app/ActionTable.h"
#include "documents/ListingFile.h"
#include "engine/ExcludePatterns.h"
#include "platform/QuillonError.h"
#include "platform/SigningKey.h"
#include "platform/SystemPaths.h"
#include "surfaces/ErrorText.h"
#include "surfaces/Texts.h"

namespace {

using Flag = RememberedChoices::Flag;
using Text = RememberedChoices::Text;
using Handler = void (TMainWindow::*)(const void*);

constexpr std::pair<ActionId, Handler> kHandlers[] = {
    {ActionId::FileNewAction, &TMainWindow::FileNewActionExecute},
    {ActionId::FileOpenAction, &TMainWindow::FileOpenActionExecute},
    {ActionId::FileSaveAction, &TMainWindow::FileSaveActionExecute},
    {ActionId::FileSaveAsAction, &TMainWindow::FileSaveAsActionExecute},
    {ActionId::FileSaveResultAction, &TMainWindow::FileSaveResultActionExecute},
    {ActionId::FileExitAction, &TMainWindow::FileExitActionExecute},
    {ActionId::EditListContentAction, &TMainWindow::EditListContentActionExecute},
    {ActionId::EditCompareContentAction, &TMainWindow::EditCompareContentActionExecute},
    {ActionId::EditRepeatLastAction, &TMainWindow::EditRepeatLastActionExecute},
    {ActionId::EditCompareFolderAction, &TMainWindow::EditCompareFolderActionExecute},
    {ActionId::FileAcceptBaselineAction, &TMainWindow::FileAcceptBaselineActionExecute},
    {ActionId::HelpProgramAction, &TMainWindow::HelpProgramActionExecute},
    {ActionId::HelpAboutAction, &TMainWindow::HelpAboutActionExecute},
};
// The choices an action turns on and off; a listing choice holds from the
// start of a run to its end, the others may change any time.
struct ChoiceAction {
  ActionId id;
  Flag flag;
  bool listing;
};
constexpr ChoiceAction kChoices[] = {
    {ActionId::EditDetectMovesAction, Flag::DetectMoves, false},
    {ActionId::EditReuseDigestsAction, Flag::ReuseDigests, true},
    {ActionId::EditSha256Action, Flag::Sha256, true},
    {ActionId::EditAskBeforeDiscardAction, Flag::AskBeforeDiscard, false},
    {ActionId::EditMetadataAction, Flag::Metadata, true},
    {ActionId::FileSignListingsAction, Flag::Sign, false},
    {ActionId::ViewColourResultsAction, Flag::ColourResults, false},
    {ActionId::ViewSortByPathAction, Flag::SortResultsByPath, false},
    {ActionId::ViewSortByKindAction, Flag::SortResultsByKind, false},
};

bool IsListingChoice(Flag flag) {
  for (const ChoiceAction& choice : kChoices)
    if (choice.flag == flag) return choice.listing;
  return false;
}

constexpr Handler kClicks[] = {&TMainWindow::ListBox1Click, &TMainWindow::ListBox2Click,
                               &TMainWindow::ListBox3Click};

}  // namespace

WindowController::WindowController(WindowView& window, WindowPort& port, WindowDialogs& dialogs,
                                   const SettingsStore& store, FolderSearch& search, RegionalSettings settings)
    : window_(window),
      port_(port),
      dialogs_(dialogs),
      choices_(store),
      panels_(window, port),
      session_(window, port, panels_),
      find_(window, port, rows_) {
  for (const ActionInfo& info : kActionTable) enabled_[static_cast<std::size_t>(info.id)] = info.enabledAtStart;
  logic_ = std::make_unique<TMainWindow>(*this, search, std::move(settings));
  logic_->FormCreate(this);
  ApplyChoices();
  ShowChoices(true);
}

WindowController::~WindowController() = default;

void WindowController::Execute(ActionId action) {
  if (!Enabled(action)) return;
  // A choice kept between sessions is no command; signing on asks for its
  // key first, below.
  for (const ChoiceAction& choice : kChoices) {
    if (choice.id != action || choice.flag == Flag::Sign) continue;
    SetChoice(choice.flag, !choices_.Get(choice.flag));
    return;
  }
  switch (action) {
    // Stop acts while a command runs, so it cannot wait for its turn as the
    // other commands do: it only raises the request the work polls for.
    case ActionId::EditStopAction:
      session_.RequestStop();
      return;
    case ActionId::EditExcludePatternsAction:
      EditExcludePatterns();
      return;
    case ActionId::FileSignListingsAction:
      ChooseSigning(!choices_.Get(Flag::Sign));
      return;
    case ActionId::FileVerifyKeyAction:
      ChooseVerifyKey();
      return;
    // Finding only moves through a pane; it is no command of the logic.
    case ActionId::EditFindAction:
      if (!Working()) find_.Open();
      return;
    case ActionId::EditFindNextAction:
    case ActionId::EditFindPreviousAction:
      if (!Working()) find_.Step(action == ActionId::EditFindNextAction);
      return;
    // The standard edit actions work on the line that has the focus.
    case ActionId::EditCutAction:
    case ActionId::EditCopyAction:
    case ActionId::EditPasteAction:
      if (!Working()) port_.EditLine(action);
      return;
    default:
      break;
  }
  for (const auto& [id, handler] : kHandlers) {
    if (id == action) Run(handler);
  }
}

std::vector<std::string> WindowController::RecentItems() const {
  std::vector<std::string> items;
  for (std::string name : choices_.Recent()) {
    // "&" in a name is no access key.
    for (std::size_t at = name.find('&'); at != std::string::npos; at = name.find('&', at + 2)) name.insert(at, 1, '&');
    items.push_back("&" + std::to_string(items.size() + 1) + " " + name);
  }
  return items;
}

void WindowController::OpenRecent(std::size_t index) {
  const std::vector<std::string> names = choices_.Recent();
  if (index < names.size()) Run([this, name = names[index]] { logic_->OpenListingFile(name); });
}

void WindowController::PaneClicked(PaneId pane) { Run(kClicks[static_cast<int>(pane)]); }

void WindowController::Run(Handler handler) { Run([this, handler] { (logic_.get()->*handler)(this); }); }

void WindowController::Run(const std::function<void()>& command) {
  if (Working()) return;
  if (running_ == 0) panels_.Unreadable().Clear();
  ++running_;
  logic_->Dispatch(command);
  --running_;
  // A listing opened or saved is one of the recent ones.
  const MainWindowState& state = logic_->State();
  if (state.HasLoadedListing) choices_.NoteRecent(state.LoadedFileName);
  if (state.DocumentFileName != Texts::kUntitled && !state.DocumentFileName.empty())
    choices_.NoteRecent(state.DocumentFileName);
  port_.AnnouncePanes();
  if (running_ > 0) return;
  if (resultsChanged_) RecountResults();
  if (closeRequested_) {
    closeRequested_ = false;
    port_.CloseLater();
  }
}

void WindowController::UpdateEditActions(bool lineFocused, bool lineSelection, bool clipboardText) {
  const auto set = [this](ActionId id, bool enabled) {
    if (Enabled(id) != enabled) SetActionEnabled(id, enabled);
  };
  set(ActionId::EditCutAction, lineFocused && lineSelection);
  set(ActionId::EditCopyAction, lineFocused && lineSelection);
  set(ActionId::EditPasteAction, lineFocused && clipboardText);
}

bool WindowController::CloseAsked() {
  // A command that is running stops or finishes first; the window closes after it.
  if (running_ > 0) {
    session_.RequestStop();
    closeRequested_ = true;
    return false;
  }
  // Unsaved work is offered for saving first, when the user chose so.
  if (!destroyed_) {
    bool mayClose = false;
    logic_->Dispatch([this, &mayClose] { mayClose = logic_->MayDiscard(true, true); });
    if (!mayClose) return false;
    choices_.Set(Flag::Md5, window_.Md5Ticked());
  }
  Destroy();
  return true;
}

void WindowController::Destroy() {
  if (destroyed_) return;
  destroyed_ = true;
  logic_->FormDestroy(this);
}

// ---- The listing choices ----

void WindowController::SetChoice(RememberedChoices::Flag flag, bool on) {
  // The listing choices hold from the start of a run to its end.
  if (Working() && IsListingChoice(flag)) {
    ShowChoices(false);
    return;
  }
  choices_.Set(flag, on);
  // One order at a time.
  if (on && flag == Flag::SortResultsByPath) choices_.Set(Flag::SortResultsByKind, false);
  if (on && flag == Flag::SortResultsByKind) choices_.Set(Flag::SortResultsByPath, false);
  ApplyChoices();
  ShowChoices(!Working());
  if (flag == Flag::ColourResults) window_.PaneRepaint(PaneId::ListBox3);
  if (flag == Flag::SortResultsByPath || flag == Flag::SortResultsByKind) ApplyResultFilter();
}

void WindowController::EditExcludePatterns() {
  if (Working()) return;
  std::string text = choices_.Get(Text::ExcludePatterns);
  for (;;) {
    const std::optional<std::string> edited = dialogs_.EditExcludePatterns(text);
    if (!edited) return;
    text = *edited;
    try {
      // A malformed pattern is refused here, long before a listing.
      ExcludePatterns check(ExcludePatterns::FromLines(text));
    } catch (const QuillonError& error) {
      ShowErrorBox(error.what());
      continue;
    }
    choices_.Set(Text::ExcludePatterns, text);
    return;
  }
}

void WindowController::ChooseSigning(bool on) {
  std::string key = choices_.Get(Text::PrivateKey);
  if (on && (key.empty() || !SystemPaths::IsExistingFile(key)))
    key = dialogs_.ChooseKeyFile("Choose the private key that signs saved listings").value_or(std::string());
  if (on && !key.empty()) {
    // Refused now rather than at the next save.
    try {
      SigningKey::LoadPrivate(key);
    } catch (const QuillonError& error) {
      ShowErrorBox(ErrorText::ForErrorBox(error.what()));
      key.clear();
    }
  }
  on = on && !key.empty();
  choices_.Set(Flag::Sign, on);
  if (on) {
    choices_.Set(Text::PrivateKey, key);
    // Its public half beside it checks what it signs, unless another was chosen.
    const std::string publicKey = SigningKey::PublicFileOf(key);
    if (choices_.Get(Text::PublicKey).empty() && SystemPaths::IsExistingFile(publicKey))
      choices_.Set(Text::PublicKey, publicKey);
  }
  ApplyChoices();
  ShowChoices(!Working());
}

void WindowController::ChooseVerifyKey() {
  const auto chosen = dialogs_.ChooseKeyFile("Choose the public key that checks signatures");
  if (!chosen || chosen->empty()) return;
  try {
    SigningKey::LoadPublic(*chosen);
  } catch (const QuillonError& error) {
    ShowErrorBox(ErrorText::ForErrorBox(error.what()));
    return;
  }
  choices_.Set(Text::PublicKey, *chosen);
  ApplyChoices();
}

void WindowController::ApplyChoices() {
  logic_->SetDigestAlgorithm(choices_.Get(Flag::Sha256) ? DigestAlgorithm::Sha256 : DigestAlgorithm::Md5);
  logic_->SetMetadata(choices_.Get(Flag::Metadata));
  logic_->SetSigningKey(choices_.Get(Flag::Sign) ? choices_.Get(Text::PrivateKey) : std::string());
  logic_->SetVerifyKey(choices_.Get(Text::PublicKey));
  logic_->SetAskBeforeDiscard(choices_.Get(Flag::AskBeforeDiscard));
  filter_.SetOrder(choices_.Get(Flag::SortResultsByPath)   ? ResultFilter::Order::Path
                   : choices_.Get(Flag::SortResultsByKind) ? ResultFilter::Order::Kind
                                                           : ResultFilter::Order::Found);
  Rows(PaneId::ListBox3).ColourByKind(choices_.Get(Flag::ColourResults));
}

void WindowController::ShowChoices(bool enabled) {
  for (const ChoiceAction& choice : kChoices) {
    port_.SetActionChecked(choice.id, choices_.Get(choice.flag));
    if (choice.listing && Enabled(choice.id) != enabled) SetActionEnabled(choice.id, enabled);
  }
  if (Enabled(ActionId::EditExcludePatternsAction) != enabled) SetActionEnabled(ActionId::EditExcludePatternsAction, enabled);
}

// ---- Find ----

void WindowController::FindBarKey(bool escape, bool shift) {
  if (!escape) {
    Execute(shift ? ActionId::EditFindPreviousAction : ActionId::EditFindNextAction);
    return;
  }
  find_.Closed();
  port_.HideFindBar(find_.Pane());
}

// ---- The result kinds ----

void WindowController::ShowKind(ChangeKind kind, bool shown) {
  filter_.Show(kind, shown);
  ApplyResultFilter();
}

void WindowController::ShowResultText(std::string_view text) {
  filter_.SetText(text);
  ApplyResultFilter();
}

void WindowController::RecountResults() {
  resultsChanged_ = false;
  filter_.Count(Rows(PaneId::ListBox3).Lines().Lines().Lines());
  bool any = false;
  for (const ChangeKind kind : ResultFilter::kKinds) any = any || filter_.CountOf(kind) > 0;
  port_.ShowResultKinds(filter_, any);
  ApplyResultFilter();
}

void WindowController::ApplyResultFilter() {
  PaneRows& results = Rows(PaneId::ListBox3);
  const std::vector<int> rows = filter_.ShowsAll() ? std::vector<int>() : filter_.VisibleRows(results.Lines().Lines().Lines());
  if (results.Show(filter_.ShowsAll() ? nullptr : &rows)) window_.PaneReset(PaneId::ListBox3);
}

// ---- Surfaces ----

void WindowController::PaneClear(PaneId pane) {
  find_.Forget(pane);
  Rows(pane).Clear();
  window_.PaneReset(pane);
  // The counts of results that are gone go with them at once, not when the
  // run that follows is over.
  if (pane == PaneId::ListBox3) RecountResults();
}

void WindowController::PaneAddLine(PaneId pane, std::string_view line) {
  if (pane == PaneId::ListBox3) resultsChanged_ = true;
  Rows(pane).Lines().AddLine(line);
}

void WindowController::PaneLoadFromFile(PaneId pane, const std::string& fileName) {
  find_.Forget(pane);
  if (pane == PaneId::ListBox3) resultsChanged_ = true;
  // The pane shows the file once, when all lines are in, also when reading
  // fails; another file starts at its first line, whatever was scrolled to.
  struct Show {
    WindowView& window;
    PaneId pane;
    ~Show() {
      window.PaneReset(pane);
      window.PaneShowFromTop(pane);
    }
  } show{window_, pane};
  Rows(pane).Load(fileName);
}

void WindowController::PaneSetScrollExtent(PaneId pane, int pixels) {
  if (Rows(pane).Lines().ScrollExtent() == pixels) return;
  Rows(pane).Lines().SetScrollExtent(pixels);
  window_.PaneSetScrollExtent(pane, pixels);
}

std::optional<PaneMenu> WindowController::MenuOfPane(PaneId pane) {
  if (Working()) return std::nullopt;
  const std::vector<std::string_view> lines = Rows(pane).LinesAt(window_.SelectedRows(pane));
  if (lines.empty()) return std::nullopt;
  // Of many selected lines, the one the commands take.
  const int current = PaneSelectedIndex(pane);
  return PaneMenu(lines, Rows(pane).Lines().LineAt(current < 0 ? 0 : current));
}

void WindowController::ShowFolder(const std::string& folder) {
  if (!dialogs_.OpenFolder(folder))
    dialogs_.ShowError("The folder " + folder + " cannot be shown: no file manager is set up to open folders.");
}

void WindowController::PaneSaveToFile(PaneId pane, const std::string& fileName) {
  WriteListingFile(Rows(pane).Lines().Lines().Lines(), fileName);
}

void WindowController::StatusRefresh() {
  if (session_.StatusPaintDue()) window_.StatusRefresh();
}

bool WindowController::Md5Ticked() {
  // A run reads it for every file; during work a click on the box is
  // dropped, so the state it had at the start holds.
  if (!Working()) md5Ticked_ = window_.Md5Ticked();
  return md5Ticked_;
}

void WindowController::SetActionEnabled(ActionId action, bool enabled) {
  enabled_[static_cast<std::size_t>(action)] = enabled;
  if (!Working() || !HeldDuringWork(action)) window_.SetActionEnabled(action, enabled);
  if (action != ActionId::EditStopAction || enabled == Working()) return;
  // While Stop is enabled a run or a comparison is under way.
  if (enabled) {
    md5Ticked_ = window_.Md5Ticked();
    session_.Begin();
  } else {
    session_.End();
  }
  // A command clicked during the work would be dropped without a word: it
  // looks greyed until the work is over, and then as the commands left it.
  for (const auto& [id, handler] : kHandlers) window_.SetActionEnabled(id, !enabled && Enabled(id));
  ShowChoices(!enabled);
}

bool WindowController::HeldDuringWork(ActionId action) {
  for (const auto& [id, handler] : kHandlers)
    if (id == action) return true;
  return false;
}

void WindowController::ReportUnreadable(UnreadableKind, std::string_view path, std::string_view) {
  // Shown when the run ends; the window does not stop the run for each one.
  panels_.Unreadable().Add(path);
}

std::vector<std::string> WindowController::ExcludePatternList() {
  return ExcludePatterns::FromLines(choices_.Get(Text::ExcludePatterns));
}

void WindowController::ShowWarning(std::string_view text) {
  // Each warning once a session: the next run would only repeat it.
  if (!warned_.emplace(text).second) return;
  dialogs_.ShowWarning(text);
}

std::optional<std::string> WindowController::RunFolderBrowser(std::string_view title) {
  return RunFolderBrowserAt(title, std::string());
}

std::optional<std::string> WindowController::RunFolderBrowserAt(std::string_view title, const std::string& start) {
  // Without a suggestion, the folder listed last, in this session or before.
  auto chosen = dialogs_.BrowseForFolder(title, start.empty() ? choices_.Get(Text::LastFolder) : start);
  if (chosen && !chosen->empty()) choices_.Set(Text::LastFolder, *chosen);
  return chosen;
}

void WindowController::ShowErrorBox(std::string_view message) {
  port_.AnnouncePanes();
  dialogs_.ShowError(message);
}

void WindowController::CloseWindow() {
  if (running_ > 0) {
    closeRequested_ = true;
  } else {
    window_.CloseWindow();
  }
}
