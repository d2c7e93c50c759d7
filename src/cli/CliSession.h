#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/TMainWindow.h"
#include "cli/CliOptions.h"
#include "cli/HeadlessSurfaces.h"
#include "cli/ProgressLine.h"
#include "platform/OutputChannel.h"
#include "platform/SigningKey.h"
#include "platform/StandardStream.h"
#include "platform/SystemFolderSearch.h"

// One front end over the core: the headless surfaces, the real folder search
// and the window logic, with the live progress line on a terminal. Every
// message of a command goes to standard error through it.
class CliSession {
 public:
  CliSession();

  HeadlessSurfaces& Surfaces() { return surfaces_; }
  TMainWindow& Window() { return window_; }

  // How much of the listings a comparison has read, on the progress line.
  void ShowComparing(std::uint64_t read, std::uint64_t total);

  // Runs a command; on failure prints the error box's text and returns false.
  bool Run(const std::function<void()>& command);

  bool ListFolder(const std::string& folder, const CliOptions& options);

  void PrintTotals();

  // After a listing that could not read everything, prints the count the
  // window shows in panel 4, and says so.
  bool Incomplete();

  void PrintReuse();

  // Checks the loaded listing's signature with key; without a key, only
  // notes a signature that goes unchecked. False after a message when the
  // listing is not to be compared.
  bool CheckSignature(const std::string& loaded, const std::optional<SigningKey>& key);

  // What write puts out, to standard output or to FILE through the safe
  // writer; on failure prints the error and returns false.
  bool WriteOut(const std::optional<std::string>& output, const std::function<bool(OutputChannel&)>& write);

 private:
  void ShowProgress();

  HeadlessSurfaces surfaces_;
  SystemFolderSearch search_;
  TMainWindow window_;
  StandardStream error_;
  ProgressLine progress_;
  std::chrono::steady_clock::time_point started_;
};
