// A WebKitGTK download as the platform's Download.
#include "platform/webkit/webkit_download.h"

#include <memory>
#include <utility>

#include "platform/glib/gobject_ptr.h"

namespace tessary::platform::webkit {

using namespace glib;

namespace {

class Download final : public platform::Download, public std::enable_shared_from_this<Download> {
 public:
  Download(WebKitDownload* download, DownloadHandler handler)
      : download_(WEBKIT_DOWNLOAD(g_object_ref(download))), handler_(std::move(handler)) {
    signals_.connect(download, "decide-destination", onDecideDestination, this);
    signals_.connect(download, "failed", onFailed, this);
    signals_.connect(download, "finished", onFinished, this);
  }

  // Until the engine asks where the file goes, and the program has it, this one holds itself.
  void keepUntilAsked() { self_ = shared_from_this(); }

  void saveTo(const std::string& path) override {
    // The program's chooser has already asked before replacing a file.
    webkit_download_set_allow_overwrite(download_.get(), TRUE);
    if (!setDestination(download_.get(), path)) cancel();
  }
  void cancel() override { webkit_download_cancel(download_.get()); }
  void setEndHandler(std::function<void(bool)> ended) override { ended_ = std::move(ended); }

 private:
  // Answered later, once the user has chosen; the transfer waits for the answer.
  static gboolean onDecideDestination(WebKitDownload*, gchar* suggested, gpointer data) {
    auto self = static_cast<Download*>(data)->shared_from_this();
    self->self_.reset();
    if (!self->handler_) {
      self->cancel();
    } else {
      self->handler_(suggested ? suggested : "", self);
    }
    return TRUE;
  }

  static void onFailed(WebKitDownload*, GError*, gpointer data) {
    static_cast<Download*>(data)->end(false);
  }

  // A server that goes away mid-transfer ends the download as if it were complete.
  static void onFinished(WebKitDownload* download, gpointer data) {
    WebKitURIResponse* response = webkit_download_get_response(download);
    const guint64 expected = response ? webkit_uri_response_get_content_length(response) : 0;
    SoupMessageHeaders* headers =
        response ? webkit_uri_response_get_http_headers(response) : nullptr;
    // The length of an encoded answer is not the length of what is saved.
    const char* encoding =
        headers ? soup_message_headers_get_one(headers, "Content-Encoding") : nullptr;
    const bool cut = expected > 0 && (!encoding || g_ascii_strcasecmp(encoding, "identity") == 0) &&
                     webkit_download_get_received_data_length(download) < expected;
    static_cast<Download*>(data)->end(!cut);
  }

  // The engine reports a failure as "failed" and then "finished".
  void end(bool complete) {
    auto keep = shared_from_this();
    self_.reset();
    if (std::exchange(ended_once_, true)) return;
    if (ended_) ended_(complete);
  }

  GObjectPtr<WebKitDownload> download_;
  const DownloadHandler handler_;
  std::function<void(bool)> ended_;
  bool ended_once_ = false;
  std::shared_ptr<Download> self_;
  SignalConnections signals_;
};

}  // namespace

void watchDownload(WebKitDownload* download, const DownloadHandler& handler) {
  std::make_shared<Download>(download, handler)->keepUntilAsked();
}

}  // namespace tessary::platform::webkit
