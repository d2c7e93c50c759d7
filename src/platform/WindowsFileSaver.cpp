#include "platform/WindowsApi.h"

#include "platform/FileSaver.h"

#include <algorithm>
#include <cerrno>

#include "platform/InterruptGuard.h"
#include "platform/WindowsErrors.h"

namespace {

int LastErrno() { return ErrnoOfWindowsError(GetLastError()); }

// The new file beside the target, removed unless it took the target's place.
class NewFile : public OutputChannel {
 public:
  ~NewFile() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    if (!path_.empty()) {
      DeleteFileW(path_.c_str());
      InterruptGuard::DisarmTemporary();
    }
  }

  bool Create(const std::string& folder) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string name =
          folder + ".qln-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt) + ".tmp";
      InterruptGuard::Deferral hold;
      // Nobody else may open the new file while it is being written.
      handle_ = CreateFileW(SystemPathOf(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
      if (handle_ != INVALID_HANDLE_VALUE) {
        path_ = SystemPathOf(name);
        InterruptGuard::ArmTemporary(name.c_str());
        return true;
      }
      if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
  }

  bool Write(const char* data, std::size_t size) override {
    while (size > 0) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
      DWORD written = 0;
      if (!WriteFile(handle_, data, chunk, &written, nullptr)) return false;
      if (written == 0) {
        SetLastError(ERROR_DISK_FULL);
        return false;
      }
      data += written;
      size -= written;
    }
    return true;
  }

  // Flushed to disk and closed; false with the system's error otherwise.
  bool Finish() {
    const bool flushed = FlushFileBuffers(handle_) != 0;
    const DWORD error = GetLastError();
    const bool closed = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    if (!flushed) SetLastError(error);
    return flushed && closed;
  }

  const std::wstring& Path() const { return path_; }
  void Keep() {
    path_.clear();
    InterruptGuard::DisarmTemporary();
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::wstring path_;
};

}  // namespace

// Every name is saved through a new file.
bool FileSaver::WritesAsStream(const std::string&) { return false; }

int FileSaver::OpenDescriptorOf(const std::string&) { return -1; }

FileSaver::Outcome FileSaver::Save(const std::string& fileName, const std::function<bool(OutputChannel&)>& writeText) {
  const std::wstring target = SystemPathOf(fileName);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {Failure::CannotCreate, EISDIR};
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return {Failure::CannotCreate, EACCES};
  const auto separator = fileName.find_last_of("\\/");
  NewFile file;
  if (!file.Create(separator == std::string::npos ? std::string() : fileName.substr(0, separator + 1)))
    return {Failure::CannotCreate, LastErrno()};
  SetLastError(0);
  if (!writeText(file) || !file.Finish()) {
    const DWORD error = GetLastError();
    return {Failure::StreamWrite, error != 0 ? ErrnoOfWindowsError(error) : ENOSPC};
  }
  // Replacing keeps the old file's attributes and security; on failure the old
  // file keeps its name and its content.
  // The file changes here: a signal says on which side of it the run ended.
  InterruptGuard::Deferral hold;
  bool replaced = exists && ReplaceFileW(target.c_str(), file.Path().c_str(), nullptr,
                                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
  if (!replaced && (!exists || GetLastError() == ERROR_FILE_NOT_FOUND))
    replaced = MoveFileExW(file.Path().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!replaced) return {Failure::CannotCreate, LastErrno()};
  file.Keep();
  InterruptGuard::Note whole(fileName + " was written in full before the interrupt");
  whole.Keep();
  // Not every file system's replace carries the old attributes over by itself.
  constexpr DWORD kKept =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  if (exists && (attributes & kKept) != 0) SetFileAttributesW(target.c_str(), attributes & kKept);
  return {};
}

std::optional<InterruptGuard::Note> FileSaver::UntouchedNote(const std::string& fileName) {
  const DWORD attributes = fileName.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(SystemPathOf(fileName).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
  return std::optional<InterruptGuard::Note>(std::in_place, fileName + " was left as it was");
}
