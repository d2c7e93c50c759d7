#include "engine/PageFetcher.h"

#include <algorithm>
#include <cerrno>

void PageFetcher::SetDepth(std::size_t files) {
  Finish();
  depth_ = files;
}

void PageFetcher::Add(std::vector<std::shared_ptr<File>> files) {
  if (depth_ == 0 || files.empty()) return;
  bool resting;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // While it rests the digests pass it by; what they took is of no use.
    while (!queue_.empty() && queue_.front()->state.load() != kQueued) queue_.pop_front();
    for (auto& file : files) queue_.push_back(std::move(file));
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
    resting = resting_;
  }
  // A resting fetcher has nothing to do with more files until a digest
  // wakes it: waking it for each folder queued costs two system calls.
  if (!resting) changed_.notify_one();
}

bool PageFetcher::Claim(File& file) {
  int state = kQueued;
  if (file.state.compare_exchange_strong(state, kClaimed)) return false;
  // A fetch under way takes a few system calls: wait for its end, so that
  // its pages are not asked for after the digest has handed them back.
  while (state == kFetching) {
    file.state.wait(kFetching);
    state = file.state.load();
  }
  return state == kFetched;
}

void PageFetcher::Digested(File& file, bool fetched, bool waitedForDisk) {
  if (!fetched && !waitedForDisk) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fetched) {
      --filesAhead_;
      bytesAhead_ -= file.fetchedBytes;
    } else {
      // The disk is being read after all: fetch again.
      resting_ = false;
      cachedInARow_ = 0;
    }
  }
  changed_.notify_one();
}

void PageFetcher::Reset() {
  std::unique_lock<std::mutex> lock(mutex_);
  queue_.clear();
  idle_.wait(lock, [this] { return !busy_; });
  filesAhead_ = 0;
  bytesAhead_ = 0;
  cachedInARow_ = 0;
  resting_ = false;
}

void PageFetcher::Finish() {
  Reset();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = false;
}

void PageFetcher::Loop() {
  // The thread's own: folders held open for the files in them, and where
  // the system has one, a ring that asks for a batch of files at once.
  FileOpener opener(reader_);
  std::unique_ptr<FileRing> ring = reader_.MakeRing();
  std::vector<std::shared_ptr<File>> batch;
  std::vector<std::uint64_t> fetched;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] {
      return stopping_ || (!queue_.empty() && !resting_ && Room() > 0 && RoomBytes() > 0);
    });
    if (stopping_) return;
    // A batch within the room there is: what a ring asks for at once, or
    // one file.
    batch.clear();
    for (std::uint64_t room = Room(), bytes = 0;
         !queue_.empty() && batch.size() < (ring ? kRingBatch : 1) && batch.size() < room && bytes < RoomBytes();) {
      std::shared_ptr<File> file = std::move(queue_.front());
      queue_.pop_front();
      int state = kQueued;
      if (!file->state.compare_exchange_strong(state, kFetching)) continue;  // its digest is under way
      bytes += std::min(file->expected.size, kFetchBytes);
      batch.push_back(std::move(file));
    }
    if (batch.empty()) continue;
    if (ring && !ring->Working()) ring.reset();
    // Those fetched and not yet digested may be held open still.
    held_ = filesAhead_;
    busy_ = true;
    lock.unlock();
    fetched.assign(batch.size(), 0);
    if (ring && batch.size() > 1) {
      FetchAll(*ring, opener, batch, fetched);
    } else {
      for (std::size_t i = 0; i < batch.size(); ++i) fetched[i] = Fetch(opener, *batch[i], CanHold());
    }
    lock.lock();
    busy_ = false;
    for (std::size_t i = 0; i < batch.size(); ++i) {
      File& file = *batch[i];
      const std::uint64_t bytes = fetched[i];
      if (bytes > 0) {
        // Counted before the digest can see it fetched, and so uncount it.
        ++filesAhead_;
        bytesAhead_ += bytes;
        file.fetchedBytes = bytes;
        fetchedCount_.fetch_add(1, std::memory_order_relaxed);
        cachedInARow_ = 0;
      } else if (++cachedInARow_ >= kRestAfter) {
        resting_ = true;
      }
      file.state.store(bytes > 0 ? kFetched : kPassed);
      file.state.notify_all();
    }
    idle_.notify_all();
  }
}

std::uint64_t PageFetcher::Room() const { return filesAhead_ < depth_ ? depth_ - filesAhead_ : 0; }

