#pragma once

#include <liburing.h>

#include <memory>

#include "platform/FileRing.h"

// FileRing over io_uring.
class PosixFileRing final : public FileRing {
 public:
  // The most a batch holds; larger spans are asked in several.
  static constexpr unsigned kEntries = 64;
  static constexpr std::uint32_t kScratchBytes = 4096;

  // A ring, or none where the kernel has no io_uring, has it switched off
  // (io_uring_disabled, a seccomp filter) or lacks an operation used here.
  static std::unique_ptr<FileRing> Make();
  ~PosixFileRing() override;
  PosixFileRing(const PosixFileRing&) = delete;
  PosixFileRing& operator=(const PosixFileRing&) = delete;

  void OpenAll(std::span<const OpenAt> opens, std::span<int> results) override;
  void ProbeAll(std::span<const Probe> probes, std::span<int> results) override;
  void CloseAll(std::span<const int> fds) override;
  bool Working() const override { return !broken_; }

 private:
  PosixFileRing() = default;
  // Asks the operations prepared (their user data their index in results)
  // and waits for all their answers; those never answered get -ECANCELED.
  // False, and the ring broken, when the kernel stops taking them.
  bool Run(unsigned count, std::span<int> results);

  io_uring ring_{};
  bool ready_ = false;   // the kernel set the ring up
  bool broken_ = false;  // the kernel stopped taking operations
  std::unique_ptr<char[]> scratch_;  // where cached bytes are read to, and dropped
};
