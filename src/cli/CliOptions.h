#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// What the command line asked for.
struct CliOptions {
  std::string command;
  bool md5 = false;
  bool sha256 = false;  // --sha256: SHA-256 digests instead of MD5
  bool moves = false;   // compare --moves
  bool meta = false;    // --meta: the metadata group on each line
  std::vector<std::string> ignore;  // compare --ignore FIELD,...
  std::string format = "text";  // --format text|csv|json
  std::size_t readers = 0;      // --readers N; 0: the engine's default
  bool reuseDigests = false;
  std::optional<std::string> digestCache;      // --digest-cache FILE
  std::vector<std::string> excludes;           // --exclude PATTERN
  std::vector<std::string> excludeFiles;       // --exclude-from FILE
  std::optional<std::string> folder;           // compare --folder DIR
  std::optional<std::size_t> memory;           // compare --memory SIZE, in bytes
  std::optional<std::string> temporaryFolder;  // --temp-dir DIR
  std::optional<std::string> output;           // -o FILE
  std::optional<std::string> sign;             // list --sign KEY
  std::optional<std::string> verifyWith;       // compare --verify-with PUBKEY
  std::vector<std::string> operands;
};
