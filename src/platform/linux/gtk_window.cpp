// The main window and its web view on GTK 3 and WebKitGTK 4.1.
#include "platform/linux/gtk_window.h"

#include <glib/gstdio.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <list>
#include <string>

#include "platform/address.h"
#include "platform/linux/gobject_ptr.h"

namespace tessary::platform::linux_impl {

namespace {

GdkRGBA rgba(const Color& c) {
  return GdkRGBA{c.red, c.green, c.blue, c.alpha};
}

std::optional<Address> addressOf(WebKitURIRequest* request) {
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (!uri || !*uri) return std::nullopt;
  return platform::addressOf(uri);
}

class GtkWebView final : public WebView {
 public:
  explicit GtkWebView(Color background)
      : view_(WEBKIT_WEB_VIEW(g_object_ref_sink(webkit_web_view_new()))) {
    GdkRGBA color = rgba(background);
    webkit_web_view_set_background_color(view_.get(), &color);
    // One local page needs no accelerated compositing; without it the process tree holds a
    // third less memory and the page looks the same (measured in bench/).
    webkit_settings_set_hardware_acceleration_policy(webkit_web_view_get_settings(view_.get()),
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    // A drop that no part of the page takes makes the engine open what was dropped in place
    // of the page; remember what is dropped, so that this one navigation can be refused.
    g_signal_connect(view_.get(), "drag-data-received", G_CALLBACK(onDragData), this);
    g_signal_connect(view_.get(), "decide-policy", G_CALLBACK(onDecidePolicy), this);
    g_signal_connect(view_.get(), "create", G_CALLBACK(onCreate), this);
    g_signal_connect(view_.get(), "run-file-chooser", G_CALLBACK(onRunFileChooser), this);
    g_signal_connect(view_.get(), "permission-request", G_CALLBACK(onPermissionRequest), this);
    g_signal_connect(view_.get(), "load-changed", G_CALLBACK(onLoadChanged), this);
    g_signal_connect(view_.get(), "web-process-terminated", G_CALLBACK(onTerminated), this);
    g_signal_connect(webkit_web_view_get_context(view_.get()), "download-started",
                     G_CALLBACK(onDownloadStarted), this);
  }
  ~GtkWebView() override {
    g_cancellable_cancel(scripts_.get());
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_context(view_.get()), this);
    g_signal_handlers_disconnect_by_data(view_.get(), this);
    // Quitting ends every download still running, and leaves none of its bytes behind.
    for (auto& download : downloads_) {
      g_signal_handlers_disconnect_by_data(download.get(), this);
      webkit_download_cancel(download.get());
      removePartial(download.get());
    }
  }

  GtkWidget* widget() { return GTK_WIDGET(view_.get()); }

  void loadUrl(const std::string& url) override { startLoad(url); }

  // WebKitGTK lets a file page read the files beside it; there is no narrower root to set.
  void loadFile(const std::string& path, const std::string&) override {
    GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
    if (uri) startLoad(uri.get());
  }

  void runScript(const std::string& script, std::function<void()> done) override {
    webkit_web_view_evaluate_javascript(
        view_.get(), script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr,
        scripts_.get(),
        [](GObject* view, GAsyncResult* result, gpointer data) {
          std::unique_ptr<std::function<void()>> done(static_cast<std::function<void()>*>(data));
          GError* rawError = nullptr;
          JSCValue* value =
              webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &rawError);
          GErrorPtr error(rawError);
          if (value) g_object_unref(value);
          // Cancelled: the view is gone, and with it whoever asked.
          if (!g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED)) (*done)();
        },
        new std::function<void()>(std::move(done)));
  }

  void editCommand(EditCommand command) override {
    const char* name = WEBKIT_EDITING_COMMAND_SELECT_ALL;
    switch (command) {
      case EditCommand::Undo:
        name = WEBKIT_EDITING_COMMAND_UNDO;
        break;
      case EditCommand::Redo:
        name = WEBKIT_EDITING_COMMAND_REDO;
        break;
      case EditCommand::Cut:
        name = WEBKIT_EDITING_COMMAND_CUT;
        break;
      case EditCommand::Copy:
        name = WEBKIT_EDITING_COMMAND_COPY;
        break;
      case EditCommand::Paste:
        name = WEBKIT_EDITING_COMMAND_PASTE;
        break;
      case EditCommand::SelectAll:
        name = WEBKIT_EDITING_COMMAND_SELECT_ALL;
        break;
    }
    webkit_web_view_execute_editing_command(view_.get(), name);
  }

