#include "platform/WindowsApi.h"

#include "platform/WindowsKeyFile.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/QuillonError.h"
#include "platform/WindowsErrors.h"

namespace {

// Key files are a few hundred bytes; anything much larger is no key.
constexpr DWORD kMaxKeyFile = 64 * 1024;

// Rights that read a file, or let their holder give themselves that right.
constexpr DWORD kReadRights = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL | WRITE_DAC | WRITE_OWNER;
// Rights that change or replace a file, or lead to them.
constexpr DWORD kWriteRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | GENERIC_WRITE | GENERIC_ALL | WRITE_DAC | WRITE_OWNER;
// Rights that put another file in a folder or take one out of it.
constexpr DWORD kFolderWriteRights =
    FILE_ADD_FILE | FILE_DELETE_CHILD | DELETE | GENERIC_WRITE | GENERIC_ALL | WRITE_DAC | WRITE_OWNER;

[[noreturn]] void Fail(const std::string& message, DWORD error = ERROR_SUCCESS) {
  throw QuillonError(error != ERROR_SUCCESS ? message + "\n" + std::strerror(ErrnoOfWindowsError(error)) : message);
}

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle Opened(HANDLE handle) { return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle); }

struct LocalFreer {
  void operator()(void* memory) const { LocalFree(memory); }
};

// The SID of the user this process runs as.
std::vector<BYTE> CurrentUser() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) Fail("The current account cannot be told", GetLastError());
  const Handle held(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
    Fail("The current account cannot be told", GetLastError());
  const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  return std::vector<BYTE>(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
}

bool Trusted(PSID sid, PSID me) {
  return EqualSid(sid, me) || IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
         // The owner of the file, who is checked to be one of those.
         IsWellKnownSid(sid, WinCreatorOwnerRightsSid);
}

// The account as icacls and takeown take it: DOMAIN\name, or *SID.
std::string AccountOf(PSID sid) {
  wchar_t name[256], domain[256];
  DWORD nameSize = 256, domainSize = 256;
  SID_NAME_USE use;
  if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
    return NarrowOf(domainSize > 0 ? std::wstring(domain) + L"\\" + name : std::wstring(name));
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return "an unknown account";
  const std::unique_ptr<wchar_t, LocalFreer> held(text);
  return "*" + NarrowOf(text);
}

// A path or an account in a command line.
std::string Arg(const std::string& text) { return text.find(' ') == std::string::npos ? text : "\"" + text + "\""; }

// The accounts other than the trusted ones that hold any of rights.
struct Others {
  std::vector<std::string> all;       // every such account, once
  std::vector<std::string> explicitly;  // those granted it on the object itself, not inherited

  bool Any() const { return !all.empty(); }
  std::string Names() const {
    std::string names;
    for (const std::string& name : all) names += (names.empty() ? "" : ", ") + name;
    return names;
  }
  std::string Args(const std::string& suffix = "") const {
    std::string args;
    for (const std::string& name : all) args += " " + Arg(name + suffix);
    return args;
  }
};

class Security {
 public:
  explicit Security(HANDLE object) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                        &owner_, nullptr, &dacl_, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) error_ = error;
    descriptor_.reset(descriptor);
  }
  DWORD Error() const { return error_; }
  PSID Owner() const { return owner_; }

  Others Holding(DWORD rights, PSID me) const {
    Others others;
    const auto add = [&](const std::string& name, bool inherited) {
      bool known = false;
      for (const std::string& seen : others.all) known = known || seen == name;
      if (!known) others.all.push_back(name);
      if (!inherited) others.explicitly.push_back(name);
    };
    // No DACL at all lets everyone do everything.
    if (dacl_ == nullptr) {
      add("Everyone", false);
      return others;
    }
    for (DWORD i = 0; i < dacl_->AceCount; ++i) {
      void* entry = nullptr;
      if (!GetAce(dacl_, i, &entry)) continue;
      const auto* header = static_cast<const ACE_HEADER*>(entry);
      // Entries only passed on to what the folder holds apply to it not.
      if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
      if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) continue;
      const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
      const PSID sid = const_cast<DWORD*>(&ace->SidStart);
      if ((ace->Mask & rights) == 0 || Trusted(sid, me) || IsWellKnownSid(sid, WinCreatorOwnerSid)) continue;
      add(AccountOf(sid), (header->AceFlags & INHERITED_ACE) != 0);
    }
    return others;
  }

 private:
  std::unique_ptr<void, LocalFreer> descriptor_;
  PSID owner_ = nullptr;
  PACL dacl_ = nullptr;
  DWORD error_ = ERROR_SUCCESS;
};

