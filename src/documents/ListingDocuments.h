#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "surfaces/MainWindowState.h"
#include "surfaces/Surfaces.h"

// The File commands: New, Open, Save, Save As and Save Comparison Results.
class ListingDocuments {
 public:
  ListingDocuments(MainWindowState& state, Surfaces& surfaces) : state_(state), surfaces_(surfaces) {}

  // Writes the results in a form other than text.
  using RecordsWriter = std::function<void(const ResultsFileChoice&)>;

  void FileNew();
  // True when a file was loaded into ListBox2.
  bool FileOpen();
  bool OpenListing(const std::string& fileName);
  void FileSave();
  void FileSaveAs();
  void FileSaveResult(const RecordsWriter& writeRecords = {});

  // True when the named file may be written: no file of that name exists (a
  // folder does not count), or the user answers Yes to the overwrite question.
  bool ConfirmOverwrite(const std::string& fileName);

  // Save and Save As sign the listing with this private key file, writing
  // its signature beside it; empty: they do not sign.
  void SetSigningKey(std::string privateKeyFile) { signingKey_ = std::move(privateKeyFile); }
  // Open checks the signature of the listing it loads with this public key
  // file and tells the outcome in panel 4; empty: it only notes a signature.
  void SetVerifyKey(std::string publicKeyFile) { verifyKey_ = std::move(publicKeyFile); }
  // A comparison with a loaded listing whose signature did not match runs
  // only when the user answers Yes to a question that says so.
  bool ConfirmCompare();

 private:
  bool Confirmed(const std::string& fileName);
  // Whether writing fileName would replace the listing loaded in ListBox2.
  bool WritesOverBaseline(const std::string& fileName) const;
  void SaveListing(const std::string& fileName);
  void ShowSignatureOf(const std::string& fileName);
  std::vector<std::string_view> PaneLines(PaneId pane);

  MainWindowState& state_;
  Surfaces& surfaces_;
  std::string signingKey_;
  std::string verifyKey_;
  bool showingSignature_ = false;  // panel 4 tells of a signature
  bool loadedMismatch_ = false;    // the loaded listing's signature did not match
};
