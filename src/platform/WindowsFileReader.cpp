#include "platform/WindowsApi.h"

#include "platform/WindowsFileReader.h"

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/WindowsErrors.h"

namespace {

// A handle of the kernel fits in 32 bits, so that 32- and 64-bit programs
// can share them; it is carried as the int the interface hands around.
HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd)); }
int FdOf(HANDLE handle) { return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)); }

void SetErrnoFromLastError() { errno = ErrnoOfWindowsError(GetLastError()); }

}  // namespace

int WindowsFileReader::Open(const std::string& path) {
  // Reading never keeps another program from reading, writing or deleting
  // the file; a reparse point is opened as itself, and a device name inside
  // an extended-length path is a plain file name.
  const HANDLE file = CreateFileW(SystemPathOf(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    SetErrnoFromLastError();
    return -1;
  }
  return FdOf(file);
}

long long WindowsFileReader::Read(int fd, void* buffer, std::size_t count) {
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count, std::numeric_limits<DWORD>::max() / 2));
  DWORD got = 0;
  if (!ReadFile(HandleOf(fd), buffer, wanted, &got, nullptr)) {
    SetErrnoFromLastError();
    return -1;
  }
  return got;
}

int WindowsFileReader::Stat(int fd, OpenFileFacts& facts) {
  const HANDLE file = HandleOf(fd);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) {
    SetErrnoFromLastError();
    return -1;
  }
  const DWORD notRegular = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
  facts.RegularFile = GetFileType(file) == FILE_TYPE_DISK && (info.dwFileAttributes & notRegular) == 0;
  facts.Size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  UnixTimeOf(info.ftLastWriteTime, facts.ModifiedSeconds, facts.ModifiedNanoseconds);
  facts.Device = info.dwVolumeSerialNumber;
  facts.Inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  // The change time is not among the facts above.
  FILE_BASIC_INFO basic;
  if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
    SetErrnoFromLastError();
    return -1;
  }
  const FILETIME changed{basic.ChangeTime.LowPart, static_cast<DWORD>(basic.ChangeTime.HighPart)};
  UnixTimeOf(changed, facts.ChangedSeconds, facts.ChangedNanoseconds);
  return 0;
}

void WindowsFileReader::Close(int fd) { CloseHandle(HandleOf(fd)); }
