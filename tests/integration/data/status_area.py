"""A desktop's status area on the session bus: owns the StatusNotifierWatcher and, for the
first item that registers, writes to the file argv[1] a line "ready", a line with the item's
title and menu labels ("---" for a separator, "!" after a label with a shortcut), the path of
its icon, then per entry its label and the command that clicks it as a status area does.
"""
import sys

from gi.repository import Gio, GLib

XML = """<node><interface name="org.kde.StatusNotifierWatcher">
<method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
<property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
<property name="RegisteredStatusNotifierItems" type="as" access="read"/>
<property name="ProtocolVersion" type="i" access="read"/></interface></node>"""
bus = Gio.bus_get_sync(Gio.BusType.SESSION)


def call(service, path, interface, method, args, reply):
    return bus.call_sync(service, path, interface, method, args, GLib.VariantType(reply),
                         Gio.DBusCallFlags.NONE, 5000).unpack()


def describe(service, path):
    prop = lambda name: call(service, path, "org.freedesktop.DBus.Properties", "Get", GLib.Variant(
        "(ss)", ("org.kde.StatusNotifierItem", name)), "(v)")[0]
    menu = prop("Menu")
    layout = call(service, menu, "com.canonical.dbusmenu", "GetLayout",
                  GLib.Variant("(iias)", (0, -1, [])), "(u(ia{sv}av))")[1]
    header, clicks = prop("Title") + "|", []
    for entry, props, _ in layout[2]:
        label = "---" if props.get("type") == "separator" else props.get("label", "")
        header += label + ("!" if "shortcut" in props else "") + "|"
        clicks.append(label + "gdbus call --session --dest " + service + " --object-path " + menu +
                      " --method com.canonical.dbusmenu.Event " + str(entry) + " clicked '<0>' 0")
    icon = f"{prop('IconThemePath')}/hicolor/scalable/apps/{prop('IconName')}.svg"
    with open(sys.argv[1], "w") as f:
        f.write("\n".join(["ready", header, icon] + clicks) + "\n")


def on_call(connection, sender, path, interface, method, params, invocation):
    item = params.unpack()[0]
    invocation.return_value(None)
    GLib.timeout_add(300, lambda: describe(sender, item if item.startswith("/") else "/StatusNotifierItem"))


def on_get(connection, sender, path, interface, name):
    return {"IsStatusNotifierHostRegistered": GLib.Variant("b", True),
            "RegisteredStatusNotifierItems": GLib.Variant("as", []),
            "ProtocolVersion": GLib.Variant("i", 0)}[name]


bus.register_object("/StatusNotifierWatcher", Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0],
                    on_call, on_get, None)
Gio.bus_own_name_on_connection(bus, "org.kde.StatusNotifierWatcher", Gio.BusNameOwnerFlags.NONE,
                               None, None)
GLib.MainLoop().run()
