#include "RecordingSurfaces.h"

#include "documents/ListingFile.h"

std::string NameOf(PaneId pane) {
  static const char* kNames[] = {"ListBox1", "ListBox2", "ListBox3"};
  return kNames[static_cast<int>(pane)];
}

namespace {
std::string Call(const std::string& op, const std::string& args = "") { return op + "(" + args + ")"; }

std::optional<std::string> Next(std::deque<std::optional<std::string>>& answers) {
  if (answers.empty()) return std::nullopt;
  auto answer = answers.front();
  answers.pop_front();
  return answer;
}
}  // namespace

RecordingSurfaces::RecordingSurfaces() = default;

std::vector<std::string> RecordingSurfaces::Ops(const std::vector<std::string>& prefixes) const {
  if (prefixes.empty()) return log_;
  std::vector<std::string> kept;
  for (const auto& op : log_)
    for (const auto& prefix : prefixes)
      if (op.rfind(prefix, 0) == 0) {
        kept.push_back(op);
        break;
      }
  return kept;
}

std::vector<std::string> RecordingSurfaces::Lines(PaneId pane) {
  std::vector<std::string> lines;
  for (auto line : Pane(pane).Lines().Lines()) lines.emplace_back(line);
  return lines;
}

void RecordingSurfaces::SetPaneLines(PaneId pane, const std::vector<std::string>& lines) {
  Pane(pane).Clear();
  for (const auto& line : lines) Pane(pane).AddLine(line);
}

