#pragma once

#include <string>

#include "platform/FileDescriptor.h"

// A path followed part by part with openat and O_NOFOLLOW, ending in the
// folder that holds its last part. Whatever is done afterwards is done
// relative to that folder, so that a link or folder swapped in after the walk
// cannot send it elsewhere.
//
// A link is followed by the rule of Linux's fs.protected_symlinks, kept
// whatever the system sets: in a sticky world-writable folder, such as /tmp,
// only when it belongs to us or to the folder's owner, so that nobody can
// plant one there that makes us write to a file of their choosing. The links
// of /proc, which often name no path ("pipe:[…]"), are left to the kernel.
class WalkedPath {
 public:
  // Raises std::system_error with the system's reason. With makeFolders,
  // missing folders on the way are made, for the user alone.
  explicit WalkedPath(const std::string& path, bool makeFolders = false);

  // The folder reached, opened with O_PATH.
  int Folder() const { return folder_.Get(); }
  // The last part in it: no link, or missing, or a link of /proc.
  const std::string& Name() const { return name_; }
  // The last part of the path given was a link; a missing Name is then a dangling link.
  bool ThroughLink() const { return throughLink_; }
  // Name is a link of /proc, to be opened by the kernel's rule, not O_NOFOLLOW.
  bool KernelLink() const { return kernelLink_; }
  // A path to Name that passes through the folder reached, for the calls that
  // only take a path: /proc/self/fd/N/NAME.
  std::string BoundPath() const { return BoundFolder() + "/" + name_; }
  std::string BoundFolder() const { return "/proc/self/fd/" + std::to_string(folder_.Get()); }

 private:
  FileDescriptor folder_;
  std::string name_;
  bool throughLink_ = false;
  bool kernelLink_ = false;
};
