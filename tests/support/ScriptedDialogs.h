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
  std::optional<std::string> BrowseForFolder(QWidget*, const QString& title, const QString& start) override {
    Titles.push_back(title.toStdString());
    Starts.push_back(start.toStdString());
    return Next(Folders);
  }
  std::optional<std::string> OpenFile(QWidget*) override { return Next(OpenNames); }
  std::optional<std::string> SaveFile(QWidget*) override { return Next(SaveNames); }
  std::optional<std::string> ChooseKeyFile(QWidget*, const QString&) override { return Next(KeyNames); }
  std::optional<ResultsFileChoice> SaveResultsFile(QWidget*) override {
    const auto name = Next(SaveNames);
    if (!name) return std::nullopt;
    return ResultsFileChoice{*name, ResultsFormats.empty() ? ResultsFormat::Text : ResultsFormats.front()};
  }
  ConfirmAnswer Confirm(QWidget*, const QString& question) override {
    Questions.push_back(question.toStdString());
    if (Answers.empty()) return ConfirmAnswer::Cancel;
    const ConfirmAnswer answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  void ShowError(QWidget*, const QString& message) override { Errors.push_back(message.toStdString()); }
  void ShowAbout(QWidget*) override { ++AboutShown; }
  void ShowWarning(QWidget*, const QString& message) override { Warnings.push_back(message.toStdString()); }
  std::optional<QString> EditExcludePatterns(QWidget*, const QString& patterns) override {
    ShownPatterns.push_back(patterns.toStdString());
    const auto answer = Next(PatternAnswers);
    if (!answer) return std::nullopt;
    return QString::fromStdString(*answer);
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