void RecordingSurfaces::PaneClear(PaneId pane) {
  Record(Call("PaneClear", NameOf(pane)));
  Pane(pane).Clear();
}
void RecordingSurfaces::PaneAddLine(PaneId pane, std::string_view line) {
  Record(Call("PaneAddLine", NameOf(pane) + ", " + std::string(line)));
  Pane(pane).AddLine(line);
}
int RecordingSurfaces::PaneLineCount(PaneId pane) {
  Record(Call("PaneLineCount", NameOf(pane)));
  return Pane(pane).Count();
}
std::string_view RecordingSurfaces::PaneLineAt(PaneId pane, int index) {
  Record(Call("PaneLineAt", NameOf(pane) + ", " + std::to_string(index)));
  return Pane(pane).LineAt(index);
}
void RecordingSurfaces::PaneReset(PaneId pane) { Record(Call("PaneReset", NameOf(pane))); }
void RecordingSurfaces::PaneRepaint(PaneId pane) { Record(Call("PaneRepaint", NameOf(pane))); }
std::vector<int> RecordingSurfaces::SelectedRows(PaneId pane) const {
  const int row = CurrentRow(pane);
  return row < 0 ? std::vector<int>() : std::vector<int>{row};
}
int RecordingSurfaces::PaneSelectedIndex(PaneId pane) {
  Record(Call("PaneSelectedIndex", NameOf(pane)));
  return Pane(pane).SelectedIndex();
}
void RecordingSurfaces::PaneSetScrollExtent(PaneId pane, int pixels) {
  Record(Call("PaneSetScrollExtent", NameOf(pane) + ", " + std::to_string(pixels)));
  Pane(pane).SetScrollExtent(pixels);
}
int RecordingSurfaces::PaneFontSize(PaneId pane) {
  Record(Call("PaneFontSize", NameOf(pane)));
  return Pane(pane).FontSize();
}
int RecordingSurfaces::PanePixelsPerInch(PaneId pane) {
  Record(Call("PanePixelsPerInch", NameOf(pane)));
  return Pane(pane).PixelsPerInch();
}
void RecordingSurfaces::PaneLoadFromFile(PaneId pane, const std::string& fileName) {
  Record(Call("PaneLoadFromFile", NameOf(pane) + ", " + fileName));
  ReadListingFile(fileName, Pane(pane));
}
void RecordingSurfaces::PaneShowFromTop(PaneId pane) { Record(Call("PaneShowFromTop", NameOf(pane))); }
void RecordingSurfaces::PaneSaveToFile(PaneId pane, const std::string& fileName) {
  Record(Call("PaneSaveToFile", NameOf(pane) + ", " + fileName));
  WriteListingFile(Pane(pane).Lines().Lines(), fileName);
}
void RecordingSurfaces::StatusSetPanelText(int panel, std::string_view text) {
  Record(Call("StatusSetPanelText", std::to_string(panel) + ", " + std::string(text)));
  Panels.at(static_cast<std::size_t>(panel)) = text;
}
void RecordingSurfaces::StatusRefresh() { Record(Call("StatusRefresh")); }
void RecordingSurfaces::SetCaption(std::string_view text) {
  Record(Call("SetCaption", std::string(text)));
  Caption = text;
}
void RecordingSurfaces::RefreshWindow() { Record(Call("RefreshWindow")); }
void RecordingSurfaces::SetLabelText(LabelId label, std::string_view text) {
  Record(Call("SetLabelText", std::string(label == LabelId::Label1 ? "Label1, " : "Label2, ") + std::string(text)));
  (label == LabelId::Label1 ? Label1 : Label2) = text;
}
void RecordingSurfaces::EditSetText(std::string_view text) {
  Record(Call("EditSetText", std::string(text)));
  EditText = text;
}
void RecordingSurfaces::EditFocus() { Record(Call("EditFocus")); }
void RecordingSurfaces::EditSelectAll() { Record(Call("EditSelectAll")); }
bool RecordingSurfaces::DetectMovesChecked() {
  Record(Call("DetectMovesChecked"));
  return DetectMoves;
}
bool RecordingSurfaces::Md5Ticked() {
  Record(Call("Md5Ticked"));
  return Md5();
}
void RecordingSurfaces::SetActionEnabled(ActionId action, bool enabled) {
  Record(Call("SetActionEnabled", std::string(::NameOf(action)) + (enabled ? ", true" : ", false")));
  Enabled[static_cast<int>(action)] = enabled;
}
void RecordingSurfaces::SetBusyCursor() {
  Record(Call("SetBusyCursor"));
  Busy = true;
}
void RecordingSurfaces::SetNormalCursor() {
  Record(Call("SetNormalCursor"));
  Busy = false;
}
bool RecordingSurfaces::StopRequested() {
  ++StopPolls;
  return Stop();
}
void RecordingSurfaces::ShowRunProgress(const RunProgress& progress) {
  Progress = progress;
  ++ProgressShown;
}
ConfirmAnswer RecordingSurfaces::AskConfirmation(std::string_view question) {
  Record(Call("AskConfirmation", std::string(question)));
  Questions.emplace_back(question);
  if (ConfirmAnswers.empty()) return ConfirmAnswer::Cancel;
  const ConfirmAnswer answer = ConfirmAnswers.front();
  ConfirmAnswers.pop_front();
  return answer;
}
std::optional<std::string> RecordingSurfaces::RunOpenDialog() {
  Record(Call("RunOpenDialog"));
  return Next(OpenAnswers);
}
std::optional<std::string> RecordingSurfaces::RunSaveDialog() {
  Record(Call("RunSaveDialog"));
  return Next(SaveAnswers);
}
std::optional<std::string> RecordingSurfaces::RunFolderBrowser(std::string_view title) {
  Record(Call("RunFolderBrowser", std::string(title)));
  return Next(FolderAnswers);
}
void RecordingSurfaces::ReportUnreadable(UnreadableKind kind, std::string_view path, std::string_view reason) {
  const std::string item =
      std::string(kind == UnreadableKind::Folder ? "folder " : "file ") + std::string(path) + ": " + std::string(reason);
  Record(Call("ReportUnreadable", item));
  Unreadable.push_back(item);
}
void RecordingSurfaces::ShowOldLine(std::string_view line, const std::vector<MarkedField>& changed) {
  OldLine.clear();
  std::size_t at = 0;
  for (const MarkedField& field : changed) {
    OldLine.append(line.substr(at, field.offset - at)).append("[").append(field.name).append(":");
    OldLine.append(line.substr(field.offset, field.length)).append("]");
    at = field.offset + field.length;
  }
  OldLine.append(line.substr(std::min(at, line.size())));
}

void RecordingSurfaces::ShowErrorBox(std::string_view message) {
  Record(Call("ShowErrorBox", std::string(message)));
  Errors.emplace_back(message);
}
void RecordingSurfaces::ShowAboutBox() { Record(Call("ShowAboutBox")); }
void RecordingSurfaces::ShowHelpContents() { Record(Call("ShowHelpContents")); }
void RecordingSurfaces::QuitHelp() { Record(Call("QuitHelp")); }
void RecordingSurfaces::CloseWindow() { Record(Call("CloseWindow")); }

bool RecordingSurfaces::ReuseDigestsChecked() {
  Record(Call("ReuseDigestsChecked"));
  return ReuseDigests;
}
std::vector<std::string> RecordingSurfaces::ExcludePatternList() {
  Record(Call("ExcludePatternList"));
  return Excludes;
}
void RecordingSurfaces::ShowWarning(std::string_view text) {
  Record(Call("ShowWarning", std::string(text)));
  Warnings.emplace_back(text);
}
