#!/usr/bin/python3
"""KWin's scripting interface for tests, on the bus of DBUS_SESSION_BUS_ADDRESS.

  kwin_service.py LOG VERSION WINDOWS.json

VERSION 5 or 6 decides where a loaded script lives (/N or /Scripting/ScriptN) and what its `workspace` offers
(clientList or windowList). A script that is run is executed by node against those windows, as KWin would run
it; its callDBus calls are made for real and its full-screen requests change the windows. One line per step in
LOG; a step that breaks the rules is logged as "FAULT ...".
"""
import json
import os
import subprocess
import sys
import tempfile

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

# The windows as KWin's script engine shows them: internalId is a wrapped QUuid (a string only through
# String()), KWin 5's resourceClass a byte array.
PRELUDE = r"""
const version = %d, state = %s;
const windows = state.map(w => {
    const o = {internalId: {toString: () => "{" + w.internalId + "}"}, pid: w.pid, normalWindow: w.normalWindow,
               active: w.active, desktopFileName: w.desktopFileName,
               resourceClass: version === 5 ? new ArrayBuffer(w.resourceClass.length) : w.resourceClass};
    Object.defineProperty(o, "fullScreen", {get: () => w.fullScreen,
        set: v => { w.fullScreen = !!v; console.log(JSON.stringify({fullScreen: w.internalId})); }});
    return o;
});
var workspace = version === 5 ? {clientList: () => windows} : {windowList: () => windows};
function callDBus(...args) { console.log(JSON.stringify({call: args})); }
"""


def main(log_path, version, windows_path):
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    with open(windows_path) as f:
        windows = json.load(f)
    scripts = {}  # id -> (name, path, text)

    def log(line):
        with open(log_path, "a") as out:
            out.write(line + "\n")

    def execute(text):
        with tempfile.NamedTemporaryFile("w", suffix=".js", delete=False) as f:
            f.write(PRELUDE % (version, json.dumps(windows)) + text)
        out = subprocess.run(["node", f.name], capture_output=True, text=True, timeout=20)
        os.unlink(f.name)
        if out.returncode != 0:
            log("FAULT the script failed: " + out.stderr.strip().replace("\n", " | "))
        for line in out.stdout.splitlines():
            event = json.loads(line)
            if "fullScreen" in event:
                for w in windows:
                    if w["internalId"] == event["fullScreen"]:
                        w["fullScreen"] = True
                log("fullScreen " + event["fullScreen"])
            else:
                service, path, interface, method, *args = event["call"]
                log("callDBus %s %s" % (interface, method))
                GLib.idle_add(lambda: bus.get_object(service, path, introspect=False).get_dbus_method(method, interface)(
                    *args, ignore_reply=True) and False)

    class Script(dbus.service.Object):
        def __init__(self, path, number):
            super().__init__(bus, path)
            self.number = number

        @dbus.service.method("org.kde.kwin.Script")
        def run(self):
            name, path, text = scripts.get(self.number, (None, None, None))
            if name is None:
                log("FAULT run of an unloaded script")
                return
            log("run " + name)
            execute(text)

        @dbus.service.method("org.kde.kwin.Script")
        def stop(self):
            log("stop")

    class Scripting(dbus.service.Object):
        @dbus.service.method("org.kde.kwin.Scripting", in_signature="ss", out_signature="i")
        def loadScript(self, path, name):
            if any(n == name for n, _, _ in scripts.values()):
                return -1
            if os.path.islink(path) or (os.stat(path).st_mode & 0o077):
                log("FAULT a script that others could change: " + path)
            with open(path) as f:
                text = f.read()
            number = len(scripts) + 1000
            scripts[number] = (str(name), str(path), text)
            at = "/Scripting/Script%d" % number if version == 6 else "/%d" % number
            Script(at, number)
            log("loadScript " + name)
            return number

        @dbus.service.method("org.kde.kwin.Scripting", in_signature="s", out_signature="b")
        def unloadScript(self, name):
            for number, (n, path, _) in list(scripts.items()):
                if n == name:
                    log("unloadScript " + name)
                    scripts[number] = (None, None, None)
                    return True
            return False

    name = dbus.service.BusName("org.kde.KWin", bus)  # noqa: F841 (held while serving)
    Scripting(bus, "/Scripting")
    log("ready")
    GLib.MainLoop().run()


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), sys.argv[3])
