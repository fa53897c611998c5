// The web view's engine part on WebKitGTK (see webkit_web_view.h).
#include "platform/webkit/webkit_web_view.h"

#include <memory>
#include <utility>
#include <vector>

#include "platform/glib/main_loop.h"
#include "platform/webkit/address.h"
#include "platform/webkit/page_focus.h"
#include "platform/webkit/webkit_download.h"

namespace tessary::platform::webkit {

using namespace glib;

namespace {

std::optional<Address> addressOf(WebKitURIRequest* request) {
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (!uri || !*uri) return std::nullopt;
  return platform::addressOf(uri);
}

Permission kindOf(WebKitPermissionRequest* request) {
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

// The engine keeps local storage and IndexedDB in its folder for the program under the XDG
// data folder by itself, but cookies only in memory unless told: kept beside the rest, they
// outlive a quit as in a browser (session cookies still end with the program).
void keepCookies(WebKitWebView* view) {
  const auto [cookies, base] = websiteDataOf(view);
  GCharPtr file(
      base ? g_build_filename(base, "cookies.sqlite", nullptr)
           : g_build_filename(g_get_user_data_dir(), g_get_prgname(), "cookies.sqlite", nullptr));
  webkit_cookie_manager_set_persistent_storage(cookies, file.get(),
                                               WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
}

}  // namespace

WebView::WebView(Color background, std::function<void()> beforeView)
    : background_(background), beforeView_(std::move(beforeView)) {}

WebView::~WebView() {
  g_cancellable_cancel(scripts_.get());
}

// The engine starts its network process with the view, after which its sandbox can no
// longer be chosen: the view is made when it is first needed, and then put in its place.
WebKitWebView* WebView::view() {
  if (view_) return view_.get();
  if (auto before = std::exchange(beforeView_, nullptr)) before();
  view_.reset(WEBKIT_WEB_VIEW(g_object_ref_sink(webkit_web_view_new())));
  keepCookies(view_.get());
  // Assigned, not listed: GTK 4's colour is made of floats.
  GdkRGBA color;
  color.red = background_.red, color.green = background_.green, color.blue = background_.blue;
  color.alpha = background_.alpha;
  webkit_web_view_set_background_color(view_.get(), &color);
  // One local page needs no accelerated compositing; without it the process tree holds a
  // third less memory and the page looks the same (measured in bench/).
  webkit_settings_set_hardware_acceleration_policy(webkit_web_view_get_settings(view_.get()),
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  droppedFiles_.emplace(view_.get());
  signals_.connect(view_.get(), "decide-policy", onDecidePolicy, this);
  signals_.connect(view_.get(), "create", onCreate, this);
  signals_.connect(view_.get(), "context-menu", contextMenuCallback<onContextMenu>(), nullptr);
  signals_.connect(view_.get(), "run-file-chooser", onRunFileChooser, this);
  signals_.connect(view_.get(), "permission-request", onPermissionRequest, this);
  signals_.connect(view_.get(), "load-changed", onLoadChanged, this);
  signals_.connect(view_.get(), "web-process-terminated", onTerminated, this);
  signals_.connect(view_.get(), "close", onClose, this);
  signals_.connect(view_.get(), "script-dialog", onScriptDialog, this);
  signals_.connect(downloadsOf(view_.get()), "download-started", onDownloadStarted, this);
  keepPageFocused(view_.get());
  place(view_.get());
  return view_.get();
}

// WebKitGTK lets a file page read the files beside it and has no narrower root to set.
void WebView::loadFile(const std::string& path, const std::string&) {
  GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
  if (uri) startLoad(uri.get());
}

void WebView::runScript(const std::string& script, std::function<void()> done) {
  using Done = std::function<void()>;
  webkit_web_view_evaluate_javascript(
      view(), script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr, scripts_.get(),
      [](GObject* view, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Done> done(&Boxed<Done>::of(data));
        GErrorPtr error;
        adopt(
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, out(error)));
        // Cancelled: the view is gone, and with it whoever asked.
        if (!g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED)) (*done)();
      },
      Boxed<Done>::box(std::move(done)));
}

void WebView::editCommand(EditCommand command) {
  static const std::pair<EditCommand, const char*> names[] = {
      {EditCommand::Undo, WEBKIT_EDITING_COMMAND_UNDO},
      {EditCommand::Redo, WEBKIT_EDITING_COMMAND_REDO},
      {EditCommand::Cut, WEBKIT_EDITING_COMMAND_CUT},
      {EditCommand::Copy, WEBKIT_EDITING_COMMAND_COPY},
      {EditCommand::Paste, WEBKIT_EDITING_COMMAND_PASTE},
      {EditCommand::SelectAll, WEBKIT_EDITING_COMMAND_SELECT_ALL}};
  for (const auto& [each, name] : names)
    if (each == command && view_) webkit_web_view_execute_editing_command(view_.get(), name);
}

void WebView::reload() {
  if (!page_.empty()) startLoad(page_);
}

void WebView::askToLeave(std::function<void(LeaveAnswer)> answer) {
  leave_ = std::move(answer);
  if (asking_) {
    leave_(LeaveAnswer::Asking);
    return;
  }
  // Emits close, at once where the page has no handler, once the page lets go.
  webkit_web_view_try_close(view());
}

void WebView::onClose(WebKitWebView*, gpointer data) {
  auto* self = static_cast<WebView*>(data);
  self->asking_ = false;
  // A page's own window.close() is not the user leaving.
  if (auto leave = std::exchange(self->leave_, nullptr)) leave(LeaveAnswer::Leave);
}

// The engine's question is its own dialog inside the view, in the user's language. While it is
// open the page's process waits for it; a script sent now runs only after the page has
// answered the close, so its end, with no close before it, means the user stayed.
gboolean WebView::onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
  auto* self = static_cast<WebView*>(data);
  if (webkit_script_dialog_get_dialog_type(dialog) != WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM ||
      !self->leave_ || self->asking_)
    return FALSE;
  self->asking_ = true;
  self->leave_(LeaveAnswer::Asking);
  self->runScript("void 0", [self] {
    if (self->asking_) self->asking_ = false, self->leave_ = nullptr;
  });
  return FALSE;
}

void WebView::startLoad(const std::string& page) {
  page_ = page;
  awaited_ = Load::Asked;
  webkit_web_view_load_uri(view(), page.c_str());
}

void WebView::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
  auto* self = static_cast<WebView*>(data);
  if (event == WEBKIT_LOAD_STARTED && self->awaited_ == Load::Asked) {
    self->awaited_ = Load::Started;
  } else if (event == WEBKIT_LOAD_FINISHED && self->awaited_ == Load::Started) {
    self->awaited_ = Load::None;
    if (self->loaded_) self->loaded_();
  }
}

