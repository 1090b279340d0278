#!/usr/bin/python3
"""A desktop portal with GlobalShortcuts for tests, on the bus of DBUS_SESSION_BUS_ADDRESS.

  portal_service.py LOG [--bare]   serves (--bare: the portal without GlobalShortcuts), one line per step in LOG;
                                   a step that breaks the rules is logged as "FAULT ..."
  portal_service.py press          presses every bound shortcut once (Activated, then Deactivated)
"""
import sys
import time

import dbus

NAME, PATH = "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop"
SHORTCUTS, CONTROL = "org.freedesktop.portal.GlobalShortcuts", "org.knokle.TestPortal"


def serve(log_path, bare):
    import dbus.service
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    sessions = {}  # handle -> [(id, properties)]

    def log(line):
        with open(log_path, "a") as out:
            out.write(line + "\n")

    def path_for(kind, sender, token, step):
        if not token:
            log("FAULT %s without a %s token" % (step, kind))
        return "%s/%s/%s/%s" % (PATH, kind, sender[1:].replace(".", "_"), token)

    class Request(dbus.service.Object):
        @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
        def Response(self, code, results):
            pass

    class Session(dbus.service.Object):
        @dbus.service.method("org.freedesktop.portal.Session")
        def Close(self):
            log("Close " + self.handle.rsplit("/", 1)[-1])
            sessions.pop(self.handle, None)
            self.remove_from_connection()

    def answer(path, results):
        request = Request(bus, path)
        GLib.idle_add(lambda: request.Response(dbus.UInt32(0), dbus.Dictionary(results, signature="sv")) or
                      request.remove_from_connection())
        return dbus.ObjectPath(path)

    def listed(handle, step):
        if str(handle) not in sessions:
            log("FAULT %s on unknown session %s" % (step, handle))
        bound = sessions.get(str(handle), [])
        return dbus.Array([dbus.Struct((i, dbus.Dictionary(p, signature="sv"))) for i, p in bound],
                          signature="(sa{sv})")

    def described(trigger):  # LOGO+ALT+t -> Meta+Alt+T, as a desktop shows it
        words = {"LOGO": "Meta", "ALT": "Alt", "CTRL": "Ctrl", "SHIFT": "Shift"}
        parts = str(trigger).split("+")
        return "+".join([words.get(p, p) for p in parts[:-1]] + [parts[-1].upper()])

    class Portal(dbus.service.Object):
        @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
        def CreateSession(self, options, sender=None):
            handle = path_for("session", sender, options.get("session_handle_token"), "CreateSession")
            if handle in sessions:
                log("FAULT CreateSession of a session that is still open")
            Session(bus, handle).handle = handle
            sessions[handle] = []
            log("CreateSession")
            return answer(path_for("request", sender, options.get("handle_token"), "CreateSession"),
                          {"session_handle": dbus.String(handle)})

        @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o", sender_keyword="sender")
        def BindShortcuts(self, handle, shortcuts, parent, options, sender=None):
            listed(handle, "BindShortcuts")
            for i, props in shortcuts:
                log('BindShortcuts %s "%s" %s' % (i, props.get("description"), props.get("preferred_trigger")))
            sessions[str(handle)] = [(str(i), {"description": p.get("description", ""),
                                               "trigger_description": described(p.get("preferred_trigger", ""))})
                                     for i, p in shortcuts]
            return answer(path_for("request", sender, options.get("handle_token"), "BindShortcuts"),
                          {"shortcuts": listed(handle, "BindShortcuts")})

        @dbus.service.method(SHORTCUTS, in_signature="oa{sv}", out_signature="o", sender_keyword="sender")
        def ListShortcuts(self, handle, options, sender=None):
            log("ListShortcuts")
            return answer(path_for("request", sender, options.get("handle_token"), "ListShortcuts"),
                          {"shortcuts": listed(handle, "ListShortcuts")})

        @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
        def Activated(self, handle, shortcut_id, timestamp, options):
            pass

        @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
        def Deactivated(self, handle, shortcut_id, timestamp, options):
            pass

        @dbus.service.method(CONTROL, out_signature="u")
        def Press(self):
            pressed = [(h, i) for h, bound in sessions.items() for i, _ in bound]
            for handle, shortcut_id in pressed:
                # sent_at lets a benchmark time the way from the signal on.
                sent = dbus.Dictionary({"sent_at": dbus.Double(time.monotonic())}, signature="sv")
                for signal in (self.Activated, self.Deactivated):
                    signal(dbus.ObjectPath(handle), shortcut_id, dbus.UInt64(int(time.time() * 1000)), sent)
            log("Press %d" % len(pressed))
            return dbus.UInt32(len(pressed))

    name = dbus.service.BusName(NAME, bus)  # noqa: F841 (held while serving)
    (dbus.service.Object if bare else Portal)(bus, PATH)
    log("ready")
    GLib.MainLoop().run()


if __name__ == "__main__":
    if sys.argv[1] == "press":
        print(int(dbus.SessionBus().get_object(NAME, PATH).Press(dbus_interface=CONTROL)))
    else:
        serve(sys.argv[1], "--bare" in sys.argv[2:])