  void setNavigationPolicy(NavigationPolicy allow) override { allow_ = std::move(allow); }

  void setFileRequestHandler(FileRequestHandler handler) override {
    fileRequests_ = std::move(handler);
  }

  void setPermissionPolicy(PermissionPolicy decide) override { permissions_ = std::move(decide); }
  void setCrashHandler(std::function<void()> handler) override { crashed_ = std::move(handler); }
  void setDownloadHandler(DownloadHandler handler) override { saveAs_ = std::move(handler); }

  void setLoadHandler(std::function<void()> handler) override { loaded_ = std::move(handler); }

  void reload() override {
    if (!page_.empty()) startLoad(page_);
  }

 private:
  void startLoad(const std::string& page) {
    page_ = page;
    // The load asked for is the next to start; the end of one it replaces is not its end.
    awaited_ = Load::Asked;
    webkit_web_view_load_uri(view_.get(), page.c_str());
  }

  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (event == WEBKIT_LOAD_STARTED && self->awaited_ == Load::Asked) {
      self->awaited_ = Load::Started;
    } else if (event == WEBKIT_LOAD_FINISHED && self->awaited_ == Load::Started) {
      self->awaited_ = Load::None;
      if (self->loaded_) self->loaded_();
    }
  }

  static void onDragData(GtkWidget*, GdkDragContext*, gint, gint, GtkSelectionData* data, guint,
                         guint, gpointer self) {
    auto& dropped = static_cast<GtkWebView*>(self)->dropped_;
    dropped.clear();
    if (gchar** uris = gtk_selection_data_get_uris(data)) {
      for (gchar** uri = uris; *uri; ++uri) dropped.emplace_back(*uri);
      g_strfreev(uris);
    }
    GCharPtr text(reinterpret_cast<gchar*>(gtk_selection_data_get_text(data)));
    if (text) dropped.emplace_back(g_strstrip(text.get()));
    static_cast<GtkWebView*>(self)->droppedAt_ = g_get_monotonic_time();
  }

  // Whether uri is what was dropped a moment ago: the engine's own navigation to it.
  bool isDropped(const char* uri) {
    if (!uri || g_get_monotonic_time() - droppedAt_ > 2 * G_USEC_PER_SEC) return false;
    return std::find(dropped_.begin(), dropped_.end(), uri) != dropped_.end();
  }

  static void onDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (webkit_download_get_web_view(download) != self->view_.get()) return;
    self->downloads_.push_back(adopt(WEBKIT_DOWNLOAD(g_object_ref(download))));
    g_signal_connect(download, "decide-destination", G_CALLBACK(onDecideDestination), self);
    g_signal_connect(download, "finished", G_CALLBACK(onDownloadEnded), self);
    g_signal_connect(download, "failed", G_CALLBACK(onDownloadFailed), self);
  }

  // Answered later, once the user has chosen; the transfer waits for the answer.
  static gboolean onDecideDestination(WebKitDownload* download, gchar* suggested, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    auto held =
        std::shared_ptr<WebKitDownload>(WEBKIT_DOWNLOAD(g_object_ref(download)), g_object_unref);
    if (!self->saveAs_) {
      webkit_download_cancel(download);
      return TRUE;
    }
    self->saveAs_(suggested ? suggested : "", [held](std::optional<std::string> path) {
      GCharPtr uri(path ? g_filename_to_uri(path->c_str(), nullptr, nullptr) : nullptr);
      if (!uri) {
        webkit_download_cancel(held.get());
        return;
      }
      // The chooser has already asked before replacing a file.
      webkit_download_set_allow_overwrite(held.get(), TRUE);
      webkit_download_set_destination(held.get(), uri.get());
    });
    return TRUE;
  }

  static void onDownloadFailed(WebKitDownload* download, GError*, gpointer data) {
    removePartial(download);
    onDownloadEnded(download, data);
  }

  static void onDownloadEnded(WebKitDownload* download, gpointer data) {
    // A server that goes away mid-transfer ends the download as if it were complete.
    if (isTruncated(download)) removePartial(download);
    auto& list = static_cast<GtkWebView*>(data)->downloads_;
    list.remove_if([download](const auto& d) { return d.get() == download; });
  }

  static bool isTruncated(WebKitDownload* download) {
    WebKitURIResponse* response = webkit_download_get_response(download);
    if (!response) return false;
    const guint64 expected = webkit_uri_response_get_content_length(response);
    SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
    // The length of an encoded answer is not the length of what is saved.
    const char* encoding =
        headers ? soup_message_headers_get_one(headers, "Content-Encoding") : nullptr;
    return expected > 0 && (!encoding || g_ascii_strcasecmp(encoding, "identity") == 0) &&
           webkit_download_get_received_data_length(download) < expected;
  }

  // The engine writes into the destination as the bytes arrive.
  static void removePartial(WebKitDownload* download) {
    const char* uri = webkit_download_get_destination(download);
    GCharPtr path(uri ? g_filename_from_uri(uri, nullptr, nullptr) : nullptr);
    if (path) g_unlink(path.get());
  }

  static Permission kindOf(WebKitPermissionRequest* request) {
    const std::pair<GType, Permission> kinds[] = {
        {WEBKIT_TYPE_GEOLOCATION_PERMISSION_REQUEST, Permission::Geolocation},
        {WEBKIT_TYPE_NOTIFICATION_PERMISSION_REQUEST, Permission::Notifications},
        {WEBKIT_TYPE_USER_MEDIA_PERMISSION_REQUEST, Permission::CameraOrMicrophone},
        {WEBKIT_TYPE_DEVICE_INFO_PERMISSION_REQUEST, Permission::DeviceList},
        {WEBKIT_TYPE_CLIPBOARD_PERMISSION_REQUEST, Permission::Clipboard},
        {WEBKIT_TYPE_POINTER_LOCK_PERMISSION_REQUEST, Permission::PointerLock},
        {WEBKIT_TYPE_MEDIA_KEY_SYSTEM_PERMISSION_REQUEST, Permission::MediaKeys},
        {WEBKIT_TYPE_WEBSITE_DATA_ACCESS_PERMISSION_REQUEST, Permission::WebsiteData}};
    for (const auto& [type, kind] : kinds)
      if (G_TYPE_CHECK_INSTANCE_TYPE(request, type)) return kind;
    return Permission::Other;
  }

  // Answered at once: left unanswered, the engine would apply its own default, which allows
  // pointer lock and may allow what a later version adds.
  static gboolean onPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request,
                                      gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (self->permissions_ && self->permissions_(kindOf(request))) {
      webkit_permission_request_allow(request);
    } else {
      webkit_permission_request_deny(request);
    }
    return TRUE;
  }

  static void onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                           gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    // An end the program asked for is no crash.
    if (reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API && self->crashed_) self->crashed_();
  }

  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
    auto* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    auto address = addressOf(request);
    if (self->isDropped(request ? webkit_uri_request_get_uri(request) : nullptr)) {
      webkit_policy_decision_ignore(decision);
    } else if (self->allow_ && self->allow_(address)) {
      webkit_policy_decision_use(decision);
    } else {
      webkit_policy_decision_ignore(decision);
    }
    return TRUE;
  }

  // window.open and target-blank links end here after the rule: never a second view.
  static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (self->allow_) self->allow_(addressOf(webkit_navigation_action_get_request(action)));
    return nullptr;
  }

  static gboolean onRunFileChooser(WebKitWebView*, WebKitFileChooserRequest* request,
                                   gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (!self->fileRequests_) return FALSE;
    FileRequest params;
    // WebKitGTK does not tell whether the input accepts folders.
    params.allowsDirectories = false;
    params.allowsMultipleSelection = webkit_file_chooser_request_get_select_multiple(request);
    auto held = std::shared_ptr<WebKitFileChooserRequest>(
        WEBKIT_FILE_CHOOSER_REQUEST(g_object_ref(request)), g_object_unref);
    self->fileRequests_(params, [held](FileList files) {
      if (!files) {
        webkit_file_chooser_request_cancel(held.get());
        return;
      }
      std::vector<const char*> paths;
      for (const auto& f : *files) paths.push_back(f.c_str());
      paths.push_back(nullptr);
      webkit_file_chooser_request_select_files(held.get(), paths.data());
    });
    return TRUE;
  }

  GObjectPtr<WebKitWebView> view_;
  NavigationPolicy allow_;
  PermissionPolicy permissions_;
  FileRequestHandler fileRequests_;
  std::vector<std::string> dropped_;
  gint64 droppedAt_ = 0;
  std::function<void()> crashed_;
  DownloadHandler saveAs_;
  std::list<GObjectPtr<WebKitDownload>> downloads_;
  enum class Load { None, Asked, Started } awaited_ = Load::None;
  std::string page_;
  std::function<void()> loaded_;
  // Cancelled with the view, so that no script's answer outlives it.
  GObjectPtr<GCancellable> scripts_ = adopt(g_cancellable_new());
};

