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
  GlibTimer(double interval, std::function<void()> tick)
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
  guint timeout = 0;
  std::function<void(std::optional<int>)> completion;
};

void probeFinished(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Probe> probe(static_cast<Probe*>(data));
  if (probe->timeout) g_source_remove(probe->timeout);
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
  attach(g_timeout_source_new(milliseconds(seconds)), [work = std::move(work)] {
    work();
    return false;
  });
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
  if (!probe->message) {
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

std::vector<unsigned> GlibSystem::loopbackListenerOwners(int port) {
  return platform::loopbackListenerOwners(readUtf8File("/proc/net/tcp").value_or(""),
                                          readUtf8File("/proc/net/tcp6").value_or(""), port);
}

unsigned GlibSystem::currentUser() {
  return ::getuid();
}

SpawnResult GlibSystem::spawn(SpawnOptions options) {
  return spawnProcess(std::move(options));
}

std::string GlibSystem::homeDirectory() {
  return g_get_home_dir();
}

}  // namespace tessary::platform::linux_impl
