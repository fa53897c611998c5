"""Another program's window from which the file argv[1] is dragged, as from a file manager."""
import sys

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

window = Gtk.Window(title="drag source")
button = Gtk.Button(label="drag me")
button.drag_source_set(Gdk.ModifierType.BUTTON1_MASK,
                       [Gtk.TargetEntry.new("text/uri-list", 0, 0)], Gdk.DragAction.COPY)
button.connect("drag-data-get", lambda w, context, data, info, time:
               data.set_uris([GLib.filename_to_uri(sys.argv[1])]))
window.add(button)
window.set_default_size(120, 80)
window.move(1460, 20)
window.show_all()
Gtk.main()
