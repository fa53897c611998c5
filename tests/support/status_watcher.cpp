// The StatusNotifierWatcher runs on a thread with a main context of its own, so it answers
// while the test blocks.
#include "support/status_watcher.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "support/http_server.h"

namespace tessary::testing {

namespace {

const char kWatcherXml[] = R"(<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
</interface></node>)";

}  // namespace

struct StatusWatcher::State {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<StatusItemAddress> items;
  bool owned = false;
  bool ready = false;
  GMainContext* context = nullptr;
  GMainLoop* loop = nullptr;
  std::thread thread;
};

StatusWatcher::StatusWatcher() : state_(std::make_shared<State>()) {
  state_->context = g_main_context_new();
  state_->loop = g_main_loop_new(state_->context, FALSE);
  state_->thread = std::thread([s = state_.get()] {
    g_main_context_push_thread_default(s->context);
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kWatcherXml, nullptr);
    static const GDBusInterfaceVTable vtable = {
        [](GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
           GVariant* params, GDBusMethodInvocation* invocation, gpointer data) {
          auto* st = static_cast<State*>(data);
          if (g_strcmp0(method, "RegisterStatusNotifierItem") == 0) {
            const gchar* arg = nullptr;
            g_variant_get(params, "(&s)", &arg);
            StatusItemAddress item = arg[0] == '/' ? StatusItemAddress{sender, arg}
                                                   : StatusItemAddress{arg, "/StatusNotifierItem"};
            std::lock_guard lock(st->mutex);
            st->items.push_back(item);
            st->changed.notify_all();
          }
          g_dbus_method_invocation_return_value(invocation, nullptr);
        },
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property,
           GError**, gpointer data) -> GVariant* {
          auto* st = static_cast<State*>(data);
          if (g_strcmp0(property, "IsStatusNotifierHostRegistered") == 0)
            return g_variant_new_boolean(TRUE);
          if (g_strcmp0(property, "ProtocolVersion") == 0) return g_variant_new_int32(0);
          GVariantBuilder names;
          g_variant_builder_init(&names, G_VARIANT_TYPE("as"));
          std::lock_guard lock(st->mutex);
          for (const auto& i : st->items)
            g_variant_builder_add(&names, "s", (i.service + i.path).c_str());
          return g_variant_builder_end(&names);
        },
        nullptr,
        {}};
    guint object = 0;
    if (bus) {
      object = g_dbus_connection_register_object(bus, "/StatusNotifierWatcher", info->interfaces[0],
                                                 &vtable, s, nullptr, nullptr);
    }
    GVariant* reply =
        bus ? g_dbus_connection_call_sync(
                  bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "RequestName", g_variant_new("(su)", "org.kde.StatusNotifierWatcher", 4u),
                  G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr)
            : nullptr;
    {
      std::lock_guard lock(s->mutex);
      guint32 result = 0;
      if (reply) g_variant_get(reply, "(u)", &result);
      s->owned = result == 1;
      s->ready = true;
      s->changed.notify_all();
    }
    if (reply) g_variant_unref(reply);
    g_main_loop_run(s->loop);
    if (bus) {
      g_dbus_connection_unregister_object(bus, object);
      g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                  "org.freedesktop.DBus", "ReleaseName",
                                  g_variant_new("(s)", "org.kde.StatusNotifierWatcher"), nullptr,
                                  G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
      g_object_unref(bus);
    }
    g_dbus_node_info_unref(info);
    g_main_context_pop_thread_default(s->context);
  });
  std::unique_lock lock(state_->mutex);
  state_->changed.wait(lock, [&] { return state_->ready; });
}

StatusWatcher::~StatusWatcher() {
  g_main_loop_quit(state_->loop);
  state_->thread.join();
  g_main_loop_unref(state_->loop);
  g_main_context_unref(state_->context);
}

bool StatusWatcher::owned() const {
  std::lock_guard lock(state_->mutex);
  return state_->owned;
}

std::optional<StatusItemAddress> StatusWatcher::waitForItem(double timeout) {
  std::unique_lock lock(state_->mutex);
  if (!state_->changed.wait_for(lock, std::chrono::duration<double>(timeout),
                                [&] { return !state_->items.empty(); }))
    return std::nullopt;
  return state_->items.front();
}

StatusArea::StatusArea(StatusItemAddress item) : item_(std::move(item)) {
  bus_ = g_dbus_connection_new_for_address_sync(
      g_getenv("DBUS_SESSION_BUS_ADDRESS"),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  menuPath_ = property("Menu");
}

StatusArea::~StatusArea() {
  if (bus_) g_object_unref(bus_);
}

std::string StatusArea::property(const std::string& name) {
  if (!bus_) return "";
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, item_.service.c_str(), item_.path.c_str(), "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", "org.kde.StatusNotifierItem", name.c_str()), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  if (!reply) return "";
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  std::string out = g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ||
                            g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH)
                        ? g_variant_get_string(value, nullptr)
                        : "";
  g_variant_unref(value);
  g_variant_unref(reply);
  return out;
}

std::vector<MenuEntryInfo> StatusArea::menu() {
  std::vector<MenuEntryInfo> entries;
  if (!bus_ || menuPath_.empty()) return entries;
  const gchar* names[] = {nullptr};
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, item_.service.c_str(), menuPath_.c_str(), "com.canonical.dbusmenu", "GetLayout",
      g_variant_new("(ii^as)", 0, -1, names), G_VARIANT_TYPE("(u(ia{sv}av))"),
      G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  if (!reply) return entries;
  GVariant* layout = g_variant_get_child_value(reply, 1);
  GVariant* children = g_variant_get_child_value(layout, 2);
  for (gsize i = 0; i < g_variant_n_children(children); ++i) {
    GVariant* boxed = g_variant_get_child_value(children, i);
    GVariant* child = g_variant_get_variant(boxed);
    MenuEntryInfo entry;
    GVariant* props = nullptr;
    g_variant_get_child(child, 0, "i", &entry.id);
    props = g_variant_get_child_value(child, 1);
    const gchar* text = nullptr;
    if (g_variant_lookup(props, "label", "&s", &text)) entry.label = text;
    if (g_variant_lookup(props, "type", "&s", &text)) entry.type = text;
    if (GVariant* shortcut = g_variant_lookup_value(props, "shortcut", nullptr)) {
      entry.hasShortcut = true;
      g_variant_unref(shortcut);
    }
    gboolean visible = TRUE;
    g_variant_lookup(props, "visible", "b", &visible);
    if (visible) entries.push_back(entry);
    g_variant_unref(props);
    g_variant_unref(child);
    g_variant_unref(boxed);
  }
  g_variant_unref(children);
  g_variant_unref(layout);
  g_variant_unref(reply);
  return entries;
}

void StatusArea::click(int id) {
  if (!bus_) return;
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, item_.service.c_str(), menuPath_.c_str(), "com.canonical.dbusmenu", "Event",
      g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), 0u), nullptr,
      G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  if (reply) g_variant_unref(reply);
}

}  // namespace tessary::testing
