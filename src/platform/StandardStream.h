#pragma once

#include <string>

#include "platform/OutputChannel.h"

// Standard output or standard error. Redirected to a file or a pipe, it takes
// the bytes as they are (CR LF stays CR LF). On a console the UTF-8 text is
// shown as text: on Windows through the console's own wide-character call.
class StandardStream : public OutputChannel {
 public:
  enum class Which { Output, Error };

  explicit StandardStream(Which which);
  // A terminal or console, where a live progress line makes sense.
  bool IsConsole() const { return console_; }
  bool Write(const char* data, std::size_t size) override;

 private:
  Which which_;
  bool console_ = false;
  std::string pending_;  // the start of a UTF-8 sequence the next write completes
};
