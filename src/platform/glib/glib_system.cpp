// Clock, main queue, timers, worker threads and the HTTP probe on GLib, GIO and libsoup 3.
#include "platform/glib/glib_system.h"

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <unistd.h>

#include <cmath>
#include <memory>

#include "platform/application.h"
#include "platform/glib/glib_child_process.h"
#include "platform/glib/gobject_ptr.h"
#include "platform/glib/main_loop.h"
#include "platform/linux/listener_owner.h"

namespace tessary::platform {

std::string userDataDirectory() {
  return g_get_user_data_dir();
}

}  // namespace tessary::platform

namespace tessary::platform::glib {

namespace {

guint milliseconds(double seconds) {
  return static_cast<guint>(std::lround(std::max(0.0, seconds) * 1000.0));
}

class Timer final : public platform::Timer {
 public:
  Timer(double interval, std::function<void()> tick)
      : source_(attach(g_timeout_source_new(milliseconds(interval)), [tick = std::move(tick)] {
          tick();
          return true;
        })) {}
  void invalidate() override { source_.reset(); }

 private:
  SourceId source_;
};

// One probe in flight: its message, its cancellation timer and the caller's completion.
struct Probe {
  GObjectPtr<SoupMessage> message;
  GObjectPtr<GCancellable> cancellable = adopt(g_cancellable_new());
  SourceId timeout;
  std::function<void(std::optional<int>)> completion;
};

void probeFinished(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Probe> probe(&Boxed<Probe>::of(data));
  probe->timeout.reset();
  GErrorPtr error;
  auto stream = adopt(soup_session_send_finish(SOUP_SESSION(source), result, out(error)));
  std::optional<int> status;
  if (stream) {
    status = static_cast<int>(soup_message_get_status(probe->message.get()));
    g_input_stream_close(stream.get(), nullptr, nullptr);
  }
  probe->completion(status);
}

}  // namespace

System::System() = default;
System::~System() = default;

double System::now() {
  return static_cast<double>(g_get_monotonic_time()) / 1e6;
}

void System::sleep(double seconds) {
  g_usleep(static_cast<gulong>(std::lround(seconds * 1e6)));
}

void System::post(std::function<void()> work) {
  postToMainLoop(std::move(work));
}

void System::postAfter(double seconds, std::function<void()> work) {
  attach(g_timeout_source_new(milliseconds(seconds)), [work = std::move(work)] {
    work();
    return false;
  });
}

std::unique_ptr<platform::Timer> System::startRepeating(double interval,
                                                        std::function<void()> tick) {
  return std::make_unique<Timer>(interval, std::move(tick));
}

void System::probe(const std::string& url, double timeout,
                   std::function<void(std::optional<int>)> completion) {
  if (!session_) {
    // No proxy and no cache feature: every probe reaches the loopback server itself.
    session_.reset(SOUP_SESSION(g_object_new(SOUP_TYPE_SESSION, "proxy-resolver", nullptr,
                                             "max-conns-per-host", 8, nullptr)));
  }
  auto probe = std::make_unique<Probe>();
  probe->message = adopt(soup_message_new(SOUP_METHOD_GET, url.c_str()));
  if (!probe->message) {
    postToMainLoop([completion = std::move(completion)] { completion(std::nullopt); });
    return;
  }
  probe->completion = std::move(completion);
  // libsoup has no per-request time-out below a second: cancel from a timer instead. The timer
  // goes with the probe, so it never fires for one that has ended.
  Probe* inFlight = probe.get();
  inFlight->timeout = SourceId(attach(g_timeout_source_new(milliseconds(timeout)), [inFlight] {
    inFlight->timeout.release();  // removed by returning
    g_cancellable_cancel(inFlight->cancellable.get());
    return false;
  }));
  soup_session_send_async(session_.get(), inFlight->message.get(), G_PRIORITY_DEFAULT,
                          inFlight->cancellable.get(), probeFinished, probe.release());
}

void System::runInBackground(std::function<void()> work, std::function<void()> done) {
  struct Job {
    std::function<void()> work;
    std::function<void()> done;
  };
  auto task = adopt(g_task_new(
      nullptr, nullptr,
      [](GObject*, GAsyncResult* result, gpointer) {
        Boxed<Job>::of(g_task_get_task_data(G_TASK(result))).done();
      },
      nullptr));
  g_task_set_task_data(task.get(), Boxed<Job>::box({std::move(work), std::move(done)}),
                       Boxed<Job>::destroy);
  g_task_run_in_thread(task.get(), [](GTask* t, gpointer, gpointer data, GCancellable*) {
    Boxed<Job>::of(data).work();
    g_task_return_boolean(t, TRUE);
  });
}

std::vector<unsigned> System::loopbackListenerOwners(int port) {
  return platform::loopbackListenerOwners(port);
}

unsigned System::currentUser() {
  return ::getuid();
}

SpawnResult System::spawn(SpawnOptions options) {
  return spawnProcess(std::move(options));
}

std::string System::homeDirectory() {
  return g_get_home_dir();
}

}  // namespace tessary::platform::glib
