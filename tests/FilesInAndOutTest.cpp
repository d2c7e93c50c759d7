// Saving over what is not a plain file of ours, and reading strange inputs.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <future>
#include <thread>
#include <tuple>

#include "TestSupport.h"
#include "compare/SpillChannel.h"
#include "documents/ListingFile.h"
#include "platform/QuillonError.h"
#include "surfaces/ListPane.h"

namespace {

constexpr uid_t kNobody = 65534;

std::string SaveError(const std::string& path) {
  try {
    WriteListingFile({"new"}, path);
  } catch (const QuillonError& error) {
    return error.what();
  }
  return "saved";
}

std::string ReadError(const std::string& path, const ListingReadOptions& options) {
  ListPane pane;
  try {
    ReadListingFile(path, pane, options);
  } catch (const QuillonError& error) {
    EXPECT_EQ(pane.Count(), 0);
    return error.what();
  }
  return "read";
}

struct stat StatOf(const std::string& path) {
  struct stat st {};
  lstat(path.c_str(), &st);
  return st;
}

// Everything a reader of the FIFO or socket fd gets until the writer is done.
std::future<std::string> Drain(int fd) {
  return std::async(std::launch::async, [fd] {
    std::string text;
    char buffer[256];
    for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(got));
    close(fd);
    return text;
  });
}

// Runs the save in a child with the user and group ids of nobody.
bool SavedAsNobody(const std::string& path) {
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(3);
    _exit(SaveError(path) == "saved" ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

#define REQUIRE_ROOT() \
  if (geteuid() != 0) GTEST_SKIP() << "needs root"

}  // namespace

TEST(SavingAFile, WritesDevicesFifosAndSocketsDirectlyAndRefusesBlockDevices) {
  REQUIRE_ROOT();
  TempTree tree;
  ASSERT_EQ(mknod(tree.Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  ASSERT_EQ(mknod(tree.Path("disk").c_str(), S_IFBLK | 0600, makedev(7, 250)), 0);
  tree.Link("null-link", "null");
  tree.Fifo("fifo");
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  tree.Path("sock").copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  listen(listener, 1);

  for (const std::string name : {"null", "null-link"}) EXPECT_EQ(SaveError(tree.Path(name)), "saved");
  EXPECT_TRUE(S_ISCHR(StatOf(tree.Path("null")).st_mode));
  EXPECT_TRUE(S_ISLNK(StatOf(tree.Path("null-link")).st_mode));
  auto fromFifo = std::async(std::launch::async, [&] { return Drain(open(tree.Path("fifo").c_str(), O_RDONLY)).get(); });
  EXPECT_EQ(SaveError(tree.Path("fifo")), "saved");
  EXPECT_EQ(fromFifo.get(), "new\r\n");
  auto fromSocket = std::async(std::launch::async, [&] { return Drain(accept(listener, nullptr, nullptr)).get(); });
  EXPECT_EQ(SaveError(tree.Path("sock")), "saved");
  EXPECT_EQ(fromSocket.get(), "new\r\n");
  close(listener);
  EXPECT_TRUE(S_ISFIFO(StatOf(tree.Path("fifo")).st_mode));

  EXPECT_EQ(SaveError(tree.Path("disk")), "Cannot create file " + tree.Path("disk") + "\nIs a block device");
  EXPECT_TRUE(S_ISBLK(StatOf(tree.Path("disk")).st_mode));
}

TEST(SavingAFile, FollowsALinkInAStickySharedFolderAnywhereOnThePathOnlyWhenItIsOursOrTheFoldersOwners) {
  REQUIRE_ROOT();
  TempTree tree;
  tree.File("secret", "root only\r\n");
  tree.Chmod("secret", 0600);
  tree.Dir("elsewhere");
  tree.File("elsewhere/important.txt", "root only\r\n");
  tree.Dir("shared");
  tree.Chmod("shared", 01777);
  tree.Link("shared/out.qln", tree.Path("secret"));
  tree.Link("shared/dl", tree.Path("elsewhere"));
  // The last part a planted link, or a folder higher up.
  for (const auto& [link, file, target] : {std::tuple{"shared/out.qln", "shared/out.qln", "secret"},
                                           {"shared/dl", "shared/dl/important.txt", "elsewhere/important.txt"}}) {
    ASSERT_EQ(lchown(tree.Path(link).c_str(), kNobody, kNobody), 0);
    EXPECT_EQ(SaveError(tree.Path(file)), "Cannot create file " + tree.Path(file) + "\nPermission denied");
    EXPECT_EQ(tree.Read(target), "root only\r\n");
    EXPECT_TRUE(S_ISLNK(StatOf(tree.Path(link)).st_mode));
    // The same link of our own is followed.
    ASSERT_EQ(lchown(tree.Path(link).c_str(), 0, 0), 0);
    EXPECT_EQ(SaveError(tree.Path(file)), "saved");
    EXPECT_EQ(tree.Read(target), "new\r\n");
  }
  // A file or FIFO planted there by another user is not written into, nor
  // is a second name of a file; what we own is saved as ever.
  tree.File("shared/planted.qln", "theirs\r\n");
  ASSERT_EQ(chown(tree.Path("shared/planted.qln").c_str(), kNobody, kNobody), 0);
  tree.Fifo("shared/pipe");
  ASSERT_EQ(chown(tree.Path("shared/pipe").c_str(), kNobody, kNobody), 0);
  const int reader = open(tree.Path("shared/pipe").c_str(), O_RDONLY | O_NONBLOCK);  // a writer would not wait
  ASSERT_EQ(link(tree.Path("secret").c_str(), tree.Path("shared/hard.qln").c_str()), 0);
  for (const char* planted : {"shared/planted.qln", "shared/pipe", "shared/hard.qln"})
    EXPECT_EQ(SaveError(tree.Path(planted)), "Cannot create file " + tree.Path(planted) + "\nPermission denied");
  char byte;
  EXPECT_EQ(read(reader, &byte, 1), 0);  // no writer came
  close(reader);
  EXPECT_EQ(tree.Read("shared/planted.qln"), "theirs\r\n");
  EXPECT_EQ(StatOf(tree.Path("shared/planted.qln")).st_uid, kNobody);
  EXPECT_EQ(tree.Read("secret"), "new\r\n");
  tree.File("shared/mine.qln", "old\r\n");
  EXPECT_EQ(SaveError(tree.Path("shared/mine.qln")), "saved");
}

TEST(SavingAFile, AnInPlaceRewriteOnAFullDiskKeepsTheOldContent) {
  ScratchMount disk("256k");
  if (!disk.Ready()) GTEST_SKIP() << "a tmpfs cannot be mounted here";
  const std::string path = disk.Path("list.qln");
  const std::string old(4000, 'o');
  std::ofstream(path) << old;
  // A second name makes the save rewrite the file in place.
  ASSERT_EQ(link(path.c_str(), disk.Path("other.qln").c_str()), 0);
  std::ofstream(disk.Path("filler")) << std::string(1 << 20, 'f');
  const std::string line(60, 'n');
  const std::vector<std::string_view> lines(2000, line);
  EXPECT_THROW(WriteListingFile(lines, path), QuillonError);
  for (const char* name : {"list.qln", "other.qln"}) {
    std::ifstream in(disk.Path(name));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), old) << name;
  }
  // With room, the same save goes through.
  ASSERT_EQ(unlink(disk.Path("filler").c_str()), 0);
  WriteListingFile(lines, path);
  std::ifstream in(disk.Path("other.qln"));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}).size(), 2000u * 62);
}

