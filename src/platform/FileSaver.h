#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/InterruptGuard.h"
#include "platform/OutputChannel.h"

// Saves a file the system's way, whole or not at all where the system allows.
//
// POSIX: a regular file with one name, in a folder we may write, gets a new
// file beside it that takes over its owner, group, permissions, extended
// attributes and access list, is flushed to disk and renamed over it, so that
// on any failure it keeps its old content and nothing is left behind; a new
// name is created the same way. Any other regular file is rewritten in place
// and flushed, but only once the whole text is made and the room for it
// reserved, so that a full disk fails the save before the file is touched.
// A character device, a FIFO or a socket is written directly, and so is a
// descriptor we have open, such as standard output; a folder or a block
// device is refused. A link anywhere on the path is written through,
// unless it stands in a sticky world-writable folder and belongs neither to
// us nor to the folder's owner; a dangling link or a loop is refused. In
// such a folder, a file or FIFO of another user (the folder's owner aside),
// or a file with more than one name, is refused too: it may have been put
// there for us to write into. Every step after that walk is taken inside the
// folder it reached.
//
// Windows: the text goes to a new file beside the target, is flushed, and
// takes the target's place with ReplaceFileW, which keeps the old file's
// attributes and security, or with MoveFileExW where there is no old file.
// On any failure the old file keeps its name and its content. A folder or a
// read-only file is refused.
class FileSaver {
 public:
  enum class Failure { None, CannotCreate, StreamWrite, BlockDevice };
  struct Outcome {
    Failure failure = Failure::None;
    int error = 0;  // the reason, as an errno value on every system
  };

  // writeText puts the whole text to the channel it is given, and says
  // whether every byte was stored.
  // Whether Save would hand the text straight to what the name stands for
  // (a character device, a FIFO or a socket), as it comes.
  static bool WritesAsStream(const std::string& fileName);
  // The descriptor of this process that the name stands for (/dev/stdout,
  // /dev/fd/N, /proc/self/fd/N), -1 for any other name; always -1 on
  // Windows. Save writes to it where it stands, at its own offset and with
  // its own append flag, and never replaces or truncates it.
  static int OpenDescriptorOf(const std::string& fileName);

  static Outcome Save(const std::string& fileName, const std::function<bool(OutputChannel&)>& writeText);

  // Where fileName is an existing file, a note that a signal left it as it
  // was, to be held over the work whose result Save is to write to it: a
  // signal then says so whenever it comes before the file is touched. Save
  // puts what it did to the file in its place once it touches the file.
  static std::optional<InterruptGuard::Note> UntouchedNote(const std::string& fileName);
};
