#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/FindData.h"

// A path written with "/" in the form of this system (with "\\" on Windows).
std::string Native(std::string path);

// A temporary folder tree built for one test and removed after it.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // The root without a trailing separator, and a path below it; the relative
  // path is written with "/" and comes back in the system's form.
  const std::string& Root() const { return root_; }
  std::string Path(const std::string& relative) const;

  void File(const std::string& relative, const std::string& content = "");
  void Dir(const std::string& relative);
  void Link(const std::string& relative, const std::string& target);
  void Fifo(const std::string& relative);
  void SetTime(const std::string& relative, std::int64_t seconds, long nanoseconds = 0);
  void Chmod(const std::string& relative, unsigned mode);
  std::string Read(const std::string& relative) const;

 private:
  std::string root_;
};

// Compares two texts line by line and, when they differ, fails with a diff.
::testing::AssertionResult SameLines(const std::vector<std::string>& expected, const std::vector<std::string>& actual);

// A listing with its file lines and its folder lines each sorted, for trees
// whose search order is the file system's.
std::vector<std::string> SortedSections(std::vector<std::string> listing);

// What a help text names of the window: the items it writes as
// "<b>Menu &gt; Item</b>" and the rows of its table of commands and keys.
// Missing are those the menus of this build's windows lack, as the action
// table and the layout give them, or whose key differs there.
struct HelpNames {
  int named = 0;
  std::vector<std::string> missing;
};
HelpNames MenuItemsNamedByHelp(const std::string& html);

#ifndef _WIN32
// The result of running a program: exit code, standard output and error.
struct ProgramResult {
  int exitCode = -1;
  std::string out, err;
  long peakKilobytes = 0;  // the most memory the program held
};
ProgramResult RunProgram(const std::vector<std::string>& args, const std::string& input = "");

// Path of the quillon-cli binary under test.
std::string CliPath();

std::vector<std::string> SplitCrLf(const std::string& text);

// Compiles a locale such as "fi_FI" (UTF-8) into a folder of this test run
// and makes it the user's locale, LC_ALL and LOCPATH, until destroyed. Ready()
// is false where the machine cannot compile locales.
class UserLocale {
 public:
  explicit UserLocale(const std::string& name);
  ~UserLocale();
  UserLocale(const UserLocale&) = delete;
  UserLocale& operator=(const UserLocale&) = delete;
  bool Ready() const { return ready_; }

 private:
  bool ready_ = false;
};

// A small tmpfs mounted on a folder of its own for one test, unmounted after
// it. Ready() is false where mounting is not permitted (CI runs as root).
class ScratchMount {
 public:
  explicit ScratchMount(const std::string& size);
  ~ScratchMount();
  ScratchMount(const ScratchMount&) = delete;
  ScratchMount& operator=(const ScratchMount&) = delete;
  bool Ready() const { return ready_; }
  std::string Path(const std::string& relative) const { return tree_.Path("mount/" + relative); }
  bool MakeReadOnly();

 private:
  TempTree tree_;
  bool ready_ = false;
};
#endif
