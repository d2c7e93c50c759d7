#include "cli/OptionTable.h"

#include <cctype>
#include <limits>
#include <sstream>

#include "compare/LineChanges.h"
#include "compare/ReadableRecords.h"
#include "engine/ListingEngine.h"
#include "platform/DigestStore.h"

namespace {

using Option = OptionTable::Option;
using Value = OptionTable::Value;
constexpr unsigned kListing = OptionTable::kList | OptionTable::kCompare;
constexpr unsigned kAll = kListing | OptionTable::kKeygen;

// Where the two systems' builds differ, the help tells each its own.
#ifdef _WIN32
#define QUILLON_TEMP_DEFAULT "the user's temporary folder, from TMP or TEMP"
#define QUILLON_DIRECT_OUTPUT "-o - writes to standard output."
#define QUILLON_OPENSSL_COMMAND "README.txt"
#else
#define QUILLON_TEMP_DEFAULT "$TMPDIR, else /tmp"
#define QUILLON_DIRECT_OUTPUT \
  "a device, FIFO or socket is written directly, and -o - or /dev/stdout write to standard output where it stands."
#define QUILLON_OPENSSL_COMMAND "man page"
#endif

// "512M", "4G", "65536": a size in bytes with an optional K, M, G or T
// (powers of 1024); nothing for anything else or 0.
std::optional<std::size_t> ParseSize(const std::string& text) {
  const std::size_t digits = std::min(text.find_first_not_of("0123456789"), text.size());
  if (digits == 0 || digits > 19) return std::nullopt;
  const std::string suffix = text.substr(digits);
  static constexpr std::string_view kUnits = "KMGT";
  unsigned shift = 0;
  if (!suffix.empty()) {
    const std::size_t unit =
        suffix.size() == 1 ? kUnits.find(static_cast<char>(std::toupper(suffix[0]))) : std::string::npos;
    if (unit == std::string::npos) return std::nullopt;
    shift = 10 * (static_cast<unsigned>(unit) + 1);
  }
  const unsigned long long value = std::stoull(text.substr(0, digits));
  if (value == 0 || value > (std::numeric_limits<std::size_t>::max() >> shift)) return std::nullopt;
  return static_cast<std::size_t>(value) << shift;
}

bool NotEmpty(const std::string& value) { return !value.empty(); }

// The whole table; All leaves out what this build lacks.
const Option kOptions[] = {
    {"--md5", "", "", Value::None, kListing, false, "", "add the MD5 digest of each file",
     "adds each file's MD5 digest (32 hexadecimal digits) to its line.",
     [](CliOptions& o, const std::string&, std::string&) { return o.md5 = true; }},
    {"--sha256", "", "", Value::None, kListing, false, "", "add the SHA-256 digest of each file",
     "puts the SHA-256 digest (64 hexadecimal digits) where --md5 puts the MD5 digest; an unreadable file "
     "gets 64 zeros. Choose it where someone could prepare two files with the same MD5. A listing made with one "
     "digest compared with one made with the other, or with none, shows every file as Modified; --moves never "
     "pairs digests of different kinds.",
     [](CliOptions& o, const std::string&, std::string&) { return o.sha256 = true; }},
    {"--meta", "", "", Value::None, kListing, false, "", "add owner, mode, links, link target and attributes",
#ifdef _WIN32
     "adds each file's and folder's metadata to its line: owner=SID, dacl= (the SHA-256 digest of the access "
     "list in SDDL form), reparse= (the reparse tag) and streams=N, then each alternate data stream as "
     "stream=SIZE:NAME (with a digest option stream=SIZE:DIGEST:NAME). compare then reports a change of any of "
     "them as Modified and names the fields that changed.",
#else
     "adds each file's and folder's metadata to its line: mode= (type, permissions and the setuid, setgid and "
     "sticky bits, as ls shows them), uid=, gid=, links=, xattrs= (\"-\" or the SHA-256 digest of the extended "
     "attributes: capabilities, SELinux labels, ACLs, user.*) and for a symbolic link target= (read, never "
     "followed). compare then reports a change of any of them as Modified and names the fields that changed.",
#endif
     [](CliOptions& o, const std::string&, std::string&) { return o.meta = true; }},
    {"--reuse-digests", "", "", Value::None, kListing, true, "",
     "take the digests of unchanged files from the digest cache",
     "takes the digests of files unchanged since an earlier run from the digest cache instead of reading them; "
     "off by default, since a tamper audit should read all. Writes through a shared memory map (databases, VM "
     "images) change no time and can go unseen.",
     [](CliOptions& o, const std::string&, std::string&) { return o.reuseDigests = true; }},
    {"--digest-cache", "", "FILE", Value::File, kListing, true, "--digest-cache needs a file name",
     "the digest cache to use",
     "the digest cache to use (default $XDG_CACHE_HOME/quillon/digests.sqlite); one that others may write, or "
     "another user's, is not used.",
     [](CliOptions& o, const std::string& v, std::string&) { return (o.digestCache = v), true; }},
    {"--readers", "", "N", Value::Text, kListing, false, "--readers needs a number from 1 to 1024",
     "reads of files kept under way, 1 to 1024",
     "keeps N reads of files under way at once ahead of a digest listing, 1 to 1024 (default 256); with N above "
     "1 folders are searched ahead too. Many reads under way keep a solid-state or network disk busy; on a "
     "spinning disk 1 keeps its head from jumping to and fro. Where the kernel offers io_uring the files read ahead "
     "are asked for 32 at a time; without it, or with it switched off (io_uring_disabled, a seccomp filter), one "
     "by one, as before. The listing is the same whatever N is.",
     [](CliOptions& o, const std::string& v, std::string&) {
       if (v.empty() || v.size() > 4 || v.find_first_not_of("0123456789") != std::string::npos) return false;
       o.readers = std::stoul(v);
       return o.readers >= 1 && o.readers <= ListingEngine::kMaxReaders;
     }},
    {"--format", "", "F", Value::Format, kListing, false, "--format needs text, csv or json",
     "how records are written",
     "text (the default) writes the lines above; csv writes CSV with a header row and json writes JSON Lines, "
     "one record per file or change.",
     [](CliOptions& o, const std::string& v, std::string& problem) {
       if (v != "text" && !ReadableRecords::FormatNamed(v)) {
         problem = "unknown format '" + v + "'";
         return false;
       }
       return (o.format = v), true;
     }},
    {"--exclude", "", "PATTERN", Value::Text, kListing, false, "--exclude needs a pattern", "leave out what matches",
     "leaves out what matches (repeatable), as gitignore does: without \"/\" a name at any depth, with \"/\" a "
     "path below FOLDER; * ? [...] stay within a name, ** crosses folders, a trailing / matches folders only, "
     "and a leading ! keeps again what matches; the last pattern that matches decides. An excluded folder is "
     "not searched; nothing excluded is counted.",
     [](CliOptions& o, const std::string& v, std::string&) { return o.excludes.push_back(v), true; }},
    {"--exclude-from", "", "FILE", Value::File, kListing, false, "--exclude-from needs a file name",
     "the patterns of a file", "the patterns of FILE, read as a .gitignore is.",
     [](CliOptions& o, const std::string& v, std::string&) { return o.excludeFiles.push_back(v), true; }},
    {"--temp-dir", "", "DIR", Value::Folder, kListing, false, "--temp-dir needs a folder",
     "the folder for temporary files",
     "where compare keeps listings that do not fit in --memory, and list -o FILE its listing until it is whole "
     "(default " QUILLON_TEMP_DEFAULT ").",
     [](CliOptions& o, const std::string& v, std::string&) { return NotEmpty(v) && (o.temporaryFolder = v, true); }},
    {"-o", "--output", "FILE", Value::File, kAll, false, "-o needs a file name", "write to a file",
     "writes to FILE instead of standard output (keygen: the private key). FILE is replaced only once it has "
     "been written whole; " QUILLON_DIRECT_OUTPUT,
     [](CliOptions& o, const std::string& v, std::string& problem) {
       if (v.empty()) {
         problem = "the file name after -o is empty";
         return false;
       }
       return (o.output = v), true;
     }},
    {"--sign", "", "KEY", Value::File, OptionTable::kList, false, "--sign needs a key file",
     "sign the listing with a private key",
     "writes FILE.sig beside FILE: the Ed25519 signature of FILE's bytes. A KEY others may read is refused. The "
     QUILLON_OPENSSL_COMMAND " shows the openssl command that checks it.",
     [](CliOptions& o, const std::string& v, std::string&) { return NotEmpty(v) && (o.sign = v, true); }},
    {"--moves", "", "", Value::None, OptionTable::kCompare, false, "", "report a moved file as one Moved line",
     "reports a file that moved as one Moved line: its current line, \" <= \" and its old path.",
     [](CliOptions& o, const std::string&, std::string&) { return o.moves = true; }},
    {"--ignore", "", "FIELD,...", Value::Text, OptionTable::kCompare, false, "--ignore needs field names, such as links",
     "leave fields out of the comparison",
     "leaves the named fields out of the comparison, such as links where link counts move for harmless reasons: "
     "datetime, size, attributes, digest, mode, uid, gid, links, xattrs, target, owner, dacl, reparse, streams.",
     [](CliOptions& o, const std::string& v, std::string& problem) {
       std::vector<std::string> names;
       for (std::size_t at = 0; at <= v.size();) {
         const std::size_t comma = std::min(v.find(',', at), v.size());
         names.push_back(v.substr(at, comma - at));
         at = comma + 1;
       }
       if (const std::string unknown = LineChanges::UnknownField(names); !unknown.empty()) {
         problem = "unknown field '" + unknown + "' for --ignore; the fields are datetime, size, attributes, digest, "
                   "mode, uid, gid, links, xattrs, target, owner, dacl, reparse and streams";
         return false;
       }
       o.ignore.insert(o.ignore.end(), names.begin(), names.end());
       return true;
     }},
    {"--memory", "", "SIZE", Value::Text, OptionTable::kCompare, false, "--memory needs a size, such as 512M or 4G",
     "the memory budget, such as 512M or 4G",
     "the budget of compare, such as 512M or 4G (default a quarter of the memory available). Listings that do "
     "not fit are compared through temporary files in --temp-dir, with the same results.",
     [](CliOptions& o, const std::string& v, std::string&) { return (o.memory = ParseSize(v)).has_value(); }},
    {"--folder", "", "DIR", Value::Folder, OptionTable::kCompare, false, "--folder needs a folder",
     "list a folder and compare that listing",
     "lists DIR first, the way LOADED was made (with its digest or without, with metadata or without), and "
     "compares that listing with LOADED; a digest option or --meta that LOADED was not made with is an error.",
     [](CliOptions& o, const std::string& v, std::string&) { return (o.folder = v), true; }},
    {"--verify-with", "", "PUBKEY", Value::File, OptionTable::kCompare, false, "--verify-with needs a key file",
     "check the loaded listing's signature with a public key",
     "checks LOADED against LOADED.sig first; a missing or wrong signature is an error (2) and nothing is "
     "compared. A signed LOADED compared without it gets a note that it was not checked. Keep KEY on another "
     "machine than the tree you audit: whoever can read it can sign a forged baseline.",
     [](CliOptions& o, const std::string& v, std::string&) { return NotEmpty(v) && (o.verifyWith = v, true); }},
};

unsigned CommandBit(std::string_view command) {
  for (unsigned i = 0; i < std::size(OptionTable::kCommands); ++i)
    if (OptionTable::kCommands[i] == command) return 1u << i;
  return 0;
}

// Text wrapped to width, each line after the first indented by indent.
std::string Wrapped(std::string_view text, std::size_t indent, std::size_t width) {
  std::string out, line;
  std::istringstream words{std::string(text)};
  for (std::string word; words >> word;) {
    if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
      out += line + "\n" + std::string(indent, ' ');
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  return out + line + "\n";
}

}  // namespace

std::vector<Option> OptionTable::All() {
  std::vector<Option> options;
  for (const Option& option : kOptions)
    if (!option.digestCache || DigestStore::Available()) options.push_back(option);
  return options;
}

std::optional<Option> OptionTable::Find(std::string_view name, std::string_view command) {
  const unsigned bit = CommandBit(command);
  for (const Option& option : All())
    if ((option.name == name || (!option.alias.empty() && option.alias == name)) && (option.commands & bit) != 0)
      return option;
  return std::nullopt;
}

std::optional<CliOptions> OptionTable::Parse(const std::vector<std::string>& args, std::string& problem) {
  CliOptions options;
  if (args.empty()) {
    problem = "no command given";
    return std::nullopt;
  }
  options.command = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      options.operands.insert(options.operands.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    }
    if (arg.size() <= 1 || arg[0] != '-') {
      options.operands.push_back(arg);
      continue;
    }
    const auto option = Find(arg, options.command);
    if (!option) {
      problem = "unknown option '" + arg + "'";
      return std::nullopt;
    }
    const bool takesValue = !option->argument.empty();
    if (takesValue && ++i >= args.size()) {
      problem = option->missing;
      return std::nullopt;
    }
    if (!option->take(options, takesValue ? args[i] : std::string(), problem)) {
      if (problem.empty()) problem = option->missing;
      return std::nullopt;
    }
  }
  return options;
}

