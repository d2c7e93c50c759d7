#include "documents/ListingDocuments.h"

#include <optional>

#include "documents/ListingSignature.h"
#include "documents/ListingFileCheck.h"
#include "surfaces/ScrollExtent.h"
#include "surfaces/Texts.h"
#include "platform/SystemPaths.h"

namespace {

// A dialog that returns an empty name was cancelled.
bool Chosen(const std::optional<std::string>& name) { return name.has_value() && !name->empty(); }

std::string OverwriteQuestion(const std::string& fileName) {
  const std::string_view pattern = Texts::kOverwriteQuestion;
  const auto at = pattern.find("%s");
  std::string question(pattern.substr(0, at));
  question += fileName;
  question += pattern.substr(at + 2);
  return question;
}

}  // namespace

void ListingDocuments::FileNew() {
  surfaces_.SetBusyCursor();
  state_.DocumentFileName = Texts::kUntitled;
  surfaces_.PaneClear(PaneId::ListBox1);
  surfaces_.PaneClear(PaneId::ListBox2);
  surfaces_.PaneClear(PaneId::ListBox3);
  surfaces_.SetLabelText(LabelId::Label1, "Selected: ?");
  surfaces_.SetLabelText(LabelId::Label2, "Loaded File: ?");
  surfaces_.EditSetText("");
  surfaces_.SetActionEnabled(ActionId::FileSaveAction, false);
  surfaces_.SetActionEnabled(ActionId::FileSaveResultAction, false);
  surfaces_.SetActionEnabled(ActionId::EditCompareContentAction, false);
  surfaces_.SetActionEnabled(ActionId::EditRepeatLastAction, false);
  state_.HasListing = false;
  state_.HasLoadedListing = false;
  state_.LoadedFileName.clear();
  surfaces_.PaneSetScrollExtent(PaneId::ListBox1, 0);
  surfaces_.PaneSetScrollExtent(PaneId::ListBox2, 0);
  surfaces_.SetNormalCursor();
}

bool ListingDocuments::FileOpen() {
  surfaces_.SetBusyCursor();
  const auto name = surfaces_.RunOpenDialog();
  if (!Chosen(name)) {
    surfaces_.SetNormalCursor();
    return false;
  }
  return OpenListing(*name);
}

bool ListingDocuments::OpenListing(const std::string& fileName) {
  // A binary file or one without a summary line is opened only when wanted.
  if (!ListingFileCheck::LooksLikeListing(fileName) &&
      surfaces_.AskConfirmation(fileName + Texts::kNotAListing) != ConfirmAnswer::Yes) {
    surfaces_.SetNormalCursor();
    return false;
  }
  surfaces_.PaneLoadFromFile(PaneId::ListBox2, fileName);
  state_.DocumentFileName = fileName;
  state_.LoadedFileName = fileName;
  surfaces_.SetLabelText(LabelId::Label2, "Loaded File: " + state_.DocumentFileName);
  surfaces_.SetActionEnabled(ActionId::FileSaveAsAction, true);
  surfaces_.SetActionEnabled(ActionId::EditRepeatLastAction, false);
  if (state_.HasListing) surfaces_.SetActionEnabled(ActionId::EditCompareContentAction, true);
  state_.HasLoadedListing = true;
  state_.WidestLoadedLine = 0;
  const int count = surfaces_.PaneLineCount(PaneId::ListBox2);
  for (int i = 0; i < count; ++i) {
    const auto length = static_cast<std::int32_t>(surfaces_.PaneLineAt(PaneId::ListBox2, i).size());
    if (length > state_.WidestLoadedLine) state_.WidestLoadedLine = length;
  }
  SetPaneScrollExtent(surfaces_, PaneId::ListBox2, state_.WidestLoadedLine);
  ShowSignatureOf(fileName);
  surfaces_.SetNormalCursor();
  return true;
}

void ListingDocuments::FileSave() {
  surfaces_.SetBusyCursor();
  if (state_.DocumentFileName == Texts::kUntitled) {
    FileSaveAs();
  } else if (WritesOverBaseline(state_.DocumentFileName) && !Confirmed(state_.DocumentFileName)) {
    // The listing the next audit compares with is not replaced without a word.
  } else {
    SaveListing(state_.DocumentFileName);
    surfaces_.SetActionEnabled(ActionId::FileSaveAction, false);
    surfaces_.SetActionEnabled(ActionId::EditRepeatLastAction, false);
  }
  // Save As leaves the cursor to its caller; without this the hourglass would
  // stay up after every first save.
  surfaces_.SetNormalCursor();
}

void ListingDocuments::FileSaveAs() {
  const auto name = surfaces_.RunSaveDialog();
  if (!Chosen(name)) return;
  if (!ConfirmOverwrite(*name)) return;
  SaveListing(*name);
  state_.DocumentFileName = *name;
  surfaces_.SetActionEnabled(ActionId::FileSaveAction, false);
  surfaces_.SetActionEnabled(ActionId::EditRepeatLastAction, false);
}

