#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/WindowDialogs.h"

// Answers every dialog of a window as a test scripts it, without blocking,
// and keeps what the boxes were asked to show. Base is the window's own
// dialogs: the answers are the same for both windows.
template <typename Base>
class ScriptedAnswers : public Base {
 public:
  std::optional<std::string> BrowseForFolder(std::string_view title, const std::string& start) override {
    Titles.emplace_back(title);
    Starts.push_back(start);
    return Next(Folders);
  }
  std::optional<std::string> OpenFile() override { return Next(OpenNames); }
  std::optional<std::string> SaveFile() override { return Next(SaveNames); }
  std::optional<std::string> ChooseKeyFile(std::string_view) override { return Next(KeyNames); }
  std::optional<ResultsFileChoice> SaveResultsFile() override {
    const auto name = Next(SaveNames);
    if (!name) return std::nullopt;
    const ResultsFormat format = ResultsFormats.empty() ? ResultsFormat::Text : ResultsFormats.front();
    if (ResultsFormats.size() > 1) ResultsFormats.pop_front();
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
  void ShowAbout() override { ++AboutShown; }
  void ShowWarning(std::string_view message) override { Warnings.emplace_back(message); }
  std::optional<std::string> EditExcludePatterns(const std::string& patterns) override {
    ShownPatterns.push_back(patterns);
    return Next(PatternAnswers);
  }
  bool OpenFolder(const std::string& folder) override {
    OpenedFolders.push_back(folder);
    return FolderOpens;
  }

  std::deque<std::optional<std::string>> Folders, OpenNames, SaveNames, PatternAnswers, KeyNames;
  std::deque<ConfirmAnswer> Answers;
  // The first is chosen for each results file; the last stays for all after.
  std::deque<ResultsFormat> ResultsFormats;
  std::vector<std::string> Titles, Starts, Questions, Errors, Warnings, ShownPatterns, OpenedFolders;
  bool FolderOpens = true;  // a file manager takes the folders
  int AboutShown = 0;

 private:
  static std::optional<std::string> Next(std::deque<std::optional<std::string>>& queue) {
    if (queue.empty()) return std::nullopt;
    auto answer = queue.front();
    queue.pop_front();
    return answer;
  }
};