std::string OptionTable::Help() {
  constexpr std::size_t kColumn = 22, kWidth = 78;
  std::string help;
  for (const Option& option : All()) {
    std::string head(option.name);
    if (!option.alias.empty()) head += ", " + std::string(option.alias);
    if (!option.argument.empty()) head += " " + std::string(option.argument);
    head += head.size() + 2 > kColumn ? "\n" + std::string(kColumn, ' ') : std::string(kColumn - head.size(), ' ');
    help += head + Wrapped(option.help, kColumn, kWidth);
  }
  return help;
}

void OptionTable::Complete(const std::vector<std::string>& words, std::ostream& out) {
  const std::string current = words.empty() ? std::string() : words.back();
  if (words.size() <= 1) {
    out << "words\nlist\tlist a folder tree\ncompare\tcompare listings\n"
           "keygen\tmake a key pair for signed listings\n--help\tshow the usage\n--version\tshow the version\n";
    return;
  }
  const std::string& command = words[0];
  const std::string& previous = words[words.size() - 2];
  if (words.size() >= 3) {
    if (const auto option = Find(previous, command); option && !option->argument.empty()) {
      switch (option->value) {
        case Value::File:
          out << "file\n";
          return;
        case Value::Folder:
          out << "folder\n";
          return;
        case Value::Format:
          out << "words\ntext\ncsv\njson\n";
          return;
        default:
          out << "words\n";
          return;
      }
    }
  }
  if (!current.empty() && current[0] == '-') {
    out << "words\n";
    for (const Option& option : All()) {
      if ((option.commands & CommandBit(command)) == 0) continue;
      out << option.name << "\t" << option.summary << "\n";
      if (!option.alias.empty()) out << option.alias << "\t" << option.summary << "\n";
    }
    return;
  }
  // list takes a folder, compare its listing files, keygen nothing more.
  out << (command == "list" ? "folder\n" : command == "compare" ? "file\n" : "words\n");
}
