// Cuts a byte stream into lines at byte 10, across chunk boundaries, in bounded memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace tessary {

class LineSplitter {
 public:
  // Lines longer than longest bytes are given cut to their first longest bytes.
  explicit LineSplitter(size_t longest = std::numeric_limits<size_t>::max()) : longest_(longest) {}

  // Calls onLine(std::string_view line, uint64_t length) for every complete line in the stream
  // so far, without its line feed (a carriage return before it stays part of the line): the
  // line, cut where it is longer than longest, and its whole length.
  template <typename OnLine>
  void feed(std::string_view bytes, OnLine&& onLine) {
    size_t start = 0;
    for (size_t end; (end = bytes.find('\n', start)) != std::string_view::npos; start = end + 1) {
      const std::string_view piece = bytes.substr(start, end - start);
      if (length_ == 0 && piece.size() <= longest_) {
        onLine(piece, uint64_t{piece.size()});
      } else {
        keep(piece);
        onLine(std::string_view(pending_), length_);
        pending_.clear();
        length_ = 0;
      }
    }
    keep(bytes.substr(start));
  }

 private:
  void keep(std::string_view piece) {
    pending_.append(piece.substr(0, std::min(piece.size(), longest_ - pending_.size())));
    length_ += piece.size();
  }

  size_t longest_;
  std::string pending_;  // the head of the unfinished line, longest bytes at most
  uint64_t length_ = 0;  // of the whole unfinished line
};

}  // namespace tessary
