// Tests of the Windows realisation of the platform layer; they run under wine.
#include "platform/WindowsApi.h"

#include <winioctl.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "RecordingSurfaces.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "documents/ListingFile.h"
#include "engine/FileDigester.h"
#include "platform/QuillonError.h"
#include "platform/WideText.h"
#include "platform/WindowsFileReader.h"
#include "platform/WindowsFolderSearch.h"

namespace {

std::wstring Wide(const std::string& path) {
  const std::u16string wide = WideText::ToUtf16(WideText::ExtendedLength(path));
  return std::wstring(wide.begin(), wide.end());
}

std::map<std::string, std::uint32_t> SearchAll(WindowsFolderSearch& search, const std::string& folder, int mask) {
  std::map<std::string, std::uint32_t> found;
  FindData entry;
  std::vector<SearchFailure> failures;
  auto handle = search.FindFirstFile(folder + "\\*.*", mask, entry, failures);
  EXPECT_TRUE(failures.empty());
  if (!handle) return found;
  do found[entry.Name] = entry.Attributes;
  while (handle->FindNextFile(entry));
  return found;
}

// The digest of a file of folder as a listing takes it: with what the search saw of it.
FileDigester::Result DigestOf(const std::string& folder, const std::string& name) {
  FileDigester::Expected expected;
  expected.regularFile = true;  // for a name the search does not find
  WindowsFolderSearch search;
  std::vector<SearchFailure> failures;
  FindData entry;
  if (auto handle = search.FindFirstFile(folder + "\\*.*", 63, entry, failures)) {
    do
      if (entry.Name == name) expected = FileDigester::Expected::Of(entry);
    while (handle->FindNextFile(entry));
  }
  WindowsFileReader reader;
  FileDigester digester(reader);
  return digester.ComputeFileDigest(folder + "\\" + name, expected);
}

std::vector<std::string> ListTree(FolderSearch& search, const std::string& folder, bool md5) {
  RecordingSurfaces surfaces;
  TMainWindow window(surfaces, search, RegionalSettings{});
  surfaces.FolderAnswers.push_back(folder);
  surfaces.Md5 = [md5] { return md5; };
  EXPECT_TRUE(window.Dispatch([&] { window.EditListContentActionExecute(); }));
  return surfaces.Lines(PaneId::ListBox1);
}

// Makes folder a junction to target; false where the system cannot.
bool MakeJunction(const std::string& folder, const std::string& target) {
  if (!CreateDirectoryW(Wide(folder).c_str(), nullptr)) return false;
  const HANDLE handle = CreateFileW(Wide(folder).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const std::u16string substitute = WideText::ToUtf16("\\??\\" + target);
  const auto bytes = static_cast<USHORT>(substitute.size() * 2);
  std::vector<char> buffer(32 + bytes + 4, 0);
  auto* header = reinterpret_cast<USHORT*>(buffer.data() + 8);
  *reinterpret_cast<DWORD*>(buffer.data()) = IO_REPARSE_TAG_MOUNT_POINT;
  *reinterpret_cast<USHORT*>(buffer.data() + 4) = static_cast<USHORT>(8 + bytes + 4);
  header[0] = 0;                                   // substitute name offset
  header[1] = bytes;                               // substitute name length
  header[2] = static_cast<USHORT>(bytes + 2);      // print name offset
  header[3] = 0;                                   // print name length
  std::memcpy(buffer.data() + 16, substitute.data(), bytes);
  DWORD returned = 0;
  const bool made = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                    static_cast<DWORD>(8 + 8 + bytes + 4), nullptr, 0, &returned, nullptr);
  CloseHandle(handle);
  if (!made) RemoveDirectoryW(Wide(folder).c_str());
  return made;
}

}  // namespace

TEST(WindowsFolderSearch, GivesTheAttributeWordOfEachEntryAndFiltersByIt) {
  TempTree tree;
  tree.File("plain");
  tree.File("readonly");
  tree.File("hidden");
  tree.File("system");
  tree.Dir("folder");
  SetFileAttributesW(Wide(tree.Path("readonly")).c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW(Wide(tree.Path("hidden")).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  SetFileAttributesW(Wide(tree.Path("system")).c_str(), FILE_ATTRIBUTE_SYSTEM);
  WindowsFolderSearch search;
  auto found = SearchAll(search, tree.Root(), 63);
  // Whether a file also shows archive or normal is the file system's affair.
  for (auto& [name, attributes] : found) attributes &= 0x1F;
  EXPECT_EQ(found, (std::map<std::string, std::uint32_t>{{".", 0x10},
                                                         {"..", 0x10},
                                                         {"plain", 0x00},
                                                         {"readonly", 0x01},
                                                         {"hidden", 0x02},
                                                         {"system", 0x04},
                                                         {"folder", 0x10}}));
  // Without the hidden, system and directory bits in the mask those entries are passed over.
  const auto filtered = SearchAll(search, tree.Root(), 63 & ~0x02 & ~0x04 & ~0x10);
  EXPECT_EQ(filtered.size(), 2u);
  EXPECT_TRUE(filtered.count("plain") && filtered.count("readonly"));
  tree.Chmod("readonly", 0644);

  // A folder that cannot be searched is told from an empty one.
  FindData entry;
  std::vector<SearchFailure> failures;
  EXPECT_FALSE(search.FindFirstFile(tree.Path("missing") + "\\*.*", 63, entry, failures));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_TRUE(failures[0].Folder);
  EXPECT_EQ(failures[0].Error, ENOENT);
}

TEST(WindowsFolderSearch, ListsAJunctionAsAFolderButNeverWalksIt) {
  TempTree tree;
  tree.Dir("real");
  tree.File("real/inside", "x");
  if (!MakeJunction(tree.Path("loop"), tree.Root()))
    GTEST_SKIP() << "this system makes no junctions; the cross-system listing test walks a linked folder";
  WindowsFolderSearch search;
  const auto lines = ListTree(search, tree.Root(), false);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].substr(49), tree.Path("real/inside"));
  EXPECT_EQ(std::set<std::string>(lines.begin() + 2, lines.begin() + 4),
            (std::set<std::string>{tree.Path("loop") + "\\", tree.Path("real") + "\\"}));
  EXPECT_EQ(lines[5], "Number of Files = 1  Number of Folders = 2  Total Size = 1 Bytes");
}

