#!/usr/bin/python3
"""KWin's scripting interface for tests, on the bus of DBUS_SESSION_BUS_ADDRESS: kwin_service.py LOG VERSION WINDOWS.json

VERSION 5 or 6 decides where a loaded script lives (/N or /Scripting/ScriptN) and what its `workspace` offers
(clientList or windowList). A script that is run is executed by node against the windows, as KWin would run it:
its callDBus calls are made for real, its full-screen requests change the windows. One line per step in LOG.
"""
import json, os, subprocess, sys, tempfile

import dbus, dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

# As KWin's script engine shows windows: internalId a wrapped QUuid, KWin 5's resourceClass a byte array.
PRELUDE = r"""
const version = %d, windows = %s.map(w => Object.defineProperty(Object.assign({}, w, {
    internalId: {toString: () => "{" + w.internalId + "}"},
    resourceClass: version === 5 ? new ArrayBuffer(1) : w.resourceClass}), "fullScreen", {get: () => w.fullScreen,
    set: v => { w.fullScreen = !!v; console.log(JSON.stringify({fullScreen: w.internalId})); }}));
var workspace = version === 5 ? {clientList: () => windows} : {windowList: () => windows};
function callDBus(...args) { console.log(JSON.stringify({call: args})); }
"""

DBusGMainLoop(set_as_default=True)
bus, log_path, version = dbus.SessionBus(), sys.argv[1], int(sys.argv[2])
windows = [dict({"normalWindow": w["resourceClass"] != "plasmashell", "active": False, "fullScreen": False}, **w)
           for w in json.load(open(sys.argv[3]))]
scripts = {}  # number -> (name, text); name None once unloaded


def log(line):
    with open(log_path, "a") as out:
        out.write(line + "\n")


def execute(text):
    with tempfile.NamedTemporaryFile("w", suffix=".js") as f:
        f.write(PRELUDE % (version, json.dumps(windows)) + text)
        f.flush()
        out = subprocess.run(["node", f.name], capture_output=True, text=True, timeout=20)
    if out.returncode != 0:
        log("FAULT the script failed: " + out.stderr.strip().replace("\n", " | "))
    for event in map(json.loads, out.stdout.splitlines()):
        if "fullScreen" in event:
            for w in windows:
                w["fullScreen"] |= w["internalId"] == event["fullScreen"]
            log("fullScreen " + event["fullScreen"])
        else:
            service, path, interface, method, *args = event["call"]
            log("callDBus %s %s" % (interface, method))
            call = bus.get_object(service, path, introspect=False).get_dbus_method(method, interface)
            GLib.idle_add(lambda: call(*args, ignore_reply=True) and False)


class Script(dbus.service.Object):
    @dbus.service.method("org.kde.kwin.Script")
    def run(self):
        name, text = scripts[self.number]
        log("run " + name if name else "FAULT run of an unloaded script")
        execute(text or "")


class Scripting(dbus.service.Object):
    @dbus.service.method("org.kde.kwin.Scripting", in_signature="ss", out_signature="i")
    def loadScript(self, path, name):
        if os.path.islink(path) or (os.stat(path).st_mode & 0o077):
            log("FAULT a script that others could change: " + path)
        number = len(scripts) + 1000
        scripts[number] = (str(name), open(path).read())
        Script(bus, "/Scripting/Script%d" % number if version == 6 else "/%d" % number).number = number
        log("loadScript " + name)
        return number

    @dbus.service.method("org.kde.kwin.Scripting", in_signature="s", out_signature="b")
    def unloadScript(self, name):
        loaded = [n for n, (s, _) in scripts.items() if s == name]
        for number in loaded:
            scripts[number] = (None, None)
            log("unloadScript " + name)
        return bool(loaded)


held = dbus.service.BusName("org.kde.KWin", bus)
Scripting(bus, "/Scripting")
log("ready")
GLib.MainLoop().run()
