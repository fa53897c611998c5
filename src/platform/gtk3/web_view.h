// The web view on WebKitGTK 4.1: what the engine does, told as the platform's events, and the
// program's answers carried out.
#pragma once

#include <webkit2/webkit2.h>

#include <optional>
#include <string>

#include "platform/glib/gobject_ptr.h"
#include "platform/gtk3/dropped_files.h"
#include "platform/web_view.h"

namespace tessary::platform::gtk3 {

using namespace glib;

class GtkWebView final : public WebView {
 public:
  // The view goes into place, painted in background; beforeView runs before the engine starts
  // any process of its.
  GtkWebView(GtkBox* place, Color background, std::function<void()> beforeView);
  ~GtkWebView() override;

  void loadUrl(const std::string& url) override { startLoad(url); }
  void loadFile(const std::string& path, const std::string& readAccessRoot) override;
  void runScript(const std::string& script, std::function<void()> done) override;
  void editCommand(EditCommand command) override;
  void setNavigationPolicy(NavigationPolicy allow) override { allow_ = std::move(allow); }
  void setFileRequestHandler(FileRequestHandler handler) override {
    fileRequests_ = std::move(handler);
  }
  void setPermissionPolicy(PermissionPolicy decide) override { permissions_ = std::move(decide); }
  void setDownloadHandler(DownloadHandler handler) override { saveAs_ = std::move(handler); }
  void setDropHandler(DropHandler handler) override { dropped_ = std::move(handler); }
  void handDroppedFiles(const std::vector<std::string>& paths) override;
  void setCrashHandler(std::function<void()> handler) override { crashed_ = std::move(handler); }
  void setLoadHandler(std::function<void()> handler) override { loaded_ = std::move(handler); }
  void reload() override;
  void askToLeave(std::function<void(LeaveAnswer)> answer) override;
  // Makes the view now, starting the engine's network process (see view()).
  void prepare() { view(); }

 private:
  WebKitWebView* view();
  void startLoad(const std::string& page);

  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static void onDragData(GtkWidget*, GdkDragContext* context, gint, gint, GtkSelectionData* data,
                         guint, guint, gpointer self);
  static gboolean onDrop(GtkWidget*, GdkDragContext* context, gint, gint, guint, gpointer self);
  static void onDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer self);
  static gboolean onPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request,
                                      gpointer self);
  static void onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer self);
  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction*, gpointer);
  static gboolean onContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*,
                                WebKitHitTestResult*, gpointer);
  static void onClose(WebKitWebView*, gpointer self);
  static gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self);
  static gboolean onRunFileChooser(WebKitWebView*, WebKitFileChooserRequest* request,
                                   gpointer self);

  GObjectPtr<WebKitWebView> view_;
  NavigationPolicy allow_;
  FileRequestHandler fileRequests_;
  PermissionPolicy permissions_;
  DownloadHandler saveAs_;
  DropHandler dropped_;
  // What the drag under way carries, from when its data arrived; told at the drop.
  Drop dragged_;
  std::optional<DroppedFiles> droppedFiles_;
  std::function<void()> crashed_;
  std::function<void()> loaded_;
  // Who asked the page to let go, until it answers or the user stays.
  std::function<void(LeaveAnswer)> leave_;
  bool asking_ = false;
  GtkBox* place_;
  Color background_;
  std::function<void()> beforeView_;
  // The load last asked for: asked, started; the end of one it replaced is not its end.
  enum class Load { None, Asked, Started } awaited_ = Load::None;
  std::string page_;
  // Cancelled with the view, so that no script's answer outlives it.
  GObjectPtr<GCancellable> scripts_ = adopt(g_cancellable_new());
  SignalConnections signals_;
};

}  // namespace tessary::platform::gtk3
