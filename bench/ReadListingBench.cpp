// Times loading a listing file into a pane, as Open does:
//   quillon_read_bench FILE
#include <chrono>
#include <cstdio>

#include "surfaces/ListPane.h"
#include "documents/ListingFile.h"
#include "platform/QuillonError.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillon_read_bench FILE\n");
    return 2;
  }
  ListPane pane;
  const auto start = std::chrono::steady_clock::now();
  try {
    ReadListingFile(argv[1], pane);
  } catch (const QuillonError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d lines loaded in %.3f s\n", pane.Count(), seconds);
  return 0;
}
