#!/usr/bin/python3
"""A minimal desktop tray host for tests, on the session bus of DBUS_SESSION_BUS_ADDRESS.

  tray_host.py watch LOG      owns org.kde.StatusNotifierWatcher with a registered host; appends
                              "<monotonic seconds> <bus name> <object path>" to LOG per registered item
  tray_host.py layout ITEM    prints the item's visible DBusMenu entries as JSON (after AboutToShow, as a host)
  tray_host.py click ITEM LABEL   sends "clicked" to the first entry with that label
  tray_host.py icons ITEM LOG appends the glyph height of the largest IconPixmap to LOG, now ("ready H") and
                              at each NewIcon signal, as a panel redraws the item

ITEM is "BUSNAME/PATH" as in the watch log. /usr/bin/python3 has the dbus and gi modules.
"""
import json
import sys
import time

import dbus

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM_IFACE = "org.kde.StatusNotifierItem"
MENU_IFACE = "com.canonical.dbusmenu"

INTROSPECTION = """<node>
 <interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
 </interface>
 <interface name="org.freedesktop.DBus.Properties">
  <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/>
   <arg type="v" direction="out"/></method>
  <method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
 </interface>
 <interface name="org.freedesktop.DBus.Introspectable">
  <method name="Introspect"><arg type="s" direction="out"/></method>
 </interface>
</node>"""


def watch(log_path):
    import dbus.service
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    items = []

    class Watcher(dbus.service.Object):
        @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
        def RegisterStatusNotifierItem(self, service, sender=None):
            path = service if service.startswith("/") else "/StatusNotifierItem"
            name = sender if service.startswith("/") else service
            items.append(name + path)
            with open(log_path, "a") as log:
                log.write("%.6f %s %s\n" % (time.monotonic(), name, path))
            self.StatusNotifierItemRegistered(name + path)

        @dbus.service.method(WATCHER, in_signature="s")
        def RegisterStatusNotifierHost(self, service):
            pass

        @dbus.service.signal(WATCHER, signature="s")
        def StatusNotifierItemRegistered(self, service):
            pass

        @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
        def Get(self, interface, name):
            return self.GetAll(interface)[name]

        @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
        def GetAll(self, interface):
            return {"RegisteredStatusNotifierItems": dbus.Array(items, signature="s"),
                    "IsStatusNotifierHostRegistered": True, "ProtocolVersion": dbus.Int32(0)}

        @dbus.service.method(dbus.INTROSPECTABLE_IFACE, out_signature="s")
        def Introspect(self):
            return INTROSPECTION

    watcher = Watcher(bus, "/StatusNotifierWatcher")
    name = dbus.service.BusName(WATCHER, bus)
    with open(log_path, "a") as log:
        log.write("ready\n")
    GLib.MainLoop().run()
    del watcher, name


def item_proxy(item):
    name, _, path = item.partition("/")
    return dbus.SessionBus().get_object(name, "/" + path)


def menu_proxy(item):
    props = dbus.Interface(item_proxy(item), dbus.PROPERTIES_IFACE)
    menu_path = props.Get(ITEM_IFACE, "Menu")
    return dbus.SessionBus().get_object(item.partition("/")[0], menu_path)


def menu_entries(menu):
    menu.AboutToShow(0, dbus_interface=MENU_IFACE)
    # The item rebuilds its menu as it is about to show; the layout read after that reflects it.
    time.sleep(0.05)
    _, (root, _, children) = menu.GetLayout(0, -1, [], dbus_interface=MENU_IFACE)
    return [{
        "id": int(ident),
        "label": str(props.get("label", "")),
        "enabled": bool(props.get("enabled", True)),
        "separator": str(props.get("type", "standard")) == "separator",
        "toggle-type": str(props.get("toggle-type", "")),
        "toggle-state": int(props.get("toggle-state", -1)),
    } for ident, props, _ in children if bool(props.get("visible", True))]


def layout(item):
    print(json.dumps(menu_entries(menu_proxy(item))))


def click(item, label):
    menu = menu_proxy(item)
    for entry in menu_entries(menu):
        if entry["label"] == label:
            try:
                menu.Event(entry["id"], "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0),
                           dbus_interface=MENU_IFACE)
            except dbus.exceptions.DBusException as error:
                # "Quit" may end the program before its answer.
                if error.get_dbus_name() != "org.freedesktop.DBus.Error.NoReply":
                    raise
            return
    sys.exit("no item labelled %r" % label)


def icons(item, log_path):
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib

    DBusGMainLoop(set_as_default=True)
    name, _, path = item.partition("/")
    bus = dbus.SessionBus()
    props = dbus.Interface(bus.get_object(name, "/" + path), dbus.PROPERTIES_IFACE)

    def height():
        # Rows of the largest pixmap with a pixel of alpha above 0x40 (ARGB32 in network order: alpha first).
        pixmaps = props.Get(ITEM_IFACE, "IconPixmap")
        if not pixmaps:
            return 0
        width, _, data = max(pixmaps, key=lambda p: int(p[0]) * int(p[1]))
        width, data = int(width), bytes(data)
        rows = [y for y in range(len(data) // (4 * width))
                if any(alpha > 0x40 for alpha in data[4 * y * width:4 * (y + 1) * width:4])]
        return rows[-1] - rows[0] + 1 if rows else 0

    def changed():
        with open(log_path, "a") as log:
            log.write("%d\n" % height())

    bus.add_signal_receiver(changed, "NewIcon", ITEM_IFACE, name, "/" + path)
    with open(log_path, "a") as log:
        log.write("ready %d\n" % height())
    GLib.MainLoop().run()


if __name__ == "__main__":
    command, args = sys.argv[1], sys.argv[2:]
    {"watch": watch, "layout": layout, "click": click, "icons": icons}[command](*args)
