#pragma once

#include <optional>
#include <string>
#include <vector>

// quillon-cli: the listing and the comparison of the window, for scripts.
class CliCommand {
 public:
  // Exit codes: 0 success (compare: no differences), 1 compare found
  // differences, 2 an error, 3 incomplete: the listing of list or compare
  // --folder could not read some folders or files.
  static int Main(const std::vector<std::string>& args);

  // What the command line asked for.
  struct Options {
    std::string command;
    bool md5 = false;
    bool sha256 = false;  // --sha256: SHA-256 digests instead of MD5
    bool moves = false;  // compare --moves
    std::string format = "text";  // --format text|csv|json
    std::size_t readers = 0;                 // --readers N; 0: the engine's default
    bool reuseDigests = false;
    std::optional<std::string> digestCache;  // --digest-cache FILE
    std::vector<std::string> excludes;       // --exclude PATTERN
    std::vector<std::string> excludeFiles;   // --exclude-from FILE
    std::optional<std::string> folder;       // compare --folder DIR
    std::optional<std::size_t> memory;       // compare --memory SIZE, in bytes
    std::optional<std::string> temporaryFolder;  // compare --temp-dir DIR
    std::optional<std::string> output;       // -o FILE
    std::optional<std::string> sign;         // list --sign KEY
    std::optional<std::string> verifyWith;   // compare --verify-with PUBKEY
    std::vector<std::string> operands;
  };

 private:
  static std::optional<Options> Parse(const std::vector<std::string>& args, std::string& problem);
  // Checks the choices that go with listing a folder and reads the exclude
  // files; false after a message on standard error.
  static bool PrepareListing(Options& options, int& status);
  static int List(Options options);
  static int Compare(Options options);
  static int Keygen(const Options& options);
  // "512M", "4G", "65536": a size in bytes with an optional K, M, G or T
  // (powers of 1024); nothing for anything else or 0.
  static std::optional<std::size_t> ParseSize(const std::string& text);
};
