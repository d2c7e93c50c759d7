#include "platform/WindowsApi.h"

#include "platform/ReadableFile.h"

#include <algorithm>
#include <limits>

#include "platform/WindowsErrors.h"

namespace {
HANDLE HandleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
}  // namespace

void ReadableFile::Close() {
  if (handle_ != -1) CloseHandle(HandleOf(handle_));
  handle_ = -1;
}

bool ReadableFile::OpenForLoading(const std::string& path, bool /*regularOnly*/) {
  const std::wstring name = SystemPathOf(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    folder_ = true;
    return true;
  }
  // Others may go on reading the file, but not write it meanwhile.
  const HANDLE file =
      CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error_ = ErrnoOfWindowsError(GetLastError());
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  LARGE_INTEGER size;
  regular_ = GetFileType(file) == FILE_TYPE_DISK;
  size_ = regular_ && GetFileSizeEx(file, &size) ? size.QuadPart : -1;
  return true;
}

long long ReadableFile::Read(char* buffer, std::size_t size) {
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, std::numeric_limits<DWORD>::max() / 2));
  DWORD got = 0;
  if (!ReadFile(HandleOf(handle_), buffer, wanted, &got, nullptr)) {
    const DWORD error = GetLastError();
    // The writing end of a pipe closed: that is its end, not an error.
    if (error == ERROR_BROKEN_PIPE) return 0;
    error_ = ErrnoOfWindowsError(error);
    return -1;
  }
  return got;
}
