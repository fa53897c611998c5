// Cuts a byte stream into lines at byte 10, across chunk boundaries.
#pragma once

#include <string>
#include <string_view>

namespace tessary {

class LineSplitter {
 public:
  // Calls onLine(std::string_view) for every complete line in the stream so far, without its
  // line feed; a carriage return before it stays part of the line.
  template <typename OnLine>
  void feed(std::string_view bytes, OnLine&& onLine) {
    size_t start = 0;
    for (size_t end; (end = bytes.find('\n', start)) != std::string_view::npos; start = end + 1) {
      if (pending_.empty()) {
        onLine(bytes.substr(start, end - start));
      } else {
        pending_.append(bytes.substr(start, end - start));
        onLine(std::string_view(pending_));
        pending_.clear();
      }
    }
    pending_.append(bytes.substr(start));
  }

  // Bytes after the last line feed.
  const std::string& pending() const { return pending_; }

 private:
  std::string pending_;
};

}  // namespace tessary
