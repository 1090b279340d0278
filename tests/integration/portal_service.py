#!/usr/bin/python3
"""A desktop portal for tests that implements org.freedesktop.portal.GlobalShortcuts, on the session bus of
DBUS_SESSION_BUS_ADDRESS.

  portal_service.py LOG            checks each call of the conversation and appends one line per step to LOG
  portal_service.py LOG --bare     owns the portal's name but offers no GlobalShortcuts
  portal_service.py press          (a client) presses the bound shortcut once: Activated, then Deactivated

A step that breaks the rules (a missing handle token, a session handle we did not give out, a shortcut
other than the one expected) is logged as "FAULT ...". Triggers are described as a desktop would: LOGO+ALT+t
becomes "Meta+Alt+T".
"""
import sys
import time

import dbus

NAME = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
CONTROL = "org.knokle.TestPortal"


def describe(trigger):
    words = {"LOGO": "Meta", "ALT": "Alt", "CTRL": "Ctrl", "SHIFT": "Shift"}
    parts = str(trigger).split("+")
    return "+".join([words.get(p, p) for p in parts[:-1]] + [parts[-1].upper()])


def serve(log_path, bare):
    import dbus.service
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    sessions = {}  # handle -> bound shortcuts [(id, props)]

    def log(line):
        with open(log_path, "a") as out:
            out.write(line + "\n")

    def request_path(sender, options, step):
        token = options.get("handle_token")
        if not token:
            log("FAULT %s without handle_token" % step)
            token = "t%d" % len(sessions)
        return "%s/request/%s/%s" % (PATH, sender[1:].replace(".", "_"), token)

    class Request(dbus.service.Object):
        @dbus.service.signal("org.freedesktop.portal.Request", signature="ua{sv}")
        def Response(self, code, results):
            pass

    class Session(dbus.service.Object):
        @dbus.service.method("org.freedesktop.portal.Session", sender_keyword="sender")
        def Close(self, sender=None):
            log("Close %s" % self.handle.rsplit("/", 1)[-1])
            sessions.pop(self.handle, None)
            self.remove_from_connection()

    def answer(path, results):
        request = Request(bus, path)

        def send():
            request.Response(dbus.UInt32(0), dbus.Dictionary(results, signature="sv"))
            request.remove_from_connection()
            return False

        GLib.idle_add(send)
        return dbus.ObjectPath(path)

    def shortcut_list(bound):
        return dbus.Array([dbus.Struct((i, dbus.Dictionary(p, signature="sv"))) for i, p in bound],
                          signature="(sa{sv})")

    def check_session(handle, step):
        if str(handle) not in sessions:
            log("FAULT %s on unknown session %s" % (step, handle))
            return False
        return True

    class Portal(dbus.service.Object):
        @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
        def CreateSession(self, options, sender=None):
            path = request_path(sender, options, "CreateSession")
            token = options.get("session_handle_token")
            if not token:
                log("FAULT CreateSession without session_handle_token")
                token = "s%d" % len(sessions)
            handle = "%s/session/%s/%s" % (PATH, sender[1:].replace(".", "_"), token)
            if handle in sessions:
                log("FAULT CreateSession of a session that is still open")
            session = Session(bus, handle)
            session.handle = handle
            sessions[handle] = []
            log("CreateSession")
            return answer(path, {"session_handle": dbus.String(handle)})

        @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o", sender_keyword="sender")
        def BindShortcuts(self, handle, shortcuts, parent, options, sender=None):
            path = request_path(sender, options, "BindShortcuts")
            if not check_session(handle, "BindShortcuts"):
                return answer(path, {})
            bound = []
            for shortcut_id, props in shortcuts:
                trigger = props.get("preferred_trigger", "")
                log("BindShortcuts %s \"%s\" %s" % (shortcut_id, props.get("description", ""), trigger))
                bound.append((str(shortcut_id), {"description": props.get("description", ""),
                                                 "trigger_description": describe(trigger)}))
            sessions[str(handle)] = bound
            return answer(path, {"shortcuts": shortcut_list(bound)})

        @dbus.service.method(SHORTCUTS, in_signature="oa{sv}", out_signature="o", sender_keyword="sender")
        def ListShortcuts(self, handle, options, sender=None):
            path = request_path(sender, options, "ListShortcuts")
            if not check_session(handle, "ListShortcuts"):
                return answer(path, {})
            log("ListShortcuts")
            return answer(path, {"shortcuts": shortcut_list(sessions[str(handle)])})

        @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
        def Get(self, interface, prop):
            return dbus.UInt32(1)

        @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
        def Activated(self, handle, shortcut_id, timestamp, options):
            pass

        @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
        def Deactivated(self, handle, shortcut_id, timestamp, options):
            pass

        @dbus.service.method(CONTROL, out_signature="u")
        def Press(self):
            pressed = 0
            for handle, bound in list(sessions.items()):
                for shortcut_id, _ in bound:
                    stamp = dbus.UInt64(int(time.monotonic() * 1000))
                    sent = dbus.Dictionary({"sent_at": dbus.Double(time.monotonic())}, signature="sv")
                    self.Activated(dbus.ObjectPath(handle), shortcut_id, stamp, sent)
                    self.Deactivated(dbus.ObjectPath(handle), shortcut_id, stamp, sent)
                    pressed += 1
            log("Press %d" % pressed)
            return dbus.UInt32(pressed)

    class BarePortal(dbus.service.Object):
        pass

    name = dbus.service.BusName(NAME, bus)
    (BarePortal if bare else Portal)(bus, PATH)
    log("ready")
    GLib.MainLoop().run()


def press():
    proxy = dbus.SessionBus().get_object(NAME, PATH)
    print(int(proxy.Press(dbus_interface=CONTROL)))


if __name__ == "__main__":
    if sys.argv[1] == "press":
        press()
    else:
        serve(sys.argv[1], "--bare" in sys.argv[2:])
