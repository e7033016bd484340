#!/usr/bin/python3
"""A stand-in tray for the end-to-end scripts, on a private session bus: a StatusNotifierWatcher
with a registered host, as a desktop's panel offers (where no real panel runs, as under a
headless Wayland compositor), and the host's side of reading and clicking the items.

Usage:
  status_notifier_host.py serve              own the watcher's name; print "ready"; run until killed
  status_notifier_host.py items              each live registered item: SERVICE PATH ITEMISMENU MENUPATH
  status_notifier_host.py labels             every live item's menu labels, one line an item
  status_notifier_host.py click LABEL        click the first menu entry labelled LABEL (any depth,
                                             any item); exit 1 if none
  status_notifier_host.py activate TOOLTIP   a left click on the item whose tooltip starts so
Every call it makes gives up after 5 seconds.
"""
import sys

import dbus

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"
TIMEOUT = 5


def serve():
    import dbus.mainloop.glib
    import dbus.service
    from gi.repository import GLib

    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()

    class Watcher(dbus.service.Object):
        def __init__(self):
            super().__init__(bus, "/StatusNotifierWatcher")
            self.items = []

        @dbus.service.method(WATCHER, in_signature="s", out_signature="",
                             sender_keyword="sender")
        def RegisterStatusNotifierItem(self, service, sender=None):
            name, path = (sender, service) if service.startswith("/") else (
                service, "/StatusNotifierItem")
            self.items.append(name + path)
            self.StatusNotifierItemRegistered(name + path)

        @dbus.service.method(WATCHER, in_signature="s", out_signature="")
        def RegisterStatusNotifierHost(self, service):
            pass

        @dbus.service.signal(WATCHER, signature="s")
        def StatusNotifierItemRegistered(self, item):
            pass

        @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
        def Get(self, interface, name):
            return self.GetAll(interface)[name]

        @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
        def GetAll(self, interface):
            return {"IsStatusNotifierHostRegistered": dbus.Boolean(True),
                    "ProtocolVersion": dbus.Int32(0),
                    "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s")}

    watcher = Watcher()
    name = dbus.service.BusName(WATCHER, bus)
    print("ready", flush=True)
    GLib.MainLoop().run()
    del watcher, name


def call(bus, name, path, interface, method, signature="", args=()):
    return bus.call_blocking(name, path, interface, method, signature, list(args),
                             timeout=TIMEOUT)


def live_items(bus):
    """[(service, path)] of registered items whose bus name is still there."""
    try:
        listed = call(bus, WATCHER, "/StatusNotifierWatcher", dbus.PROPERTIES_IFACE, "Get", "ss",
                      [WATCHER, "RegisteredStatusNotifierItems"])
    except dbus.DBusException:
        return []
    items = []
    for entry in listed:
        cut = entry.find("/")
        name, path = (entry[:cut], entry[cut:]) if cut > 0 else (entry, "/StatusNotifierItem")
        if bus.name_has_owner(name):
            items.append((str(name), str(path)))
    return items


def prop(bus, service, path, name):
    return call(bus, service, path, dbus.PROPERTIES_IFACE, "Get", "ss", [ITEM, name])


def entries(bus, service, menu_path):
    """(id, label) of every entry of an item's menu, depth first."""
    _, layout = call(bus, service, menu_path, MENU, "GetLayout", "iias", [0, -1, []])
    found = []

    def walk(node):
        for child in node[2]:
            found.append((int(child[0]), str(child[1].get("label", ""))))
            walk(child)

    walk(layout)
    return found


def main():
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "serve":
        serve()
        return 0
    bus = dbus.SessionBus()
    items = live_items(bus)
    if command == "items":
        for service, path in items:
            print(service, path, bool(prop(bus, service, path, "ItemIsMenu")),
                  prop(bus, service, path, "Menu"))
        return 0
    if command == "labels":
        for service, path in items:
            menu = str(prop(bus, service, path, "Menu"))
            print(" | ".join(label for _, label in entries(bus, service, menu)))
        return 0
    if command == "click":
        for service, path in items:
            menu = str(prop(bus, service, path, "Menu"))
            for entry_id, label in entries(bus, service, menu):
                if label == sys.argv[2]:
                    call(bus, service, menu, MENU, "Event", "isvu",
                         [entry_id, "clicked", dbus.Int32(0, variant_level=1), 0])
                    return 0
        return 1
    if command == "activate":
        for service, path in items:
            if str(prop(bus, service, path, "ToolTip")[2]).startswith(sys.argv[2]):
                call(bus, service, path, ITEM, "Activate", "ii", [0, 0])
                return 0
        return 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