TEST(WindowsFolderSearch, ListsAndDigestsBeyondTheOldPathLimitWithoutThePrefix) {
  TempTree tree;
  std::string relative;
  for (int depth = 0; depth < 6; ++depth) relative += (depth ? "/" : "") + std::string(60, char('a' + depth));
  ASSERT_TRUE(std::filesystem::create_directories(std::filesystem::path(Wide(tree.Path(relative)))));
  const std::string file = tree.Path(relative + "/deep.txt");
  ASSERT_GT(file.size(), 300u);
  const HANDLE handle = CreateFileW(Wide(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(handle, "abc", 3, &written, nullptr);
  CloseHandle(handle);

  WindowsFolderSearch search;
  const auto lines = ListTree(search, tree.Root(), true);
  ASSERT_EQ(lines.size(), 1u + 2 + 6 + 1);
  EXPECT_EQ(lines[0].substr(20), "0000000003 Bytes _____A_____ 900150983cd24fb0d6963f7d28e17f72 " + file);
  EXPECT_EQ(lines[7], tree.Path(relative) + "\\");
  for (const std::string& line : lines) EXPECT_EQ(line.find("\\\\?\\"), std::string::npos) << line;
}

TEST(CngDigest, DigestsKnownFilesAndNeverKeepsOthersOut) {
  TempTree tree;
  tree.File("empty");
  tree.File("abc", "abc");
  std::string big;
  for (int i = 0; i < 1000000; ++i) big += "a";
  tree.File("million-a", big);
  const std::string root = tree.Root();
  EXPECT_EQ(DigestOf(root, "empty").text, "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(DigestOf(root, "abc").text, "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(DigestOf(root, "million-a").text, "7707d6ae4e027c70eea2a935c2296f21");
  const auto missing = DigestOf(root, "missing");
  EXPECT_EQ(missing.text, std::string(32, '0'));
  EXPECT_EQ(missing.error, ENOENT);
  tree.Dir("folder");
  EXPECT_EQ(DigestOf(root, "folder").outcome, FileDigester::Outcome::NotAFile);

  // A file another program is writing is still read; one it keeps to itself gives zeros.
  const HANDLE writer = CreateFileW(Wide(tree.Path("abc")).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(DigestOf(root, "abc").text, "900150983cd24fb0d6963f7d28e17f72");
  CloseHandle(writer);
  const HANDLE exclusive =
      CreateFileW(Wide(tree.Path("abc")).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  const auto kept = DigestOf(root, "abc");
  EXPECT_EQ(kept.text, std::string(32, '0'));
  EXPECT_EQ(kept.error, EACCES);
  CloseHandle(exclusive);
}

TEST(WindowsSave, ReplacesAFileKeepingItsAttributesAndKeepsItWholeWhenReplacingFails) {
  TempTree tree;
  tree.File("listing.qln", "old\r\n");
  const std::string path = tree.Path("listing.qln");
  SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  WriteListingFile({"new"}, path);
  EXPECT_EQ(tree.Read("listing.qln"), "new\r\n");
  EXPECT_TRUE(GetFileAttributesW(Wide(path).c_str()) & FILE_ATTRIBUTE_HIDDEN);

  // Held open by a program that lets nobody delete or write it: the save fails, the file stays whole.
  const HANDLE holder = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  try {
    WriteListingFile({"newer", "and longer"}, path);
    ADD_FAILURE() << "a file in use was replaced";
  } catch (const QuillonError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot create file " + path + "\nPermission denied");
  }
  CloseHandle(holder);
  EXPECT_EQ(tree.Read("listing.qln"), "new\r\n");

  // A read-only file is not replaced either; nothing is left beside it.
  tree.Chmod("listing.qln", 0444);
  EXPECT_THROW(WriteListingFile({"x"}, path), QuillonError);
  tree.Chmod("listing.qln", 0644);
  EXPECT_EQ(tree.Read("listing.qln"), "new\r\n");
  // No new file of ours is left beside it. (Wine's replace leaves an empty
  // "rf*.tmp" of its own when it fails; Windows does not.)
  for (const auto& entry : std::filesystem::directory_iterator(Wide(tree.Root())))
    EXPECT_NE(entry.path().filename().wstring().rfind(L".qln-", 0), 0u) << entry.path().filename().string();
}