class GtkMainWindow final : public Window {
 public:
  GtkMainWindow(GtkApplication* application, const WindowSpec& spec, GtkWidget* menuBar,
                GtkAccelGroup* accelerators)
      : window_(GTK_WINDOW(g_object_ref_sink(gtk_application_window_new(application)))),
        webView_(spec.background) {
    gtk_window_set_title(window_.get(), spec.title.c_str());
    gtk_window_set_default_size(window_.get(), spec.width, spec.height);
    GdkGeometry hints{};
    hints.min_width = spec.minWidth;
    hints.min_height = spec.minHeight;
    gtk_window_set_geometry_hints(window_.get(), nullptr, &hints, GDK_HINT_MIN_SIZE);
    gtk_window_set_position(window_.get(), GTK_WIN_POS_CENTER);
    paintBackground(spec.background);
    if (accelerators) gtk_window_add_accel_group(window_.get(), accelerators);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    if (menuBar) gtk_box_pack_start(GTK_BOX(box), menuBar, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), webView_.widget(), TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(window_.get()), box);
    g_signal_connect(window_.get(), "delete-event", G_CALLBACK(onDelete), this);
    gtk_widget_show_all(GTK_WIDGET(window_.get()));
  }

  ~GtkMainWindow() override {
    g_signal_handlers_disconnect_by_data(window_.get(), this);
    gtk_widget_destroy(GTK_WIDGET(window_.get()));
  }

  void present() override { gtk_window_present(window_.get()); }
  void hide() override { gtk_widget_hide(GTK_WIDGET(window_.get())); }
  void minimize() override { gtk_window_iconify(window_.get()); }
  bool isVisible() const override { return gtk_widget_get_visible(GTK_WIDGET(window_.get())); }
  void setCloseHandler(std::function<bool()> shouldClose) override {
    shouldClose_ = std::move(shouldClose);
  }
  WebView& webView() override { return webView_; }
  GtkWindow* toplevel() { return window_.get(); }

 private:
  void paintBackground(const Color& c) {
    GCharPtr css(g_strdup_printf(
        "window { background-color: rgba(%d, %d, %d, %g); }", static_cast<int>(c.red * 255 + 0.5),
        static_cast<int>(c.green * 255 + 0.5), static_cast<int>(c.blue * 255 + 0.5), c.alpha));
    auto provider = adopt(gtk_css_provider_new());
    gtk_css_provider_load_from_data(provider.get(), css.get(), -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(GTK_WIDGET(window_.get())),
                                   GTK_STYLE_PROVIDER(provider.get()),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  }

  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    auto* self = static_cast<GtkMainWindow*>(data);
    // TRUE keeps the window: only the handler decides what closing means.
    return self->shouldClose_ ? !self->shouldClose_() : FALSE;
  }

  GObjectPtr<GtkWindow> window_;
  GtkWebView webView_;
  std::function<bool()> shouldClose_;
};

}  // namespace

std::unique_ptr<Window> createGtkWindow(GtkApplication* application, const WindowSpec& spec,
                                        GtkWidget* menuBar, GtkAccelGroup* accelerators) {
  return std::make_unique<GtkMainWindow>(application, spec, menuBar, accelerators);
}

GtkWindow* toplevelOf(Window& window) {
  return static_cast<GtkMainWindow&>(window).toplevel();
}

}  // namespace tessary::platform::linux_impl
