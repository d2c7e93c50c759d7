#include "platform/WindowsApi.h"

#include "platform/SpillFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/WindowsErrors.h"

namespace {
HANDLE HandleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
int LastErrno() { return ErrnoOfWindowsError(GetLastError()); }
}  // namespace

SpillFile::~SpillFile() {
  if (handle_ != -1) CloseHandle(HandleOf(handle_));
}

bool SpillFile::Create(const std::string& folder) {
  static std::atomic<unsigned> serial{0};
  const bool separated = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
  const std::string base =
      folder + (separated ? "" : "\\") + ".quillon-spill-" + std::to_string(GetCurrentProcessId()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = base + std::to_string(serial++) + ".tmp";
    // Nobody else may open it, and the system removes it when the last
    // handle closes, also when the process is ended.
    const HANDLE handle = CreateFileW(SystemPathOf(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<std::intptr_t>(handle);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) {
      error_ = LastErrno();
      return false;
    }
  }
  error_ = EEXIST;
  return false;
}

bool SpillFile::Write(const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(HandleOf(handle_), data, chunk, &written, nullptr)) {
      error_ = LastErrno();
      return false;
    }
    if (written == 0) {
      error_ = ENOSPC;
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool SpillFile::Rewind() {
  LARGE_INTEGER start{};
  if (SetFilePointerEx(HandleOf(handle_), start, nullptr, FILE_BEGIN)) return true;
  error_ = LastErrno();
  return false;
}

long long SpillFile::Read(char* buffer, std::size_t size) {
  DWORD got = 0;
  if (!ReadFile(HandleOf(handle_), buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), &got, nullptr)) {
    error_ = LastErrno();
    return -1;
  }
  return got;
}

std::string SpillFile::DefaultFolder() {
  wchar_t path[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, path);
  if (length == 0 || length > MAX_PATH) return ".";
  return NarrowOf(std::wstring_view(path, length));
}