void WebView::dragArrived(Drop dragged) {
  droppedFiles_->dragging(!dragged.files.empty() && dragged.fromOtherProgram);
  dragged_ = std::move(dragged);
}

// Before the engine's own handler, which delivers the drop to the page: a drop that no part of
// the page takes makes the engine open what was dropped in place of the page.
void WebView::dropArrived(bool fromOtherProgram) {
  Drop drop = std::exchange(dragged_, {});
  drop.fromOtherProgram = fromOtherProgram;
  droppedFiles_->clear();
  if (dropped_) dropped_(drop);
}

void WebView::handDroppedFiles(const std::vector<std::string>& paths) {
  if (droppedFiles_) droppedFiles_->hand(paths);
}

void WebView::onDownloadStarted(GObject*, WebKitDownload* download, gpointer data) {
  auto* self = static_cast<WebView*>(data);
  if (self->view_ && webkit_download_get_web_view(download) == self->view_.get())
    watchDownload(download, self->saveAs_);
}

// Answered at once: left unanswered, the engine would apply its own default, which allows
// pointer lock and may allow what a later version adds.
gboolean WebView::onPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request,
                                      gpointer data) {
  auto* self = static_cast<WebView*>(data);
  if (self->permissions_ && self->permissions_(kindOf(request))) {
    webkit_permission_request_allow(request);
  } else {
    webkit_permission_request_deny(request);
  }
  return TRUE;
}

void WebView::onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                           gpointer data) {
  auto* self = static_cast<WebView*>(data);
  // An end the program asked for is no crash.
  if (reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API && self->crashed_) self->crashed_();
}

gboolean WebView::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer data) {
  auto* self = static_cast<WebView*>(data);
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
  auto* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  if (self->allow_ && self->allow_(addressOf(webkit_navigation_action_get_request(action)))) {
    webkit_policy_decision_use(decision);
  } else {
    webkit_policy_decision_ignore(decision);
  }
  return TRUE;
}

// window.open and target-blank links end here: never a second view.
GtkWidget* WebView::onCreate(WebKitWebView*, WebKitNavigationAction*, gpointer) {
  return nullptr;
}

// What would open a second view opens nothing: the menu does not offer it.
gboolean WebView::onContextMenu(WebKitContextMenu* menu) {
  std::vector<WebKitContextMenuItem*> newWindow;
  for (GList* item = webkit_context_menu_get_items(menu); item; item = item->next) {
    switch (webkit_context_menu_item_get_stock_action(WEBKIT_CONTEXT_MENU_ITEM(item->data))) {
      case WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW:
      case WEBKIT_CONTEXT_MENU_ACTION_OPEN_IMAGE_IN_NEW_WINDOW:
      case WEBKIT_CONTEXT_MENU_ACTION_OPEN_FRAME_IN_NEW_WINDOW:
      case WEBKIT_CONTEXT_MENU_ACTION_OPEN_VIDEO_IN_NEW_WINDOW:
      case WEBKIT_CONTEXT_MENU_ACTION_OPEN_AUDIO_IN_NEW_WINDOW:
        newWindow.push_back(WEBKIT_CONTEXT_MENU_ITEM(item->data));
        break;
      default:
        break;
    }
  }
  for (auto* item : newWindow) webkit_context_menu_remove(menu, item);
  return FALSE;
}

gboolean WebView::onRunFileChooser(WebKitWebView*, WebKitFileChooserRequest* request,
                                   gpointer data) {
  auto* self = static_cast<WebView*>(data);
  if (self->droppedFiles_->answer(request)) return TRUE;
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

}  // namespace tessary::platform::webkit
