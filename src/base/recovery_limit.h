// How often something may be set right by itself before the program stops and says so.
#pragma once

#include <cstddef>
#include <deque>

namespace tessary {

class RecoveryLimit {
 public:
  // At most limit recoveries within window seconds.
  RecoveryLimit(size_t limit, double window) : limit_(limit), window_(window) {}
  // Whether one more fits now; if it does, it is counted.
  bool allow(double now) {
    while (!times_.empty() && now - times_.front() > window_) times_.pop_front();
    if (times_.size() >= limit_) return false;
    times_.push_back(now);
    return true;
  }
  void clear() { times_.clear(); }

 private:
  const size_t limit_;
  const double window_;
  std::deque<double> times_;
};

}  // namespace tessary
