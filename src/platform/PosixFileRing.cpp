#include "platform/PosixFileRing.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {
// As PosixFileReader opens files: never following a link at the end, never
// waiting for a FIFO's writer.
constexpr int kFileFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
}  // namespace

std::unique_ptr<FileRing> PosixFileRing::Make() {
  std::unique_ptr<PosixFileRing> ring(new PosixFileRing());
  if (io_uring_queue_init(kEntries, &ring->ring_, 0) != 0) return nullptr;
  ring->ready_ = true;
  ring->scratch_ = std::make_unique_for_overwrite<char[]>(kScratchBytes);
  io_uring_probe* probe = io_uring_get_probe_ring(&ring->ring_);
  const bool complete = probe != nullptr && io_uring_opcode_supported(probe, IORING_OP_OPENAT) &&
                        io_uring_opcode_supported(probe, IORING_OP_READ) &&
                        io_uring_opcode_supported(probe, IORING_OP_CLOSE);
  if (probe != nullptr) io_uring_free_probe(probe);
  if (!complete) return nullptr;
  return ring;
}

PosixFileRing::~PosixFileRing() {
  if (ready_) io_uring_queue_exit(&ring_);
}

bool PosixFileRing::Run(unsigned count, std::span<int> results) {
  std::fill(results.begin(), results.begin() + count, -ECANCELED);
  unsigned left = count;
  while (left > 0) {
    // Whatever is not yet asked is asked with the wait; an interrupted wait
    // is taken up again.
    const int rc = io_uring_submit_and_wait(&ring_, 1);
    if (rc < 0 && rc != -EINTR) {
      // What the kernel has not answered may never be: the ring is not
      // used again, and those operations count as failed.
      broken_ = true;
      return false;
    }
    io_uring_cqe* cqe;
    unsigned head, seen = 0;
    io_uring_for_each_cqe(&ring_, head, cqe) {
      results[cqe->user_data] = cqe->res;
      ++seen;
    }
    io_uring_cq_advance(&ring_, seen);
    left -= std::min(left, seen);
  }
  return true;
}

void PosixFileRing::OpenAll(std::span<const OpenAt> opens, std::span<int> results) {
  std::fill(results.begin(), results.end(), -ECANCELED);
  for (std::size_t from = 0; from < opens.size() && !broken_; from += kEntries) {
    const auto count = static_cast<unsigned>(std::min<std::size_t>(kEntries, opens.size() - from));
    for (unsigned i = 0; i < count; ++i) {
      io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
      io_uring_prep_openat(sqe, opens[from + i].folder, opens[from + i].name, kFileFlags, 0);
      io_uring_sqe_set_data64(sqe, i);
    }
    Run(count, results.subspan(from, count));
  }
}

void PosixFileRing::ProbeAll(std::span<const Probe> probes, std::span<int> results) {
  std::fill(results.begin(), results.end(), -ECANCELED);
  for (std::size_t from = 0; from < probes.size() && !broken_; from += kEntries) {
    const auto count = static_cast<unsigned>(std::min<std::size_t>(kEntries, probes.size() - from));
    for (unsigned i = 0; i < count; ++i) {
      io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
      // Every read of the batch lands in the same scratch: what it holds is
      // never looked at.
      io_uring_prep_read(sqe, probes[from + i].fd, scratch_.get(), std::min(probes[from + i].bytes, kScratchBytes), 0);
      sqe->rw_flags = RWF_NOWAIT;
      io_uring_sqe_set_data64(sqe, i);
    }
    Run(count, results.subspan(from, count));
  }
}

void PosixFileRing::CloseAll(std::span<const int> fds) {
  std::vector<int> results(kEntries);
  for (std::size_t from = 0; from < fds.size(); from += kEntries) {
    const auto count = static_cast<unsigned>(std::min<std::size_t>(kEntries, fds.size() - from));
    if (broken_) {
      // Those of the files not yet asked to be closed, closed here.
      for (unsigned i = 0; i < count; ++i) close(fds[from + i]);
      continue;
    }
    for (unsigned i = 0; i < count; ++i) {
      io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
      io_uring_prep_close(sqe, fds[from + i]);
      io_uring_sqe_set_data64(sqe, i);
    }
    Run(count, results);
  }
}
