#pragma once

#include <streambuf>

#include "platform/OutputChannel.h"

// An unbuffered stream buffer that hands every byte to a channel, so that a
// standard stream of the library can write through a standard stream of ours.
class ChannelStreamBuf : public std::streambuf {
 public:
  explicit ChannelStreamBuf(OutputChannel& channel) : channel_(channel) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return channel_.Write(&byte, 1) ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* data, std::streamsize size) override {
    return channel_.Write(data, static_cast<std::size_t>(size)) ? size : 0;
  }

 private:
  OutputChannel& channel_;
};
