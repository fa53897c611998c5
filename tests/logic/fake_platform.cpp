// The manual clock and main queue of the fake platform.
#include "logic/fake_platform.h"

#include <algorithm>
#include <limits>

namespace tessary::testing {

namespace {

class FakeTimer final : public platform::Timer {
 public:
  explicit FakeTimer(std::shared_ptr<FakeSystem::TimerState> state) : state_(std::move(state)) {}
  ~FakeTimer() override { invalidate(); }
  void invalidate() override { state_->valid = false; }

 private:
  std::shared_ptr<FakeSystem::TimerState> state_;
};

}  // namespace

bool FakeChild::isRunning() {
  auto& r = *record_;
  if (r.running && r.terminatedAt && r.stopsAfterTerminate &&
      system_.clock >= *r.terminatedAt + *r.stopsAfterTerminate) {
    r.running = false;
  }
  return r.running;
}

void FakeChild::terminate() {
  ++record_->terminates;
  record_->terminatedAt = system_.clock;
}

std::unique_ptr<platform::Timer> FakeSystem::startRepeating(double interval,
                                                            std::function<void()> tick) {
  auto state =
      std::make_shared<TimerState>(TimerState{interval, clock + interval, std::move(tick)});
  timers.push_back(state);
  return std::make_unique<FakeTimer>(state);
}

platform::SpawnResult FakeSystem::spawn(platform::SpawnSpec spec) {
  if (nextSpawnError) {
    std::string error = *nextSpawnError;
    nextSpawnError.reset();
    spawns.push_back({std::move(spec), nullptr});
    return {nullptr, error};
  }
  auto record = std::make_shared<ChildRecord>();
  auto child = std::make_unique<FakeChild>(*this, record);
  spawns.push_back({std::move(spec), record});
  return {std::move(child), ""};
}

void FakeSystem::runPending() {
  while (!queue.empty()) {
    auto work = std::move(queue.front());
    queue.erase(queue.begin());
    work();
  }
}

void FakeSystem::advance(double seconds) {
  const double end = clock + seconds;
  runPending();
  for (;;) {
    double next = std::numeric_limits<double>::infinity();
    for (const auto& t : timers)
      if (t->valid) next = std::min(next, t->next);
    for (const auto& d : delayed) next = std::min(next, d.when);
    if (next > end) break;
    clock = std::max(clock, next);
    for (size_t i = 0; i < delayed.size(); ++i) {
      if (delayed[i].when <= clock) {
        auto work = std::move(delayed[i].work);
        delayed.erase(delayed.begin() + static_cast<long>(i));
        work();
        runPending();
        i = static_cast<size_t>(-1);
      }
    }
    for (size_t i = 0; i < timers.size(); ++i) {
      auto t = timers[i];
      if (t->valid && t->next <= clock) {
        t->next += t->interval;
        t->tick();
        runPending();
      }
    }
  }
  clock = end;
  runPending();
}

void FakeSystem::answerProbe(std::optional<int> status) {
  for (auto& p : probes) {
    if (p.answered) continue;
    p.answered = true;
    post([completion = p.completion, status] { completion(status); });
    runPending();
    return;
  }
}

size_t FakeSystem::outstandingProbes() const {
  return static_cast<size_t>(
      std::count_if(probes.begin(), probes.end(), [](const FakeProbe& p) { return !p.answered; }));
}

int FakeSystem::activeTimers() const {
  return static_cast<int>(
      std::count_if(timers.begin(), timers.end(), [](const auto& t) { return t->valid; }));
}

}  // namespace tessary::testing
