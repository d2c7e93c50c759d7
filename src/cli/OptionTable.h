#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliOptions.h"

// Every option of quillon-cli, written once: the parser, --help, the
// completions of bash, zsh and fish (through Complete) and the check of the
// man page all read this table, so that none of them can drift apart.
class OptionTable {
 public:
  // The commands an option goes with, as bits.
  enum Command : unsigned { kList = 1, kCompare = 2, kKeygen = 4 };
  // What an option's value is: how Tab completes it.
  enum class Value { None, File, Folder, Text, Format };

  struct Option {
    std::string_view name;      // "--md5"
    std::string_view alias;     // "--output" beside "-o"; empty where there is none
    std::string_view argument;  // "FILE" in the help; empty where it takes no value
    Value value;
    unsigned commands;
    bool digestCache;          // only in a build that keeps a digest cache
    std::string_view missing;  // the problem when its value is missing or wrong
    std::string_view summary;  // one line, beside the option in a completion
    std::string_view help;     // its paragraph in --help
    // Takes the value into the options; false when it is no value of the option.
    bool (*take)(CliOptions& options, const std::string& value, std::string& problem);
  };

  static constexpr std::string_view kCommands[] = {"list", "compare", "keygen"};

  // The options this build takes, in the order of the help.
  static std::vector<Option> All();
  // The option of that name or alias that goes with command; none for another.
  static std::optional<Option> Find(std::string_view name, std::string_view command);
  // The options of the command line; nothing, with the problem, for an unknown
  // option or a missing or wrong value.
  static std::optional<CliOptions> Parse(const std::vector<std::string>& args, std::string& problem);
  // The options' part of --help.
  static std::string Help();
  // What Tab offers after words (those after the program's name, the last
  // one being completed): a first line "file", "folder" or "words", then the
  // words, each with a tab and its summary where it has one.
  static void Complete(const std::vector<std::string>& words, std::ostream& out);
};
