#pragma once

#include <functional>
#include <string>

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

 private:
  bool Confirmed(const std::string& fileName);
  // Whether writing fileName would replace the listing loaded in ListBox2.
  bool WritesOverBaseline(const std::string& fileName) const;

  MainWindowState& state_;
  Surfaces& surfaces_;
};
