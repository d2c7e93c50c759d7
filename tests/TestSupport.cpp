#include "TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "app/ActionTable.h"
#include "app/WindowLayout.h"

#ifdef _WIN32
#include "platform/WindowsApi.h"

#include "platform/WideText.h"
#else
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// A path of a test as the file system calls of the library take it.
std::filesystem::path FsPath(const std::string& path) {
#ifdef _WIN32
  const std::u16string wide = WideText::ToUtf16(path);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
#else
  return std::filesystem::path(path);
#endif
}

}  // namespace

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', kPathSeparator);
  return path;
}

#ifdef _WIN32

TempTree::TempTree() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring_view folder(temp, length);
  for (unsigned attempt = GetTickCount() ^ GetCurrentProcessId();; ++attempt) {
    const std::wstring candidate = std::wstring(folder) + L"quillon-test-" + std::to_wstring(attempt % 1000000);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      root_ = WideText::ToUtf8(std::u16string(candidate.begin(), candidate.end()));
      break;
    }
  }
}

TempTree::~TempTree() {
  std::error_code ignored;
  // Read-only files would stay behind.
  for (auto it = std::filesystem::recursive_directory_iterator(FsPath(root_), ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
    SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
  std::filesystem::remove_all(FsPath(root_), ignored);
}

void TempTree::Link(const std::string&, const std::string&) { ADD_FAILURE() << "no links in Windows tests"; }
void TempTree::Fifo(const std::string&) { ADD_FAILURE() << "no FIFOs on Windows"; }

void TempTree::SetTime(const std::string& relative, std::int64_t seconds, long nanoseconds) {
  const HANDLE file = CreateFileW(FsPath(Path(relative)).c_str(), FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << relative;
  const std::uint64_t ticks =
      static_cast<std::uint64_t>(seconds * 10000000LL + nanoseconds / 100 + 116444736000000000LL);
  FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SetFileTime(file, nullptr, &time, &time);
  CloseHandle(file);
}

// Only the owner's write bit has a meaning here: without it the file is read-only.
void TempTree::Chmod(const std::string& relative, unsigned mode) {
  const std::wstring path = FsPath(Path(relative)).wstring();
  const DWORD attributes = GetFileAttributesW(path.c_str());
  SetFileAttributesW(path.c_str(), (mode & 0200) ? attributes & ~FILE_ATTRIBUTE_READONLY
                                                 : attributes | FILE_ATTRIBUTE_READONLY);
}

#else

TempTree::TempTree() {
  char pattern[] = "/tmp/quillon-test-XXXXXX";
  root_ = mkdtemp(pattern);
}

TempTree::~TempTree() {
  std::error_code ignored;
  // Give back every permission a test took away, so that all of it goes.
  for (auto it = std::filesystem::recursive_directory_iterator(root_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) chmod(it->path().c_str(), 0755);
  std::filesystem::remove_all(root_, ignored);
}

void TempTree::Link(const std::string& relative, const std::string& target) {
  std::filesystem::create_symlink(target, Path(relative));
}
void TempTree::Fifo(const std::string& relative) { mkfifo(Path(relative).c_str(), 0644); }
void TempTree::SetTime(const std::string& relative, std::int64_t seconds, long nanoseconds) {
  const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  utimensat(AT_FDCWD, Path(relative).c_str(), times, AT_SYMLINK_NOFOLLOW);
}
void TempTree::Chmod(const std::string& relative, unsigned mode) { chmod(Path(relative).c_str(), mode); }

#endif

std::string TempTree::Path(const std::string& relative) const { return root_ + kPathSeparator + Native(relative); }

void TempTree::File(const std::string& relative, const std::string& content) {
  std::ofstream out(FsPath(Path(relative)), std::ios::binary);
  out << content;
}
void TempTree::Dir(const std::string& relative) { std::filesystem::create_directories(FsPath(Path(relative))); }
std::string TempTree::Read(const std::string& relative) const {
  std::ifstream in(FsPath(Path(relative)), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

::testing::AssertionResult SameLines(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  // A longest-common-subsequence diff, enough for the short texts of tests.
  const std::size_t n = expected.size(), m = actual.size();
  std::vector<std::vector<int>> common(n + 1, std::vector<int>(m + 1, 0));
  for (std::size_t i = n; i-- > 0;)
    for (std::size_t j = m; j-- > 0;)
      common[i][j] = expected[i] == actual[j] ? common[i + 1][j + 1] + 1 : std::max(common[i + 1][j], common[i][j + 1]);
  std::ostringstream diff;
  diff << "texts differ (- expected, + actual):\n";
  std::size_t i = 0, j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && expected[i] == actual[j]) {
      diff << "  " << expected[i++] << "\n";
      ++j;
    } else if (j < m && (i == n || common[i][j + 1] >= common[i + 1][j])) {
      diff << "+ " << actual[j++] << "\n";
    } else {
      diff << "- " << expected[i++] << "\n";
    }
  }
  return ::testing::AssertionFailure() << diff.str();
}

HelpNames MenuItemsNamedByHelp(const std::string& html) {
  namespace L = WindowLayout;
  // A caption as the help writes it: no access key, no closing dots.
  const auto plain = [](std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
    if (text.size() > 3 && text.ends_with("...")) text.resize(text.size() - 3);
    return text;
  };
  std::map<std::string, std::map<std::string, std::string>> menus;  // menu, item, key
  std::map<std::string, std::string> keys;                          // item, key
  for (const L::MenuInfo& menu : L::kMenus)
    for (const L::MenuItem& item : menu.items) {
      const ActionInfo& action = InfoOf(item.action);
      if (item.kind != L::ItemKind::Action || !action.visible) continue;
      menus[plain(menu.title)][plain(action.caption)] = action.shortcut;
      keys[plain(action.caption)] = action.shortcut;
    }
  HelpNames names;
  static const std::regex kItem("<b>([^<&]+) &gt; ([^<]+)</b>");
  for (std::sregex_iterator at(html.begin(), html.end(), kItem), end; at != end; ++at) {
    ++names.named;
    const auto menu = menus.find((*at)[1]);
    if (menu == menus.end() || menu->second.count(plain((*at)[2])) == 0) names.missing.push_back((*at)[0]);
  }
  // A row names one or more items, "Find, Find Next", with their keys.
  static const std::regex kRow("<tr><td>([^<]+)</td><td>([^<]+)</td>");
  const auto split = [](const std::string& text) {
    std::vector<std::string> parts;
    for (std::size_t at = 0; at <= text.size();) {
      const std::size_t comma = std::min(text.find(", ", at), text.size());
      parts.push_back(text.substr(at, comma - at));
      at = comma + 2;
    }
    return parts;
  };
  for (std::sregex_iterator at(html.begin(), html.end(), kRow), end; at != end; ++at) {
    const std::vector<std::string> items = split((*at)[1]), shortcuts = split((*at)[2]);
    for (std::size_t i = 0; i < items.size(); ++i) {
      ++names.named;
      const auto found = keys.find(items[i]);
      if (found == keys.end() || i >= shortcuts.size() || found->second != shortcuts[i])
        names.missing.push_back(items[i] + " (" + (i < shortcuts.size() ? shortcuts[i] : "") + ")");
    }
  }
  return names;
}

std::vector<std::string> SortedSections(std::vector<std::string> listing) {
  const auto opening = std::find(listing.begin(), listing.end(), ">>> All directories found >>>");
  const auto closing = std::find(listing.begin(), listing.end(), "<<< All directories found <<<");
  std::sort(listing.begin(), opening);
  if (opening != listing.end() && closing != listing.end()) std::sort(opening + 1, closing);
  return listing;
}

#ifndef _WIN32

namespace {
std::string Drain(int fd) {
  std::string text;
  char buffer[65536];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(got));
  return text;
}
}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& args, const std::string& input) {
  char outName[] = "/tmp/quillon-out-XXXXXX", errName[] = "/tmp/quillon-err-XXXXXX";
  const int outFd = mkstemp(outName), errFd = mkstemp(errName);
  const pid_t pid = fork();
  if (pid == 0) {
    int inPipe[2];
    if (pipe(inPipe) == 0) {
      if (write(inPipe[1], input.data(), input.size()) < 0) _exit(127);
      close(inPipe[1]);
      dup2(inPipe[0], 0);
    }
    dup2(outFd, 1);
    dup2(errFd, 2);
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  ProgramResult result;
  result.peakKilobytes = usage.ru_maxrss;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  lseek(outFd, 0, SEEK_SET);
  lseek(errFd, 0, SEEK_SET);
  result.out = Drain(outFd);
  result.err = Drain(errFd);
  close(outFd);
  close(errFd);
  unlink(outName);
  unlink(errName);
  return result;
}

std::string CliPath() { return QUILLON_CLI_PATH; }

#endif

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start) + "<no CR LF>");
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

#ifndef _WIN32

UserLocale::UserLocale(const std::string& name) {
  // Built once per test program, and gone with it.
  static const struct LocaleFolder {
    std::string path;
    LocaleFolder() {
      char pattern[] = "/tmp/quillon-locales-XXXXXX";
      if (mkdtemp(pattern) != nullptr) path = pattern;
    }
    ~LocaleFolder() {
      std::error_code error;
      if (!path.empty()) std::filesystem::remove_all(path, error);
    }
  } locales;
  const std::string& folder = locales.path;
  if (folder.empty()) return;
  const std::string target = folder + "/" + name + ".UTF-8";
  if (!std::filesystem::exists(target)) {
    const auto result = RunProgram({"/usr/bin/localedef", "-i", name, "-f", "UTF-8", target});
    if (!std::filesystem::exists(target)) return;
    (void)result;
  }
  setenv("LOCPATH", folder.c_str(), 1);
  setenv("LC_ALL", (name + ".UTF-8").c_str(), 1);
  ready_ = true;
}

UserLocale::~UserLocale() {
  unsetenv("LC_ALL");
  unsetenv("LOCPATH");
}


ScratchMount::ScratchMount(const std::string& size) {
  tree_.Dir("mount");
  ready_ = mount("tmpfs", tree_.Path("mount").c_str(), "tmpfs", 0, ("size=" + size + ",mode=0700").c_str()) == 0;
}

ScratchMount::~ScratchMount() {
  if (ready_) umount2(tree_.Path("mount").c_str(), MNT_DETACH);
}

bool ScratchMount::MakeReadOnly() {
  return mount(nullptr, tree_.Path("mount").c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}
#endif
