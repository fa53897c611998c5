// The status-area icon through Ayatana AppIndicator. Without a StatusNotifierWatcher on the
// bus the library falls back to an old X tray icon by itself.
#include "platform/gtk3/gtk3_status_item.h"

#include <libayatana-appindicator/app-indicator.h>

#include "platform/glib/gobject_ptr.h"
#include "platform/gtk3/menu.h"

namespace tessary::platform::gtk3 {

using namespace glib;

namespace {

class Indicator final : public StatusItem {
 public:
  Indicator(const StatusItemOptions& options, const std::optional<std::string>& iconThemePath)
      : indicator_(adopt(app_indicator_new(options.id.c_str(), options.iconName.c_str(),
                                           APP_INDICATOR_CATEGORY_APPLICATION_STATUS))),
        menu_(GTK_MENU(g_object_ref_sink(gtk_menu_new()))) {
    if (iconThemePath) app_indicator_set_icon_theme_path(indicator_.get(), iconThemePath->c_str());
    app_indicator_set_icon_full(indicator_.get(), options.iconName.c_str(), options.title.c_str());
    // StatusNotifierItem has no tool tip of its own here: hosts show the title instead.
    app_indicator_set_title(indicator_.get(), options.title.c_str());
    fillMenu(GTK_MENU_SHELL(menu_.get()), options.entries, nullptr);
    gtk_widget_show_all(GTK_WIDGET(menu_.get()));
    app_indicator_set_menu(indicator_.get(), menu_.get());
    app_indicator_set_status(indicator_.get(), APP_INDICATOR_STATUS_ACTIVE);
  }
  ~Indicator() override {
    app_indicator_set_status(indicator_.get(), APP_INDICATOR_STATUS_PASSIVE);
    gtk_widget_destroy(GTK_WIDGET(menu_.get()));
  }

 private:
  GObjectPtr<AppIndicator> indicator_;
  GObjectPtr<GtkMenu> menu_;
};

}  // namespace

std::unique_ptr<StatusItem> createIndicator(const StatusItemOptions& options,
                                            const std::optional<std::string>& iconThemePath) {
  return std::make_unique<Indicator>(options, iconThemePath);
}

}  // namespace tessary::platform::gtk3
