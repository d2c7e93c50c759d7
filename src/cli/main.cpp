#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "platform/InterruptGuard.h"

// The entry point is the one place of the command line that knows the system.
#ifdef _WIN32

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>

#include "platform/ChannelStreamBuf.h"
#include "platform/StandardStream.h"
#include "platform/WideText.h"

// Arguments arrive as UTF-16 and go on as UTF-8.
int wmain(int argc, wchar_t** argv) {
  // In text mode every "\n" written would become CR LF, and a CR LF line CR CR LF.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  StandardStream out(StandardStream::Which::Output);
  StandardStream error(StandardStream::Which::Error);
  ChannelStreamBuf outBuffer(out);
  ChannelStreamBuf errorBuffer(error);
  std::streambuf* const oldOut = std::cout.rdbuf(&outBuffer);
  std::streambuf* const oldError = std::cerr.rdbuf(&errorBuffer);
  // Ctrl-C and its kin end the program with 128 + the signal's number, as on
  // POSIX, its temporary file removed and any file it writes to left whole.
  InterruptGuard::Install("quillon-cli: ");
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view arg(argv[i]);
    args.push_back(WideText::ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(arg.data()), arg.size())));
  }
  const int code = CliCommand::Main(args);
  std::cout.flush();
  std::cout.rdbuf(oldOut);
  std::cerr.rdbuf(oldError);
  return code;
}

#else

#include <csignal>

#include "platform/MemoryBudget.h"

int main(int argc, char** argv) {
  MemoryBudget::ShareAllocatorArenas();
  // A write past the file-size limit must fail as a write, not end the program.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  // Ctrl-C and its kin end the program with 128 + the signal, its temporary
  // file removed and any file it writes to left whole.
  InterruptGuard::Install("quillon-cli: ");
  return CliCommand::Main(std::vector<std::string>(argv + 1, argv + argc));
}

#endif