// A full disk under temporary files tells the room needed: the work's
// estimate where it has one, else at least what was written (a listing
// still growing), never "about 0".
TEST(TemporaryFiles, AFullDiskTellsTheRoomNeeded) {
  ScratchMount disk("64k");
  if (!disk.Ready()) GTEST_SKIP() << "a tmpfs cannot be mounted here";
  const std::string block(4096, 'x');
  for (const unsigned long long estimate : {0ULL, 1ULL << 20}) {
    const SpillChannel::Place place{disk.Path(""), estimate};
    SpillChannel channel(&place, block.size());
    std::string error;
    try {
      for (int i = 0; i < 1000; ++i) channel.Put(block.data(), block.size());
    } catch (const QuillonError& failure) {
      error = failure.what();
    }
    const std::string needed = estimate != 0 ? "about 1048576" : "at least " + std::to_string(channel.Written());
    EXPECT_EQ(error, "Not enough room for temporary files in " + place.folder + ": " + needed +
                         " bytes are needed\nNo space left on device");
  }
}

TEST(SavingAFile, KeepsHardLinksAttributesAndTheAccessList) {
  TempTree tree;
  tree.File("a.qln", "old\r\n");
  ASSERT_EQ(link(tree.Path("a.qln").c_str(), tree.Path("b.qln").c_str()), 0);
  EXPECT_EQ(SaveError(tree.Path("a.qln")), "saved");
  EXPECT_EQ(tree.Read("b.qln"), "new\r\n");

  // user:nobody:r-- besides the owner's rw-, the group's and the mask's r--.
  struct Entry {
    std::uint16_t tag, perm;
    std::uint32_t id;
  };
  const std::uint32_t version = 2;
  const Entry entries[] = {{0x01, 6, ~0u}, {0x02, 4, kNobody}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}};
  std::string acl(reinterpret_cast<const char*>(&version), sizeof version);
  acl.append(reinterpret_cast<const char*>(entries), sizeof entries);
  tree.File("acl.qln", "old\r\n");
  const std::string path = tree.Path("acl.qln");
  ASSERT_EQ(setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
  ASSERT_EQ(setxattr(path.c_str(), "user.origin", "kept", 4, 0), 0);
  EXPECT_EQ(SaveError(path), "saved");
  EXPECT_EQ(tree.Read("acl.qln"), "new\r\n");
  std::string got(64, '\0');
  got.resize(static_cast<std::size_t>(std::max<ssize_t>(0, getxattr(path.c_str(), "user.origin", got.data(), got.size()))));
  EXPECT_EQ(got, "kept");
  got.assign(128, '\0');
  got.resize(static_cast<std::size_t>(
      std::max<ssize_t>(0, getxattr(path.c_str(), "system.posix_acl_access", got.data(), got.size()))));
  EXPECT_EQ(got, acl);
}