void ListingDocuments::FileSaveResult(const RecordsWriter& writeRecords) {
  surfaces_.SetBusyCursor();
  // No to the overwrite question goes back to the dialog, for another name.
  // A save given up after a No leaves the command as the No did: enabled.
  bool declined = false;
  std::optional<ResultsFileChoice> choice;
  for (;;) {
    choice = surfaces_.RunSaveResultsDialog();
    if (!choice || choice->fileName.empty() || !SystemPaths::IsExistingFile(choice->fileName)) break;
    const ConfirmAnswer answer = surfaces_.AskConfirmation(OverwriteQuestion(choice->fileName));
    if (answer == ConfirmAnswer::Yes) break;
    declined = true;
    if (answer == ConfirmAnswer::Cancel) choice.reset();
    if (!choice) break;
  }
  if (choice && !choice->fileName.empty()) {
    // Every result is written, whatever the window shows of them.
    if (choice->format == ResultsFormat::Text || !writeRecords) {
      surfaces_.PaneSaveToFile(PaneId::ListBox3, choice->fileName);
    } else {
      writeRecords(*choice);
    }
    surfaces_.StatusSetPanelText(4, "Saved: " + choice->fileName);
    showingSignature_ = true;
  } else if (declined) {
    surfaces_.SetNormalCursor();
    return;
  }
  surfaces_.SetActionEnabled(ActionId::FileSaveResultAction, false);
  surfaces_.SetActionEnabled(ActionId::EditRepeatLastAction, false);
  surfaces_.SetNormalCursor();
}

bool ListingDocuments::ConfirmOverwrite(const std::string& fileName) {
  return !SystemPaths::IsExistingFile(fileName) || Confirmed(fileName);
}

bool ListingDocuments::Confirmed(const std::string& fileName) {
  return surfaces_.AskConfirmation(OverwriteQuestion(fileName)) == ConfirmAnswer::Yes;
}

void ListingDocuments::SaveListing(const std::string& fileName) {
  // A key that cannot sign is refused before anything is written.
  std::optional<SigningKey> key;
  if (!signingKey_.empty()) key = SigningKey::LoadPrivate(signingKey_);
  const auto save = [&] { surfaces_.PaneSaveToFile(PaneId::ListBox1, fileName); };
  if (!key) {
    save();
    // Panel 4 tells that the save happened, and where.
    surfaces_.StatusSetPanelText(4, "Saved: " + fileName);
    showingSignature_ = true;
    return;
  }
  ListingSignature::SaveSigned(fileName, ListingSignature::TextOf(PaneLines(PaneId::ListBox1)), *key, save);
  surfaces_.StatusSetPanelText(4, "Signed: " + ListingSignature::FileOf(fileName));
  showingSignature_ = true;
}

void ListingDocuments::ShowSignatureOf(const std::string& fileName) {
  // What panel 4 said of another listing no longer holds, whatever comes next.
  if (showingSignature_) surfaces_.StatusSetPanelText(4, "");
  showingSignature_ = false;
  loadedMismatch_ = false;
  const std::string signatureFile = ListingSignature::FileOf(fileName);
  std::string text;
  if (!verifyKey_.empty()) {
    // With a key to check with, a missing signature is told too: removing
    // it is the easiest way to pass off a forged listing.
    switch (ListingSignature::Check(PaneLines(PaneId::ListBox2), fileName, SigningKey::LoadPublic(verifyKey_))) {
      case ListingSignature::Verdict::Verified:
        text = "Signature verified with " + verifyKey_;
        break;
      case ListingSignature::Verdict::Unsigned:
        text = "NOT SIGNED: " + signatureFile + " is missing";
        break;
      case ListingSignature::Verdict::Mismatch:
        text = "SIGNATURE DOES NOT MATCH: the listing or " + signatureFile + " was changed, or another key signed it";
        loadedMismatch_ = true;
        break;
    }
  } else if (ListingSignature::Present(fileName)) {
    text = "Signed, but not checked: no public key chosen";
  }
  if (text.empty()) return;
  surfaces_.StatusSetPanelText(4, text);
  showingSignature_ = true;
}

bool ListingDocuments::ConfirmCompare() {
  if (!loadedMismatch_ || !state_.HasLoadedListing) return true;
  return surfaces_.AskConfirmation("The signature of " + state_.LoadedFileName +
                                   " does not match: the listing or its signature was changed, or another key "
                                   "signed it. Compare with it anyway?") == ConfirmAnswer::Yes;
}

std::vector<std::string_view> ListingDocuments::PaneLines(PaneId pane) {
  const int count = surfaces_.PaneLineCount(pane);
  std::vector<std::string_view> lines;
  lines.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) lines.push_back(surfaces_.PaneLineAt(pane, i));
  return lines;
}

bool ListingDocuments::WritesOverBaseline(const std::string& fileName) const {
  return state_.HasLoadedListing && SystemPaths::IsExistingFile(fileName) &&
         SystemPaths::SameFile(fileName, state_.LoadedFileName);
}
