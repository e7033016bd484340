#!/usr/bin/python3
"""A stand-in NetworkManager for the end-to-end scripts, on a private system bus.

Serves the State, Connectivity, PrimaryConnection and Metered properties that Qt's network
information reads, and announces every change of State with PropertiesChanged, as the real
service does. The script moves it with:
  dbus-send --system --dest=org.freedesktop.NetworkManager /org/freedesktop/NetworkManager \
    com.morvane.Tarvik.Test.SetState uint32:20
Usage: network_manager.py [INITIAL_STATE]   (70 = connected; 20 = disconnected)
"""
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.freedesktop.NetworkManager"
PATH = "/org/freedesktop/NetworkManager"
CONTROL = "com.morvane.Tarvik.Test"
CONNECTED_GLOBAL = 70


class NetworkManager(dbus.service.Object):
    def __init__(self, bus, state):
        super().__init__(bus, PATH)
        self.state = state

    def properties(self):
        return {
            "State": dbus.UInt32(self.state),
            "Connectivity": dbus.UInt32(4 if self.state == CONNECTED_GLOBAL else 1),
            "PrimaryConnection": dbus.ObjectPath("/"),
            "Metered": dbus.UInt32(0),
        }

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.properties()[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.properties() if interface == NAME else dbus.Dictionary({}, signature="sv")

    @dbus.service.signal(dbus.PROPERTIES_IFACE, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass

    @dbus.service.signal(NAME, signature="u")
    def StateChanged(self, state):
        pass

    @dbus.service.method(CONTROL, in_signature="u", out_signature="")
    def SetState(self, state):
        self.state = int(state)
        changed = self.properties()
        del changed["PrimaryConnection"], changed["Metered"]
        self.PropertiesChanged(NAME, changed, dbus.Array([], signature="s"))
        self.StateChanged(dbus.UInt32(self.state))


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SystemBus()
    manager = NetworkManager(bus, int(sys.argv[1]) if len(sys.argv) > 1 else CONNECTED_GLOBAL)
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    print("ready", flush=True)
    GLib.MainLoop().run()
    del manager, name


if __name__ == "__main__":
    main()
