#pragma once

#include <stdexcept>
#include <string>

// A failing command raises this with the message the user is to see; the
// window's dispatcher is the one place that catches it.
class QuillonError : public std::runtime_error {
 public:
  explicit QuillonError(const std::string& message) : std::runtime_error(message) {}
};
