// Tests of the POSIX realisation of the platform layer.
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <map>

#include "TestSupport.h"
#include "platform/MapGuard.h"
#include "platform/PosixFileReader.h"
#include "platform/PosixFolderSearch.h"
#include "platform/RegionalSettings.h"

namespace {

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

TEST(PosixFileReader, ARingOpensReadsAheadAndClosesAsTheCallsOneByOneDo) {
  PosixFileReader reader;
  std::unique_ptr<FileRing> ring = reader.MakeRing();
  if (!ring) GTEST_SKIP() << "this kernel offers no io_uring here";
  TempTree tree;
  tree.File("file", std::string(10000, 'x'));
  tree.Fifo("fifo");
  tree.Link("link", "file");
  const int folder = reader.OpenFolder(tree.Root());
  ASSERT_GE(folder, 0);
  const std::vector<FileRing::OpenAt> opens{{folder, "file"}, {folder, "none"}, {folder, "link"}, {folder, "fifo"}};
  std::vector<int> fds(opens.size());
  ring->OpenAll(opens, fds);
  EXPECT_GE(fds[0], 0);
  EXPECT_EQ(fds[1], -ENOENT);
  EXPECT_EQ(fds[2], -ELOOP);  // a link is never followed
  EXPECT_GE(fds[3], 0);       // nor does a FIFO wait for a writer
  // The file was just written: its bytes come from the page cache.
  std::vector<int> got(1);
  ring->ProbeAll(std::vector<FileRing::Probe>{{fds[0], 4096}}, got);
  EXPECT_EQ(got[0], 4096);
  ring->CloseAll(std::vector<int>{fds[0], fds[3]});
  for (const int fd : {fds[0], fds[3]}) EXPECT_EQ(fcntl(fd, F_GETFD), -1) << "still open: " << fd;
  EXPECT_TRUE(ring->Working());
  reader.Close(folder);

  // Switched off, there is none: each file is asked for on its own.
  setenv("QUILLON_IO_URING", "off", 1);
  EXPECT_EQ(reader.MakeRing(), nullptr);
  unsetenv("QUILLON_IO_URING");
}

TEST(PosixFileReader, AKernelThatRefusesIoUringListsTheSameWithoutAWord) {
  TempTree tree, outputs;
  for (int i = 0; i < 7; ++i) tree.Dir("d" + std::to_string(i));
  for (int i = 0; i < 300; ++i) tree.File("d" + std::to_string(i % 7) + "/f" + std::to_string(i), std::to_string(i));
  const ProgramResult usual = RunProgram({CliPath(), "list", "--md5", tree.Root()});
  ASSERT_EQ(usual.exitCode, 0) << usual.err;
  ASSERT_NE(usual.err.find("Files = 300"), std::string::npos) << usual.err;
  // A child that a seccomp filter refuses io_uring, as a container's may.
  const std::string out = outputs.Path("refused.out"), err = outputs.Path("refused.err");
  const pid_t child = fork();
  if (child == 0) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_io_uring_setup, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
      _exit(90);
    if (PosixFileReader().MakeRing() != nullptr) _exit(91);
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) _exit(92);
    const std::string cli = CliPath(), root = tree.Root();
    execl(cli.c_str(), cli.c_str(), "list", "--md5", root.c_str(), static_cast<char*>(nullptr));
    _exit(93);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  ASSERT_EQ(WEXITSTATUS(status), 0) << outputs.Read("refused.err");
  EXPECT_EQ(outputs.Read("refused.out"), usual.out);
  EXPECT_EQ(outputs.Read("refused.err"), usual.err);  // no word of it
}

TEST(MapGuard, SurvivesAShortenedFileOnlyWhereItWatches) {
  TempTree tree;
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  tree.File("mapped", std::string(3 * page, 'm'));
  const int fd = open(tree.Path("mapped").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  PosixFileReader reader;
  const unsigned char* view = reader.MapIfCached(fd, 3 * page);
  close(fd);
  if (view == nullptr) GTEST_SKIP() << "this file system maps no files from the cache";
  ASSERT_EQ(truncate(tree.Path("mapped").c_str(), static_cast<off_t>(page)), 0);
  struct Touch {
    const unsigned char* at;
    unsigned char seen;
  };
  const auto touch = [](void* context) {
    auto& t = *static_cast<Touch*>(context);
    t.seen = *static_cast<const volatile unsigned char*>(t.at);
  };
  MapGuard guard;
  ASSERT_TRUE(guard.Watch(view, 3 * page));
  Touch kept{view, 0};
  EXPECT_TRUE(guard.Run(touch, &kept));
  EXPECT_EQ(kept.seen, 'm');
  // The lost page again and again: each time a guard is left the same way.
  for (int round = 0; round < 2; ++round) {
    Touch lost{view + 2 * page, 0};
    EXPECT_FALSE(guard.Run(touch, &lost));
    EXPECT_EQ(guard.Lost(), view);
  }
  EXPECT_TRUE(guard.Run(touch, &kept));
  // A fault in memory it does not watch goes to the handler there was
  // before (the default, or a sanitizer's), and ends the program.
  guard.Forget(view);
  Touch lost{view + 2 * page, 0};
  EXPECT_DEATH(guard.Run(touch, &lost), "");
  reader.Unmap(view, 3 * page);
}
