// The main window and its web view on GTK 3 and WebKitGTK 4.1.
#include "platform/linux/gtk_window.h"

#include <webkit2/webkit2.h>

#include <deque>
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
    g_signal_connect(view_.get(), "decide-policy", G_CALLBACK(onDecidePolicy), this);
    g_signal_connect(view_.get(), "create", G_CALLBACK(onCreate), this);
    g_signal_connect(view_.get(), "run-file-chooser", G_CALLBACK(onRunFileChooser), this);
    g_signal_connect(view_.get(), "load-changed", G_CALLBACK(onLoadChanged), this);
    g_signal_connect(view_.get(), "web-process-terminated", G_CALLBACK(onTerminated), this);
  }
  ~GtkWebView() override { g_signal_handlers_disconnect_by_data(view_.get(), this); }

  GtkWidget* widget() { return GTK_WIDGET(view_.get()); }

  void loadUrl(const std::string& url) override {
    startLoad(url);
    webkit_web_view_load_uri(view_.get(), url.c_str());
  }

  // WebKitGTK lets a file page read the files beside it; there is no narrower root to set.
  void loadFile(const std::string& path, const std::string&) override {
    GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
    if (!uri) return;
    startLoad(uri.get());
    webkit_web_view_load_uri(view_.get(), uri.get());
  }

  void runScript(const std::string& statement) override {
    sent_.push_back(statement);
    if (loading_) {
      held_.push_back(statement);
    } else {
      evaluate(statement);
    }
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

  void setCrashHandler(std::function<void()> handler) override { crashed_ = std::move(handler); }

  void reload() override {
    if (page_.empty()) return;
    held_ = sent_;
    loading_ = true;
    webkit_web_view_load_uri(view_.get(), page_.c_str());
  }

 private:
  void startLoad(const std::string& page) {
    // Statements sent to the page being replaced would only fail in the new one.
    held_.clear();
    sent_.clear();
    page_ = page;
    loading_ = true;
  }

  void evaluate(const std::string& statement) {
    webkit_web_view_evaluate_javascript(view_.get(), statement.c_str(),
                                        static_cast<gssize>(statement.size()), nullptr, nullptr,
                                        nullptr, nullptr, nullptr);
  }

  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<GtkWebView*>(data);
    if (event != WEBKIT_LOAD_FINISHED || !self->loading_) return;
    self->loading_ = false;
    std::deque<std::string> held;
    held.swap(self->held_);
    for (const auto& statement : held) self->evaluate(statement);
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
    auto address = addressOf(webkit_navigation_action_get_request(action));
    if (self->allow_ && self->allow_(address)) {
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
  FileRequestHandler fileRequests_;
  std::function<void()> crashed_;
  bool loading_ = false;
  std::string page_;
  std::deque<std::string> held_;
  std::deque<std::string> sent_;  // every statement of the current page, for a reload
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
