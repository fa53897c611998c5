// The web view on WebKitGTK, the part any GTK shares: what the engine does, told as the
// platform's events, and the program's answers carried out. The toolkit's part (putting the
// view in its place, its drag and drop events) derives from it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/glib/gobject_ptr.h"
#include "platform/web_view.h"
#include "platform/webkit/compat.h"
#include "platform/webkit/dropped_files.h"

namespace tessary::platform::webkit {

using namespace glib;

class WebView : public platform::WebView {
 public:
  // The view is painted in background; beforeView runs before the engine starts any process
  // of its.
  WebView(Color background, std::function<void()> beforeView);
  ~WebView() override;

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

 protected:
  // The toolkit's part, once the view is made: puts it in its place, shows it with the focus,
  // and watches the drags over it.
  virtual void place(WebKitWebView* view) = 0;
  // What a drag over the view carries, as soon as its data arrives (before the engine shows
  // the page that it entered) and again as it moves.
  void dragArrived(Drop dragged);
  // The user let go over the view, before the engine delivers the drop to the page.
  void dropArrived(bool fromOtherProgram);

 private:
  WebKitWebView* view();
  void startLoad(const std::string& page);

  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static void onDownloadStarted(GObject*, WebKitDownload* download, gpointer self);
  static gboolean onPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request,
                                      gpointer self);
  static void onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer self);
  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction*, gpointer);
  static gboolean onContextMenu(WebKitContextMenu* menu);
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
  Color background_;
  std::function<void()> beforeView_;
  // The load last asked for: asked, started; the end of one it replaced is not its end.
  enum class Load { None, Asked, Started } awaited_ = Load::None;
  std::string page_;
  // Cancelled with the view, so that no script's answer outlives it.
  GObjectPtr<GCancellable> scripts_ = adopt(g_cancellable_new());
  SignalConnections signals_;
};

}  // namespace tessary::platform::webkit