TEST(SavingAFile, AnotherUsersSaveKeepsTheGroupAndWorksInAFolderItMayNotWrite) {
  REQUIRE_ROOT();
  TempTree tree;
  chmod(tree.Root().c_str(), 0755);
  tree.Dir("locked");
  tree.File("locked/list.qln", "old\r\n");
  tree.Dir("open");
  tree.Chmod("open", 0777);
  tree.File("open/list.qln", "old\r\n");
  tree.Chmod("open/list.qln", 0664);
  ASSERT_EQ(chown(tree.Path("locked/list.qln").c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(chown(tree.Path("open/list.qln").c_str(), kNobody, 4242), 0);
  EXPECT_TRUE(SavedAsNobody(tree.Path("locked/list.qln")));
  EXPECT_TRUE(SavedAsNobody(tree.Path("open/list.qln")));
  EXPECT_EQ(tree.Read("locked/list.qln"), "new\r\n");
  EXPECT_EQ(tree.Read("open/list.qln"), "new\r\n");
  EXPECT_EQ(StatOf(tree.Path("open/list.qln")).st_gid, 4242u);
  EXPECT_EQ(StatOf(tree.Path("open/list.qln")).st_mode & 07777, 0664u);
}

TEST(ReadingAListing, SplitsAHalfMillionCrOnlyLinesInOnePass) {
  // Scanning to the end for each line, this would take hours.
  TempTree tree;
  std::string text;
  for (int i = 0; i < 500000; ++i) text += "01.01.2024 00:00:00 0000000001 Bytes " + std::to_string(i) + "\r";
  tree.File("cr.qln", text);
  ListPane pane;
  ReadListingFile(tree.Path("cr.qln"), pane);
  ASSERT_EQ(pane.Count(), 500000);
  EXPECT_EQ(pane.LineAt(499999), "01.01.2024 00:00:00 0000000001 Bytes 499999");
}

TEST(ReadingAListing, StopsReadingAStreamAtTheFirstNul) {
  TempTree tree;
  tree.Fifo("fifo");
  std::promise<void> read;
  // The writer holds the FIFO open until the reading is done: only the NUL ends it.
  std::thread writer([&] {
    const int fd = open(tree.Path("fifo").c_str(), O_WRONLY);
    EXPECT_EQ(write(fd, "a\r\nb\0more", 9), 9);
    read.get_future().wait();
    close(fd);
  });
  ListPane pane;
  ReadListingFile(tree.Path("fifo"), pane);
  read.set_value();
  writer.join();
  ASSERT_EQ(pane.Count(), 2);
  EXPECT_EQ(pane.LineAt(1), "b");
}

TEST(ReadingAListing, RefusesWhatOutgrowsTheMemoryAndNonRegularFilesWhenAsked) {
  TempTree tree;
  tree.File("big.qln", std::string(2 << 20, 'x'));
  tree.File("short-lines.qln", std::string(1 << 20, '\n'));
  tree.Fifo("fifo");
  const std::string noMemory = "\nCannot allocate memory";
  EXPECT_EQ(ReadError(tree.Path("big.qln"), {.memoryLimit = 1 << 20}), "Cannot open file " + tree.Path("big.qln") + noMemory);
  EXPECT_EQ(ReadError(tree.Path("short-lines.qln"), {.memoryLimit = 4 << 20}),
            "Cannot open file " + tree.Path("short-lines.qln") + noMemory);
  EXPECT_EQ(ReadError(tree.Path("big.qln"), {.memoryLimit = 4 << 20}), "read");
  // No writer: a blocking open would wait for ever.
  EXPECT_EQ(ReadError(tree.Path("fifo"), {.regularFileOnly = true}),
            "Cannot open file " + tree.Path("fifo") + "\nNot a regular file");
}
