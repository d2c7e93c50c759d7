#include "platform/WindowsApi.h"

#include <algorithm>

#include "platform/SystemPaths.h"

namespace {

// The system's own words for an error, without the closing period.
std::string MessageOf(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 ? NarrowOf(std::wstring_view(text, length)) : "error " + std::to_string(error);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.' ||
                              message.back() == ' '))
    message.pop_back();
  return message;
}

bool IsRoot(const std::string& path) {
  if (path.size() == 3 && path[1] == ':' && path[2] == '\\') return true;
  return path.rfind("\\\\?\\", 0) == 0 && path.size() == 7 && path[5] == ':';
}

// The path with each name that exists written as the file system stores it
// (the long name, in its own letter case), so that one folder typed in two
// ways gives the same lines. The drive letter is upper case; a share's server
// and share names, and everything from the first name not found on, stay as
// typed. Links are not followed: a link keeps its own name.
std::string StoredNames(const std::string& path) {
  std::string stored;
  std::size_t start = 0;  // where the first name below the root begins
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') {
    stored = path.substr(0, 3);
    if (stored[0] >= 'a' && stored[0] <= 'z') stored[0] = static_cast<char>(stored[0] - 'a' + 'A');
    start = 3;
  } else if (path.rfind("\\\\", 0) == 0) {
    const std::size_t server = path.find('\\', 2);
    const std::size_t share = server == std::string::npos ? server : path.find('\\', server + 1);
    if (share == std::string::npos) return path;
    stored = path.substr(0, share + 1);
    start = share + 1;
  } else {
    return path;
  }
  while (start < path.size()) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    const std::string name = path.substr(start, end - start);
    // A name with a wildcard would be a search, not a look-up.
    if (name.empty() || name.find_first_of("*?<>\"") != std::string::npos) return stored + path.substr(start);
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW(SystemPathOf(stored + name).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return stored + path.substr(start);
    FindClose(search);
    stored += NarrowOf(data.cFileName);
    if (end < path.size()) stored += '\\';
    start = end + 1;
  }
  return stored;
}

}  // namespace

std::string SystemPaths::AbsoluteFolder(const std::string& folder) {
  const std::wstring wide = WideOf(folder);
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return folder;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return folder;
  full.resize(length);
  std::string path = NarrowOf(full);
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/') && !IsRoot(path)) path.pop_back();
  return StoredNames(path);
}

std::optional<std::string> SystemPaths::WhyNotAFolder(const std::string& folder) {
  const DWORD attributes = GetFileAttributesW(SystemPathOf(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return MessageOf(GetLastError());
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return std::string("not a folder");
  // A folder that cannot be read at all has no listing, not an empty one.
  std::string pattern = folder;
  if (pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  WIN32_FIND_DATAW data;
  const HANDLE search = FindFirstFileW(SystemPathOf(pattern + "*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return MessageOf(error);
  } else {
    FindClose(search);
  }
  return std::nullopt;
}

bool SystemPaths::IsExistingFile(const std::string& fileName) {
  const DWORD attributes = GetFileAttributesW(SystemPathOf(fileName).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

namespace {

// The volume and the file's number on it; false when it cannot be opened.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  const HANDLE file = CreateFileW(SystemPathOf(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  return known;
}

}  // namespace

bool SystemPaths::SameFile(const std::string& output, const std::string& input) {
  BY_HANDLE_FILE_INFORMATION out, in;
  if (FileIdentity(output, out))
    return FileIdentity(input, in) && out.dwVolumeSerialNumber == in.dwVolumeSerialNumber &&
           out.nFileIndexHigh == in.nFileIndexHigh && out.nFileIndexLow == in.nFileIndexLow;
  // Names differ in letter case only: the same file on Windows.
  const std::wstring a = WideOf(AbsoluteFolder(output)), b = WideOf(AbsoluteFolder(input));
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}
