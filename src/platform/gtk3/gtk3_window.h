// The main window on GTK 3: the menu bar above the web view.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <vector>

#include "platform/desktop.h"
#include "platform/glib/gobject_ptr.h"
#include "platform/gtk3/gtk3_web_view.h"
#include "platform/gtk3/menu.h"

namespace tessary::platform::gtk3 {

using namespace glib;

class MainWindow final : public Window {
 public:
  // beforeView runs before the web view starts any process of the engine's. The page sees
  // every key before the accelerators and mnemonics, but those of beforePage.
  MainWindow(GtkApplication* application, const WindowOptions& options, GtkWidget* menuBar,
             GtkAccelGroup* accelerators, std::vector<Accelerator> beforePage,
             std::function<void()> beforeView);
  ~MainWindow() override;

  void present() override { gtk_window_present(window_.get()); }
  void hide() override { gtk_widget_hide(GTK_WIDGET(window_.get())); }
  void minimize() override { gtk_window_iconify(window_.get()); }
  void setCloseHandler(std::function<bool()> shouldClose) override {
    shouldClose_ = std::move(shouldClose);
  }
  WebView& webView() override { return webView_; }
  GtkWindow* toplevel() { return window_.get(); }
  // Makes the web view now (see webkit::WebView::prepare).
  void prepareWebView() { webView_.prepare(); }

 private:
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean onKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);

  GObjectPtr<GtkWindow> window_;
  GtkWidget* menuBar_;  // owned by the window; may be null
  GtkBox* page_;        // owned by the window
  WebView webView_;
  std::vector<Accelerator> beforePage_;
  std::function<bool()> shouldClose_;
  SignalConnections signals_;
};

}  // namespace tessary::platform::gtk3
