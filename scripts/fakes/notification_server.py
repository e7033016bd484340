#!/usr/bin/python3
"""A stand-in desktop notification server for the end-to-end scripts, on a private session bus.

Answers like a server that shows body text and actions, and records every Notify and
CloseNotification call to a file, one tab-separated line each (newlines in texts as "\\n"):
  Notify  ID  REPLACES_ID  APP_NAME  URGENCY  DESKTOP_ENTRY  SUMMARY  BODY
  Close   ID
Usage: notification_server.py LOG_FILE
"""
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"


def flat(text):
    return str(text).replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")


class Server(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, PATH)
        self.log = log
        self.last_id = 0

    def record(self, *fields):
        self.log.write("\t".join(flat(field) for field in fields) + "\n")
        self.log.flush()

    @dbus.service.method(NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["body", "actions"]

    @dbus.service.method(NAME, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("tarvik-test", "morvane", "1", "1.2")

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        if replaces:
            notification_id = int(replaces)
        else:
            self.last_id += 1
            notification_id = self.last_id
        self.record("Notify", notification_id, int(replaces), app, int(hints.get("urgency", -1)),
                    hints.get("desktop-entry", ""), summary, body)
        return dbus.UInt32(notification_id)

    @dbus.service.method(NAME, in_signature="u", out_signature="")
    def CloseNotification(self, notification_id):
        self.record("Close", int(notification_id))
        self.NotificationClosed(notification_id, dbus.UInt32(3))

    @dbus.service.signal(NAME, signature="uu")
    def NotificationClosed(self, notification_id, reason):
        pass


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    with open(sys.argv[1], "a", encoding="utf-8") as log:
        server = Server(bus, log)
        name = dbus.service.BusName(NAME, bus, do_not_queue=True)
        print("ready", flush=True)
        GLib.MainLoop().run()
        del server, name


if __name__ == "__main__":
    main()