std::uint64_t PageFetcher::RoomBytes() const { return bytesAhead_ < kMaxBytesAhead ? kMaxBytesAhead - bytesAhead_ : 0; }

// Only a regular file of the size the search saw: never a device put in its
// place.
bool PageFetcher::Fetchable(const File& file) { return file.expected.regularFile && file.expected.size > 0; }

bool PageFetcher::CanHold() const { return held_ < kMaxHeld; }

void PageFetcher::Hold(File& file, int fd) {
  ++held_;
  file.heldFd = fd;
  file.holder = &reader_;
}

std::uint64_t PageFetcher::Fetch(FileOpener& opener, File& file, bool hold) {
  if (!Fetchable(file)) return 0;
  const int fd = opener.Open(file.path);
  if (fd < 0) return 0;  // the digest tells why
  std::uint64_t bytes = 0;
  OpenFileFacts facts;
  if (reader_.Stat(fd, facts) == 0 && facts.RegularFile && facts.Size == file.expected.size) {
    char byte;
    if (reader_.ReadIfCached(fd, &byte, 1) < 0 && errno == EAGAIN) {
      bytes = std::min(file.expected.size, kFetchBytes);
      reader_.FetchAhead(fd, bytes);
    }
  }
  if (bytes > 0 && hold) {
    Hold(file, fd);
  } else {
    reader_.Close(fd);
  }
  return bytes;
}

void PageFetcher::FetchAll(FileRing& ring, FileOpener& opener, const std::vector<std::shared_ptr<File>>& batch,
                           std::vector<std::uint64_t>& fetched) {
  // Opened all at once, each looked at, the first bytes of those that are
  // what the search saw asked for all at once, and all closed at once. A
  // file the ring cannot open by name in its folder is fetched on its own.
  std::vector<FileRing::OpenAt> opens;
  std::vector<std::size_t> opened;  // their places in batch
  std::vector<int> fds;
  // The opener holds one folder open at a time: the files of a folder are
  // opened before those of the next.
  std::string_view folderPath;
  std::size_t openedUpTo = 0;
  const auto openAsked = [&] {
    fds.resize(opens.size());
    ring.OpenAll(std::span(opens).subspan(openedUpTo), std::span(fds).subspan(openedUpTo));
    openedUpTo = opens.size();
  };
  for (std::size_t i = 0; i < batch.size(); ++i) {
    if (!Fetchable(*batch[i])) continue;
    const std::string& path = batch[i]->path;
    const std::string_view folder(path.data(), path.rfind(kPathSeparator) + 1);
    if (folder != folderPath) openAsked();
    folderPath = folder;
    std::size_t nameAt = 0;
    const int folderFd = opener.FolderOf(path, nameAt);
    if (folderFd < 0) {
      fetched[i] = Fetch(opener, *batch[i], CanHold());
      continue;
    }
    opens.push_back(FileRing::OpenAt{folderFd, path.c_str() + nameAt});
    opened.push_back(i);
  }
  openAsked();
  std::vector<FileRing::Probe> probes;
  std::vector<std::size_t> probed;  // their places in batch
  std::vector<int> toClose;
  for (std::size_t k = 0; k < opens.size(); ++k) {
    if (fds[k] < 0) continue;  // the digest tells why
    const File& file = *batch[opened[k]];
    OpenFileFacts facts;
    if (reader_.Stat(fds[k], facts) != 0 || !facts.RegularFile || facts.Size != file.expected.size) {
      toClose.push_back(fds[k]);
      continue;
    }
    // One byte tells whether the file is cached, at the cost of copying no
    // more; the system's read ahead of a file then follows from the advice.
    probes.push_back(FileRing::Probe{fds[k], 1});
    probed.push_back(opened[k]);
  }
  std::vector<int> results(probes.size());
  ring.ProbeAll(probes, results);
  for (std::size_t k = 0; k < probes.size(); ++k) {
    const std::size_t i = probed[k];
    if (results[k] != -EAGAIN) {  // cached already, or not to be read
      toClose.push_back(probes[k].fd);
      continue;
    }
    fetched[i] = std::min(batch[i]->expected.size, kFetchBytes);
    reader_.FetchAhead(probes[k].fd, fetched[i]);
    if (CanHold()) {
      Hold(*batch[i], probes[k].fd);
    } else {
      toClose.push_back(probes[k].fd);
    }
  }
  ring.CloseAll(toClose);
}
