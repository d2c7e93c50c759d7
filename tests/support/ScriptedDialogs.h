#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "gui/DialogProvider.h"

// Answers every dialog of the window as a test scripts it, without blocking,
// and keeps what the error box and the confirmation box were asked to show.
class ScriptedDialogs : public DialogProvider {
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
    return ResultsFileChoice{*name, ResultsFormats.empty() ? ResultsFormat::Text : ResultsFormats.front()};
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

  std::deque<std::optional<std::string>> Folders, OpenNames, SaveNames, PatternAnswers, KeyNames;
  std::deque<ConfirmAnswer> Answers;
  std::vector<ResultsFormat> ResultsFormats;  // the first is chosen for every results file
  std::vector<std::string> Titles, Starts, Questions, Errors, Warnings, ShownPatterns;
  int AboutShown = 0;

 private:
  static std::optional<std::string> Next(std::deque<std::optional<std::string>>& queue) {
    if (queue.empty()) return std::nullopt;
    auto answer = queue.front();
    queue.pop_front();
    return answer;
  }
};
