// Clock, main queue, timers, worker threads and the HTTP probe on GLib, GIO and libsoup 3.
#include "platform/linux/system.h"

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <unistd.h>

#include <cmath>
#include <memory>

#include "platform/files.h"
#include "platform/linux/gobject_ptr.h"
#include "platform/linux/main_loop.h"
#include "platform/linux/process.h"
#include "platform/listener_owner.h"

namespace tessary::platform::linux_impl {

namespace {

guint milliseconds(double seconds) {
  return static_cast<guint>(std::lround(std::max(0.0, seconds) * 1000.0));
}

class GlibTimer final : public Timer {
 public:
  struct State {
    std::function<void()> tick;
    bool valid = true;
  };

  GlibTimer(double interval, std::function<void()> tick)
      : state_(std::make_shared<State>(State{std::move(tick)})) {
    source_ = SourceId(g_timeout_add_full(
        G_PRIORITY_DEFAULT, milliseconds(interval),
        [](gpointer data) -> gboolean {
          // Held locally: the tick may destroy the timer that owns the state.
          std::shared_ptr<State> state = *static_cast<std::shared_ptr<State>*>(data);
          if (state->valid) state->tick();
          return state->valid ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
        },
        new std::shared_ptr<State>(state_),
        [](gpointer data) { delete static_cast<std::shared_ptr<State>*>(data); }));
  }
  ~GlibTimer() override { invalidate(); }

  void invalidate() override {
    if (!state_->valid) return;
    state_->valid = false;
    source_.reset();
  }

 private:
  std::shared_ptr<State> state_;
  SourceId source_;
};

// One probe in flight: its message, its cancellation timer and the caller's completion.
struct Probe {
  GObjectPtr<SoupMessage> message;
  GObjectPtr<GCancellable> cancellable = adopt(g_cancellable_new());
  guint timeout = 0;
  std::function<void(std::optional<int>)> completion;
};

void probeFinished(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Probe> probe(static_cast<Probe*>(data));
  if (probe->timeout) g_source_remove(probe->timeout);
  GError* rawError = nullptr;
  auto stream = adopt(soup_session_send_finish(SOUP_SESSION(source), result, &rawError));
  GErrorPtr error(rawError);
  std::optional<int> status;
  if (stream) {
    status = static_cast<int>(soup_message_get_status(probe->message.get()));
    g_input_stream_close(stream.get(), nullptr, nullptr);
  }
  probe->completion(status);
}

// Loopback ports are shared by every user of the machine: another user's server on the
// panel's port must not count as the panel. Where the kernel's tables cannot be read, or do
// not list the listener, nothing is known and the answer counts as before.
bool listenedToByAnotherUser(GUri* uri) {
  const char* host = g_uri_get_host(uri);
  if (!host || (g_strcmp0(host, "127.0.0.1") != 0 && g_strcmp0(host, "localhost") != 0))
    return false;
  const int port = g_uri_get_port(uri) > 0 ? g_uri_get_port(uri) : 80;
  const auto owned =
      loopbackListenersOwnedBy(readUtf8File("/proc/net/tcp").value_or(""),
                               readUtf8File("/proc/net/tcp6").value_or(""), port, ::getuid());
  return owned == false;
}

}  // namespace

GlibSystem::GlibSystem() = default;
GlibSystem::~GlibSystem() = default;

double GlibSystem::now() {
  return static_cast<double>(g_get_monotonic_time()) / 1e6;
}

void GlibSystem::sleep(double seconds) {
  g_usleep(static_cast<gulong>(std::lround(seconds * 1e6)));
}

void GlibSystem::post(std::function<void()> work) {
  postToMainLoop(std::move(work));
}

void GlibSystem::postAfter(double seconds, std::function<void()> work) {
  g_timeout_add_full(
      G_PRIORITY_DEFAULT, milliseconds(seconds),
      [](gpointer data) -> gboolean {
        (*static_cast<std::function<void()>*>(data))();
        return G_SOURCE_REMOVE;
      },
      new std::function<void()>(std::move(work)),
      [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

std::unique_ptr<Timer> GlibSystem::startRepeating(double interval, std::function<void()> tick) {
  return std::make_unique<GlibTimer>(interval, std::move(tick));
}

void GlibSystem::probe(const std::string& url, double timeout,
                       std::function<void(std::optional<int>)> completion) {
  if (!session_) {
    // No proxy and no cache feature: every probe reaches the loopback server itself.
    session_.reset(SOUP_SESSION(g_object_new(SOUP_TYPE_SESSION, "proxy-resolver", nullptr,
                                             "max-conns-per-host", 8, nullptr)));
  }
  auto* probe = new Probe;
  probe->message = adopt(soup_message_new(SOUP_METHOD_GET, url.c_str()));
  probe->completion = std::move(completion);
  if (!probe->message || listenedToByAnotherUser(soup_message_get_uri(probe->message.get()))) {
    postToMainLoop([probe] {
      std::unique_ptr<Probe> owned(probe);
      owned->completion(std::nullopt);
    });
    return;
  }
  // libsoup has no per-request time-out below a second: cancel from a timer instead.
  probe->timeout = g_timeout_add(
      milliseconds(timeout),
      [](gpointer data) -> gboolean {
        auto* p = static_cast<Probe*>(data);
        p->timeout = 0;
        g_cancellable_cancel(p->cancellable.get());
        return G_SOURCE_REMOVE;
      },
      probe);
  soup_session_send_async(session_.get(), probe->message.get(), G_PRIORITY_DEFAULT,
                          probe->cancellable.get(), probeFinished, probe);
}

void GlibSystem::runInBackground(std::function<void()> work, std::function<void()> done) {
  struct Job {
    std::function<void()> work;
    std::function<void()> done;
  };
  auto task = adopt(g_task_new(
      nullptr, nullptr,
      [](GObject*, GAsyncResult* result, gpointer) {
        auto* job = static_cast<Job*>(g_task_get_task_data(G_TASK(result)));
        job->done();
      },
      nullptr));
  g_task_set_task_data(task.get(), new Job{std::move(work), std::move(done)},
                       [](gpointer data) { delete static_cast<Job*>(data); });
  g_task_run_in_thread(task.get(), [](GTask* t, gpointer, gpointer data, GCancellable*) {
    static_cast<Job*>(data)->work();
    g_task_return_boolean(t, TRUE);
  });
}

SpawnResult GlibSystem::spawn(SpawnSpec spec) {
  return spawnProcess(std::move(spec));
}

std::string GlibSystem::homeDirectory() {
  return g_get_home_dir();
}

}  // namespace tessary::platform::linux_impl
