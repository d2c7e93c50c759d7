#include "platform/WindowsApi.h"

#include "platform/WindowsMetaReader.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/StreamDigest.h"
#include "platform/WindowsErrors.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

int LastErrno() { return ErrnoOfWindowsError(GetLastError()); }

std::string HexDigestOf(DigestAlgorithm algorithm, const void* bytes, std::size_t size) {
  StreamDigest digest(algorithm);
  digest.Start();
  digest.Update(static_cast<const unsigned char*>(bytes), size);
  std::string text(DigestDigitsOf(algorithm), '0');
  digest.FinishHex(text.data());
  return text;
}

void ReadSecurity(HANDLE file, EntryMeta& meta) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status = GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       &owner, nullptr, &dacl, nullptr, &descriptor);
  if (status != ERROR_SUCCESS) {
    meta.Failures.push_back({"owner and access list", ErrnoOfWindowsError(status)});
    return;
  }
  LPWSTR sid = nullptr;
  if (owner != nullptr && ConvertSidToStringSidW(owner, &sid)) {
    meta.OwnerSid = NarrowOf(sid);
    LocalFree(sid);
  } else {
    meta.Failures.push_back({"owner", LastErrno()});
  }
  LPWSTR sddl = nullptr;
  ULONG length = 0;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                           &sddl, &length)) {
    const std::string text = NarrowOf(sddl);
    meta.DaclDigest = HexDigestOf(DigestAlgorithm::Sha256, text.data(), text.size());
    LocalFree(sddl);
  } else {
    meta.Failures.push_back({"access list", LastErrno()});
  }
  LocalFree(descriptor);
}

// The digest of one stream, read through its own handle.
std::string StreamDigestOf(const std::wstring& path, DigestAlgorithm algorithm, int& error) {
  const Handle stream(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!stream.Valid()) {
    error = LastErrno();
    return std::string(DigestDigitsOf(algorithm), '0');
  }
  StreamDigest digest(algorithm);
  digest.Start();
  std::vector<unsigned char> block(1 << 16);
  std::string text(DigestDigitsOf(algorithm), '0');
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(stream.Get(), block.data(), static_cast<DWORD>(block.size()), &got, nullptr)) {
      error = LastErrno();
      return text;
    }
    if (got == 0) break;
    digest.Update(block.data(), got);
  }
  digest.FinishHex(text.data());
  return text;
}

void ReadStreams(const std::wstring& path, std::optional<DigestAlgorithm> digests, EntryMeta& meta) {
  WIN32_FIND_STREAM_DATA data;
  const HANDLE search = FindFirstStreamW(path.c_str(), FindStreamInfoStandard, &data, 0);
  if (search == INVALID_HANDLE_VALUE) {
    // No stream at all (a folder without any) is no failure.
    if (GetLastError() != ERROR_HANDLE_EOF) meta.Failures.push_back({"streams", LastErrno()});
    return;
  }
  do {
    // ":name:$DATA"; the file's own content is "::$DATA".
    std::wstring name = data.cStreamName;
    if (name.size() > 6 && name.compare(name.size() - 6, 6, L":$DATA") == 0) name.resize(name.size() - 6);
    if (!name.empty() && name[0] == L':') name.erase(0, 1);
    if (name.empty()) continue;
    EntryMeta::Stream stream{NarrowOf(name), static_cast<std::uint64_t>(data.StreamSize.QuadPart), {}};
    if (digests) {
      int error = 0;
      stream.Digest = StreamDigestOf(path + L":" + name, *digests, error);
      if (error != 0) meta.Failures.push_back({"stream " + stream.Name, error});
    }
    meta.Streams.push_back(std::move(stream));
  } while (FindNextStreamW(search, &data));
  if (GetLastError() != ERROR_HANDLE_EOF) meta.Failures.push_back({"streams", LastErrno()});
  FindClose(search);
}

}  // namespace

void WindowsMetaReader::Read(const std::string& folderPath, const FindData& entry,
                             std::optional<DigestAlgorithm> streamDigests, EntryMeta& meta) {
  meta.Clear();
  meta.Of = EntryMeta::Kind::Windows;
  const std::wstring path = SystemPathOf(folderPath + entry.Name);
  const Handle file(CreateFileW(path.c_str(), READ_CONTROL, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.Valid()) {
    meta.Failures.push_back({"owner and access list", LastErrno()});
    meta.DaclDigest.assign(DigestDigitsOf(DigestAlgorithm::Sha256), '0');
  } else {
    ReadSecurity(file.Get(), meta);
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if ((entry.Attributes & FileAttribute::ReparsePoint) != 0 &&
        GetFileInformationByHandleEx(file.Get(), FileAttributeTagInfo, &tag, sizeof tag))
      meta.ReparseTag = tag.ReparseTag;
  }
  if (meta.DaclDigest.empty() && !meta.Failures.empty()) meta.DaclDigest.assign(DigestDigitsOf(DigestAlgorithm::Sha256), '0');
  // A folder's streams are listed, never read for a digest. The stream
  // search takes a path and would follow a reparse point to its target, so
  // a link's or junction's streams are not looked for.
  if ((entry.Attributes & FileAttribute::ReparsePoint) != 0) return;
  const bool folder = (entry.Attributes & FileAttribute::Directory) != 0;
  ReadStreams(path, folder ? std::nullopt : streamDigests, meta);
}