// A path from GetFinalPathNameByHandle as the user would write it.
std::string Plain(std::wstring path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return NarrowOf(L"\\\\" + path.substr(8));
  if (path.rfind(L"\\\\?\\", 0) == 0) return NarrowOf(path.substr(4));
  return NarrowOf(path);
}

// The folder holding the opened file, opened for its security only.
Handle OpenHolder(HANDLE file, std::string& name) {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  if (length >= path.size()) {
    path.resize(length + 1);
    length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
  }
  if (length == 0 || length >= path.size()) return nullptr;
  path.resize(length);
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return nullptr;
  path.resize(slash);
  if (!path.empty() && path.back() == L':') path += L'\\';  // a drive's root
  name = Plain(path);
  return Opened(CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

void CheckHolders(const std::string& file, HANDLE handle, bool privateKey, PSID me) {
  const Security security(handle);
  if (security.Error() != ERROR_SUCCESS) Fail("Cannot open the key file " + file, security.Error());
  if (!Trusted(security.Owner(), me))
    Fail("The key file " + file + " belongs to another account (" + AccountOf(security.Owner()) +
         "), so it is not used: its owner could put a key of their own in it. Make it yours with the command \"takeown /f " +
         Arg(file) + "\".");
  if (privateKey) {
    const Others others = security.Holding(kReadRights | kWriteRights, me);
    if (others.Any()) {
      std::string fix = "icacls " + Arg(file) + " /inheritance:r /grant:r " + Arg(AccountOf(me) + ":F");
      if (!others.explicitly.empty()) {
        fix += "\" and then \"icacls " + Arg(file) + " /remove:g";
        for (const std::string& name : others.explicitly) fix += " " + Arg(name);
      }
      Fail("The private key file " + file + " may be read or written by others (" + others.Names() +
           "), so it is not used: anyone who can read it can sign for you. Make it yours alone with the command \"" + fix +
           "\".");
    }
  }
  const Others writers = security.Holding(kWriteRights, me);
  if (writers.Any())
    Fail("The key file " + file + " may be written by others (" + writers.Names() +
         "), so it is not used: anyone who can write it could put a key of their own in it. Take their right away with "
         "the command \"icacls " + Arg(file) + " /inheritance:d /grant:r" + writers.Args(":(R)") + "\".");

  std::string folder;
  const Handle holder = OpenHolder(handle, folder);
  if (!holder) Fail("Cannot open the folder that holds the key file " + file, GetLastError());
  const Security around(holder.get());
  if (around.Error() != ERROR_SUCCESS) Fail("Cannot open the folder " + folder, around.Error());
  if (!Trusted(around.Owner(), me))
    Fail("The folder " + folder + " that holds the key file " + file + " belongs to another account (" +
         AccountOf(around.Owner()) +
         "), so the key is not used: its owner could put another key in its place. Make it yours with the command "
         "\"takeown /f " + Arg(folder) + "\".");
  const Others folderWriters = around.Holding(kFolderWriteRights, me);
  if (folderWriters.Any())
    Fail("The folder " + folder + " that holds the key file " + file + " may be written by others (" +
         folderWriters.Names() +
         "), so the key is not used: anyone who can write it could put another key in its place. Take their right "
         "away with the command \"icacls " + Arg(folder) + " /inheritance:d /grant:r" + folderWriters.Args(":(OI)(CI)(RX)") +
         "\".");
}

bool WriteAll(HANDLE file, const std::string& text) {
  DWORD written = 0;
  return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size() &&
         FlushFileBuffers(file);
}

}  // namespace

namespace WindowsKeyFile {

std::string Read(const std::string& file, bool privateKey) {
  // A link is opened as itself, to be refused.
  const Handle handle = Opened(CreateFileW(SystemPathOf(file).c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) Fail("Cannot open the key file " + file, GetLastError());
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(handle.get(), &information)) Fail("Cannot open the key file " + file, GetLastError());
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    Fail("The key file " + file + " is a link, so it is not used: whoever may write its folder could point it "
         "elsewhere. Give the key file itself.");
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || GetFileType(handle.get()) != FILE_TYPE_DISK)
    Fail("The key file " + file + " is not a regular file");
  std::vector<BYTE> me = CurrentUser();
  CheckHolders(file, handle.get(), privateKey, me.data());
  if (information.nFileSizeHigh != 0 || information.nFileSizeLow > kMaxKeyFile)
    Fail("The key file " + file + " holds no Ed25519 key");
  std::string text(information.nFileSizeLow, '\0');
  DWORD got = 0;
  if (!text.empty() && !ReadFile(handle.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr))
    Fail("Cannot read the key file " + file, GetLastError());
  text.resize(got);
  return text;
}

void Create(const std::string& privateFile, const std::string& privateText, const std::string& publicFile,
            const std::string& publicText) {
  // The private key's own DACL: the current user alone, nothing inherited.
  std::vector<BYTE> me = CurrentUser();
  std::vector<BYTE> aclRoom(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + me.size());
  const auto acl = reinterpret_cast<PACL>(aclRoom.data());
  SECURITY_DESCRIPTOR descriptor;
  if (!InitializeAcl(acl, static_cast<DWORD>(aclRoom.size()), ACL_REVISION) ||
      !AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, me.data()) ||
      !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
      !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
    Fail("No key file readable by you alone can be made", GetLastError());
  SECURITY_ATTRIBUTES own{sizeof own, &descriptor, FALSE};

  const auto createNew = [](const std::string& file, SECURITY_ATTRIBUTES* security) {
    Handle made = Opened(CreateFileW(SystemPathOf(file).c_str(), GENERIC_WRITE | READ_CONTROL, 0, security, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = GetLastError();
    if (!made && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS))
      Fail(file + " exists already; a new key never replaces a file. Remove it first, or give another name");
    if (!made) Fail("Cannot create file " + file, error);
    return made;
  };
  // Both names are taken before anything is written, so that a clash leaves nothing behind.
  Handle privateHandle = createNew(privateFile, &own);
  Handle publicHandle;
  try {
    publicHandle = createNew(publicFile, nullptr);
  } catch (...) {
    privateHandle.reset();
    DeleteFileW(SystemPathOf(privateFile).c_str());
    throw;
  }
  // A key made where another account could swap it would never be used: it
  // and its folder are checked as they will be when the key is read, before
  // any key is written.
  try {
    CheckHolders(privateFile, privateHandle.get(), true, me.data());
  } catch (...) {
    privateHandle.reset();
    publicHandle.reset();
    DeleteFileW(SystemPathOf(privateFile).c_str());
    DeleteFileW(SystemPathOf(publicFile).c_str());
    throw;
  }
  if (!WriteAll(privateHandle.get(), privateText) || !WriteAll(publicHandle.get(), publicText)) {
    const DWORD error = GetLastError();
    privateHandle.reset();
    publicHandle.reset();
    DeleteFileW(SystemPathOf(privateFile).c_str());
    DeleteFileW(SystemPathOf(publicFile).c_str());
    Fail("Cannot write the key files " + privateFile + " and " + publicFile, error != ERROR_SUCCESS ? error : ERROR_DISK_FULL);
  }
}

}  // namespace WindowsKeyFile
