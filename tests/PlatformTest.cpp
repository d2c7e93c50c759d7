#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <map>

#include "TestSupport.h"
#include "platform/PosixFolderSearch.h"
#include "platform/RegionalSettings.h"
#include "platform/Vexmd5.h"

namespace {

std::string Md5Of(const std::string& data, std::size_t step) {
  md5_context context;
  md5_starts(&context);
  for (std::size_t at = 0; at < data.size(); at += step) {
    const std::size_t count = std::min(step, data.size() - at);
    md5_update(&context, reinterpret_cast<const unsigned char*>(data.data() + at), static_cast<std::uint32_t>(count));
  }
  unsigned char digest[16];
  md5_finish(&context, digest);
  char text[33];
  md5_toHexStr(text, digest);
  return text;
}

std::map<std::string, std::uint32_t> SearchAll(const std::string& folder, int mask) {
  PosixFolderSearch search;
  std::map<std::string, std::uint32_t> found;
  FindData entry;
  std::vector<SearchFailure> failures;
  auto handle = search.FindFirstFile(folder + "/*.*", mask, entry, failures);
  if (!handle) return found;
  do found[entry.Name] = entry.Attributes;
  while (handle->FindNextFile(entry));
  return found;
}

}  // namespace

TEST(Vexmd5, Rfc1321TestSuiteInAnyBlockSize) {
  const std::pair<std::string, std::string> suite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [input, digest] : suite) {
    EXPECT_EQ(Md5Of(input, 512), digest) << input;
    EXPECT_EQ(Md5Of(input, 1), digest) << input;
    EXPECT_EQ(Md5Of(input, 7), digest) << input;
  }
}

TEST(PosixFolderSearch, MapsEveryKindOfEntryToItsAttributeWord) {
  TempTree tree;
  tree.File("plain");
  tree.File("readonly");
  tree.Chmod("readonly", 0444);
  tree.File(".hidden");
  tree.Dir("folder");
  tree.Dir("locked-folder");
  tree.Chmod("locked-folder", 0555);
  tree.Link("link", "plain");
  tree.Link("dangling", "nowhere");
  tree.Fifo("fifo");
  tree.Fifo(".hidden-fifo");
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, tree.Path("socket").c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  const auto found = SearchAll(tree.Root(), 63);
  const std::map<std::string, std::uint32_t> expected = {
      {".", 0x12},       {"..", 0x12},          {"plain", 0x80},  {"readonly", 0x01},   {".hidden", 0x02},
      {"folder", 0x10},  {"locked-folder", 0x11}, {"link", 0x80}, {"dangling", 0x80},   {"fifo", 0x04},
      {".hidden-fifo", 0x06}, {"socket", 0x04},
  };
  EXPECT_EQ(found, expected);
  close(sock);
}

TEST(PosixFolderSearch, FiltersByTheAttributeMaskAndReportsWhatLstatSees) {
  TempTree tree;
  tree.File("file", "12345");
  tree.File(".hidden");
  tree.Dir("folder");
  tree.Link("link", "file");
  tree.SetTime("link", 1000000000, 123456789);

  // Without the hidden and directory bits those entries are passed over.
  const auto filtered = SearchAll(tree.Root(), 63 & ~0x02 & ~0x10);
  EXPECT_EQ(filtered, (std::map<std::string, std::uint32_t>{{"file", 0x80}, {"link", 0x80}}));

  PosixFolderSearch search;
  FindData entry;
  std::vector<SearchFailure> failures;
  auto handle = search.FindFirstFile(tree.Root() + "/*.*", 63, entry, failures);
  ASSERT_TRUE(handle);
  std::map<std::string, FindData> byName;
  do byName[entry.Name] = entry;
  while (handle->FindNextFile(entry));
  EXPECT_EQ(byName["file"].Size, 5u);
  // A link is described by its own data: its size is the length of its target.
  EXPECT_EQ(byName["link"].Size, 4u);
  EXPECT_EQ(byName["link"].ModifiedSeconds, 1000000000);
  EXPECT_EQ(byName["link"].ModifiedNanoseconds, 123456789u);
}

TEST(PosixFolderSearch, AFolderThatCannotBeSearchedYieldsNothingButItsFailure) {
  PosixFolderSearch search;
  FindData entry;
  std::vector<SearchFailure> failures;
  EXPECT_FALSE(search.FindFirstFile("/no/such/folder/*.*", 63, entry, failures));
  TempTree tree;
  tree.File("file");
  EXPECT_FALSE(search.FindFirstFile(tree.Path("file") + "/*.*", 63, entry, failures));
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_TRUE(failures[0].Folder && failures[0].Name.empty() && failures[0].Error == ENOENT);
  EXPECT_EQ(failures[1].Error, ENOTDIR);
}

TEST(RegionalSettings, TakesTheTimeSeparatorFromTheTimeFormat) {
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat("%H:%M:%S"), ":");
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat("%H.%M.%S"), ".");
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat("%I:%M:%S %p"), ":");
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat("%T"), ":");
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat("%Hh%Mm%Ss"), "h");
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat("%H%M%S"), ":");
  EXPECT_EQ(RegionalSettings::TimeSeparatorFromFormat(""), ":");
}

TEST(RegionalSettings, FallsBackWhereTheLocaleHasNoValue) {
  // The C locale has no thousands separator at all; an unknown locale cannot be read.
  for (const char* name : {"C", "xx_NOWHERE.UTF-8"}) {
    setenv("LC_ALL", name, 1);
    const RegionalSettings settings = RegionalSettings::FromUserLocale();
    EXPECT_EQ(settings.ThousandSeparator, ",") << name;
    EXPECT_EQ(settings.TimeSeparator, ":") << name;
  }
  unsetenv("LC_ALL");
}

TEST(RegionalSettings, ReadsTheSeparatorsOfTheUsersLocale) {
  {
    UserLocale german("de_DE");
    if (!german.Ready()) GTEST_SKIP() << "locales cannot be compiled here";
    const RegionalSettings settings = RegionalSettings::FromUserLocale();
    EXPECT_EQ(settings.ThousandSeparator, ".");
    EXPECT_EQ(settings.TimeSeparator, ":");
  }
  UserLocale finnish("fi_FI");
  ASSERT_TRUE(finnish.Ready());
  const RegionalSettings settings = RegionalSettings::FromUserLocale();
  EXPECT_EQ(settings.ThousandSeparator, "\xE2\x80\xAF");  // a narrow no-break space
  EXPECT_EQ(settings.TimeSeparator, ".");
}
