#pragma once

#include <string>

#include "surfaces/MainWindowState.h"
#include "surfaces/Surfaces.h"

// The File commands: New, Open, Save, Save As and Save Comparison Results.
class ListingDocuments {
 public:
  ListingDocuments(MainWindowState& state, Surfaces& surfaces) : state_(state), surfaces_(surfaces) {}

  void FileNew();
  void FileOpen();
  void FileSave();
  void FileSaveAs();
  void FileSaveResult();

  // True when the named file may be written: no file of that name exists (a
  // folder does not count), or the user answers Yes to the overwrite question.
  bool ConfirmOverwrite(const std::string& fileName);

 private:
  MainWindowState& state_;
  Surfaces& surfaces_;
};
