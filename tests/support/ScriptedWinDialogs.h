#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "win/WinDialogs.h"

// Answers every dialog of the Win32 window as a test scripts it, without
// blocking, and keeps what the boxes were asked to show.
class ScriptedWinDialogs : public WinDialogs {
 public:
  std::optional<std::string> BrowseForFolder(std::string_view title, const std::string& start) override {
    Titles.emplace_back(title);
    Starts.push_back(start);
    return Next(Folders);
  }
  std::optional<std::string> OpenFile() override { return Next(OpenNames); }
  std::optional<std::string> SaveFile() override { return Next(SaveNames); }
  std::optional<std::string> ChooseKeyFile(std::string_view) override { return std::nullopt; }
  std::optional<ResultsFileChoice> SaveResultsFile() override {
    auto name = Next(SaveNames);
    if (!name) return std::nullopt;
    const ResultsFormat format = ResultsFormats.empty() ? ResultsFormat::Text : ResultsFormats.front();
    if (!ResultsFormats.empty()) ResultsFormats.pop_front();
    return ResultsFileChoice{*name, format};
  }
  ConfirmAnswer Confirm(std::string_view question) override {
    Questions.emplace_back(question);
    if (Answers.empty()) return ConfirmAnswer::Cancel;
    const ConfirmAnswer answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  void ShowError(std::string_view message) override { Errors.emplace_back(message); }
  void ShowWarning(std::string_view message) override { Warnings.emplace_back(message); }
  void ShowAbout() override { ++AboutShown; }
  std::optional<std::string> EditExcludePatterns(const std::string& patterns) override {
    ShownPatterns.push_back(patterns);
    return Next(PatternAnswers);
  }

  int PopupMenu(POINT, const std::vector<MenuItem>& items) override {
    Offered = items;
    return MenuChoice;
  }
  void OpenFolder(const std::string& folder) override { OpenedFolders.push_back(folder); }

  std::deque<std::optional<std::string>> Folders, OpenNames, SaveNames, PatternAnswers;
  std::deque<ConfirmAnswer> Answers;
  std::deque<ResultsFormat> ResultsFormats;
  std::vector<std::string> Titles, Starts, Questions, Errors, Warnings, ShownPatterns, OpenedFolders;
  std::vector<MenuItem> Offered;  // by the last right-click menu
  int MenuChoice = -1;
  int AboutShown = 0;

 private:
  static std::optional<std::string> Next(std::deque<std::optional<std::string>>& queue) {
    if (queue.empty()) return std::nullopt;
    auto answer = queue.front();
    queue.pop_front();
    return answer;
  }
};
