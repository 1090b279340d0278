#!/usr/bin/env bash
# The tray program's figures on a private desktop (Xvfb with openbox, a private session bus and the test suite's
# StatusNotifierWatcher), one line each: preview renders, start to tray item, the Test Taps window's open time,
# idle memory against a bare Qt tray icon with a menu (bench/bare_tray.cpp), idle wake-ups.
#
#   bench/tray-perf.sh [KNOKLE [BARE_TRAY]]      (KNOKLE defaults to build/knokle; BARE_TRAY is built if not given)
#   RUNS=7 WAKE_SECONDS=10 bench/tray-perf.sh build/knokle build/bench/bare_tray
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
knokle=$(realpath "${1:-$here/build/knokle}")
bare=${2:-}
runs=${RUNS:-7}
wakeSeconds=${WAKE_SECONDS:-10}
scratch=$(mktemp -d)
pids=()
cleanup() {
    # Newest first: the programs, then the desktop.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill -TERM "${pids[$i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

if [ -z "$bare" ]; then
    bare="$scratch/bare_tray"
    # shellcheck disable=SC2046
    g++ -O2 -fPIC -std=c++20 -o "$bare" "$here/bench/bare_tray.cpp" $(pkg-config --cflags --libs Qt6Widgets)
fi
bare=$(realpath "$bare")

fail() {
    echo "tray-perf: $*" >&2
    exit 1
}
# "median M ms (min A, max B, n=N)" of the numbers on standard input; `unit` and `format` by argument.
summary() { # UNIT [FORMAT]
    sort -g | awk -v unit="$1" -v f="${2:-%.0f}" '{ v[NR] = $1 } END {
        if (NR == 0) { print "no samples"; exit }
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "median " f " %s (min " f ", max " f ", n=%d)\n", m, unit, v[1], v[NR], NR }'
}
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }'; }

# A recording at rest (-1 g on z) of half a second: the program has its sensor, and then the replay is over.
rest="$scratch/rest.rec"
{
    echo "# knokle report recording: seconds since start, then the report's bytes"
    awk 'BEGIN { for (i = 0; i < 500; i++) printf "%.6f 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ff ff\n", i / 1000 }'
} >"$rest"

# Other work on the machine shows in every figure.
echo "load average $(cut -d ' ' -f 1-3 /proc/loadavg), $(nproc) CPUs, $knokle"

# --- 1. Preview renders, each a whole process, no display. -------------------------------------------------------
# Runs a command `runs` times: wall time as summary(), then the median CPU time (user and system), which other
# work on the machine disturbs less.
timed() { # COMMAND...
    local TIMEFORMAT='%3R %3U %3S' _
    : >"$scratch/times"
    for _ in $(seq "$runs"); do
        { time "$@" >/dev/null 2>&1; } 2>>"$scratch/times"
    done
    echo "$(awk '{ print $1 * 1000 }' "$scratch/times" | summary ms), CPU $(awk '{ print ($2 + $3) * 1000 }' \
        "$scratch/times" | summary ms | cut -d ' ' -f 2-3)"
}
render() { # COMMAND...
    env QT_QPA_PLATFORM=offscreen KNOKLE_CONFIG_DIR="$scratch/render/config" KNOKLE_DATA_DIR="$scratch/render/data" \
        HOME="$scratch/render" "$@"
}
mkdir -p "$scratch/render"
# Loading the program and its libraries alone: the floor under every figure that starts it.
echo "process start (--version)       $(timed "$knokle" --version)"
for what in cal modes; do
    render "$knokle" "--render-$what-preview" "$scratch/$what.png" >/dev/null 2>&1 || fail "--render-$what-preview failed"
    printf '%-32s%s   target < 250 ms\n' "--render-$what-preview" \
        "$(timed render "$knokle" "--render-$what-preview" "$scratch/$what.png")"
done

# --- The desktop. ------------------------------------------------------------------------------------------------
Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp -noreset >"$scratch/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 200); do [ -s "$scratch/display" ] && break; sleep 0.05; done
[ -s "$scratch/display" ] || fail "Xvfb did not start"
DISPLAY=":$(head -n 1 "$scratch/display")"
export DISPLAY
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
# EWMH requests sent before the window manager announces itself are ignored.
for _ in $(seq 200); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.05; done
mkdir -p "$scratch/run" && chmod 700 "$scratch/run"
dbus-daemon --session --nofork --print-address=1 >"$scratch/bus" 2>/dev/null &
pids+=($!)
for _ in $(seq 200); do grep -q unix: "$scratch/bus" && break; sleep 0.05; done
DBUS_SESSION_BUS_ADDRESS=$(grep unix: "$scratch/bus" | head -n 1)
[ -n "$DBUS_SESSION_BUS_ADDRESS" ] || fail "dbus-daemon did not start"
export DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$scratch/run" HOME="$scratch" QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME="$scratch/xdg-config" XDG_DATA_HOME="$scratch/xdg-data" KNOKLE_DRYRUN=1
trayHost="$here/tests/integration/tray_host.py"
watchLog="$scratch/watch.log"
/usr/bin/python3 "$trayHost" watch "$watchLog" >"$scratch/watcher.out" 2>&1 &
pids+=($!)
for _ in $(seq 200); do grep -q ready "$watchLog" 2>/dev/null && break; sleep 0.05; done
grep -q ready "$watchLog" 2>/dev/null || fail "the watcher did not start"

# The program in the steady tray state: onboarded, so no window opens at start.
config="$scratch/config"
mkdir -p "$config/settings" "$config/data"
echo '{"didOnboard": true}' >"$config/settings/settings.json"
export KNOKLE_CONFIG_DIR="$config/settings" KNOKLE_DATA_DIR="$config/data"

registered() { grep -cv '^ready$' "$watchLog" || true; }
# Starts a program; once its tray item is registered sets `pid`, `item`, `started` and `registeredAt` (the
# monotonic clock, as the watcher logs it), and `cpuMs`, its CPU time when that was seen: at most one poll late,
# so a little over, but much less disturbed than the wall time by other work on the machine. The exec keeps the pid, so the clock is read as late as it can be before the program runs.
launch() { # LOG PROGRAM ARGS...
    local log=$1 count
    shift
    count=$(registered)
    /usr/bin/python3 -c 'import os, sys, time
ran = open("/proc/self/schedstat").read().split()[0]
open(sys.argv[1], "w").write("%.6f %s\n" % (time.monotonic(), ran))
os.execv(sys.argv[2], sys.argv[2:])' "$scratch/started" "$@" >"$log" 2>&1 &
    pid=$!
    pids+=("$pid")
    for _ in $(seq 1000); do
        [ "$(registered)" -gt "$count" ] && break
        kill -0 "$pid" 2>/dev/null || fail "$1 ended: $(cat "$log")"
        sleep 0.01
    done
    [ "$(registered)" -gt "$count" ] || fail "$1 registered no tray item: $(cat "$log")"
    local ran launcherNs
    ran=$(cat /proc/"$pid"/task/*/schedstat | awk '{ ns += $1 } END { printf "%d", ns }')
    # The launcher's own CPU time counts in the thread that the program's main thread continues.
    read -r started launcherNs <"$scratch/started"
    cpuMs=$(awk -v a="$launcherNs" -v b="$ran" 'BEGIN { printf "%.1f\n", (b - a) / 1e6 }')
    local line time name path
    line=$(grep -v '^ready$' "$watchLog" | tail -n 1)
    read -r time name path <<<"$line"
    item="$name$path"
    registeredAt=$time
}
finish() { # PID
    kill -TERM "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
threadNames() {
    cat /proc/"$1"/task/*/comm 2>/dev/null | tr ' ' _ | sort | uniq -c |
        awk '{ name = $1 > 1 ? $2 " x" $1 : $2; list = NR > 1 ? list ", " name : name } END { print list }'
}
# Resident KiB per mapped file (anonymous memory as [anon]), "NAME KIB" sorted by name.
rssByFile() {
    awk '/^[0-9a-f]+-[0-9a-f]+ / { f = $6 == "" ? "[anon]" : $6; sub(/.*\//, "", f) } /^Rss:/ { r[f] += $2 }
         END { for (f in r) print f, r[f] }' "/proc/$1/smaps" | sort
}
rssKiB() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

# "TID NAME SWITCHES" for each thread, voluntary and involuntary together.
switches() {
    local status
    for status in /proc/"$1"/task/*/status; do
        awk -F'\t' '/^Name:/ { n = $2; gsub(/ /, "_", n) } /^Pid:/ { p = $2 } /ctxt_switches:/ { c += $2 }
                    END { if (p) print p, n, c }' "$status" 2>/dev/null || true
    done
}
cpuTicks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Wake-ups a second over the time, the CPU used, and the threads that woke: "W/s, C% CPU (thread(tid):count ...)".
wakeups() { # PID
    local ticks
    switches "$1" >"$scratch/before"
    ticks=$(cpuTicks "$1")
    sleep "$wakeSeconds"
    switches "$1" >"$scratch/after"
    ticks=$(($(cpuTicks "$1") - ticks))
    awk -v s="$wakeSeconds" -v cpu="$ticks" -v hz="$(getconf CLK_TCK)" 'NR == FNR { b[$1] = $3; next }
        { d = $3 - b[$1]; if (d > 0) { t += d; w = w sprintf(" %s(%s):%d", $2, $1, d) } }
        END { printf "%.1f/s, %.1f%% CPU over %d s%s\n", t / s, 100 * cpu / hz / s, s, t ? "  threads" w : "" }' \
        "$scratch/before" "$scratch/after"
}

# The Test Taps entry clicked as a tray host would, then the window polled until viewable: milliseconds from the
# click to the window mapped. The menu is read before the clock starts; each look costs an xdotool run (a few ms).
cat >"$scratch/window.py" <<'EOF'
import ctypes, subprocess, sys, time
sys.path.insert(0, sys.argv[1])
import dbus
import tray_host

TITLE = "^Test Your Taps$"

def find():
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", TITLE], capture_output=True, text=True)
    return int(out.stdout.split()[0]) if out.stdout.split() else 0

def wait(gone, limit=10.0):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        window = find()
        if bool(window) != gone:
            return window
        time.sleep(0.002)
    sys.exit("the window did not %s" % ("close" if gone else "open"))

def open_window(item):
    menu = tray_host.menu_proxy(item)
    entry = next(e for e in tray_host.menu_entries(menu) if e["label"] == "Test Taps")
    start = time.monotonic()
    menu.Event(entry["id"], "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0),
               dbus_interface=tray_host.MENU_IFACE)
    window = wait(False)
    print("%.1f %d" % ((time.monotonic() - start) * 1000, window))

class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

class Event(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

def close_window(window):
    # What the window's close button does: WM_DELETE_WINDOW.
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x.XFlush.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x.XOpenDisplay(None)
    event = Event()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = window
    event.xclient.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x.XFlush(display)
    x.XCloseDisplay(display)
    wait(True)

if sys.argv[2] == "open":
    open_window(sys.argv[3])
else:
    close_window(int(sys.argv[3]))
EOF
openWindow() { /usr/bin/python3 "$scratch/window.py" "$here/tests/integration" open "$item"; }
closeWindow() { /usr/bin/python3 "$scratch/window.py" "$here/tests/integration" close "$1"; }

# --- 2, 3, 5. Fresh processes: start to tray item, idle memory, first window open. -------------------------------
# One start first that is not counted: caches warm, settings files written.
launch "$scratch/program.log" "$knokle" --replay "$rest"
finish "$pid"
: >"$scratch/start"
: >"$scratch/startCpu"
: >"$scratch/rss"
: >"$scratch/open"
for _ in $(seq "$runs"); do
    launch "$scratch/program.log" "$knokle" --replay "$rest"
    ms "$started" "$registeredAt" >>"$scratch/start"
    echo "$cpuMs" >>"$scratch/startCpu"
    sleep 1.5 # start-up work and the replay over
    rssKiB "$pid" >>"$scratch/rss"
    rssByFile "$pid" >"$scratch/rssByFile"
    read -r took window < <(openWindow)
    echo "$took" >>"$scratch/open"
    closeWindow "$window"
    finish "$pid"
done
: >"$scratch/bareRss"
: >"$scratch/bareStart"
: >"$scratch/bareStartCpu"
for _ in $(seq "$runs"); do
    launch "$scratch/bare.log" "$bare"
    ms "$started" "$registeredAt" >>"$scratch/bareStart"
    echo "$cpuMs" >>"$scratch/bareStartCpu"
    sleep 1.5
    rssKiB "$pid" >>"$scratch/bareRss"
    rssByFile "$pid" >"$scratch/bareRssByFile"
    finish "$pid"
done
echo "start to tray item knokle       $(summary ms <"$scratch/start"), CPU $(summary ms <"$scratch/startCpu" |
    cut -d ' ' -f 2-3)   target < 150 ms"
echo "start to tray item bare tray    $(summary ms <"$scratch/bareStart"), CPU $(summary ms <"$scratch/bareStartCpu" |
    cut -d ' ' -f 2-3)"
knokleRss=$(sort -n "$scratch/rss" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
bareRss=$(sort -n "$scratch/bareRss" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
echo "idle VmRSS knokle               $(awk '{ print $1 / 1024 }' "$scratch/rss" | summary MiB %.1f)"
echo "idle VmRSS bare tray            $(awk '{ print $1 / 1024 }' "$scratch/bareRss" | summary MiB %.1f)"
awk -v k="$knokleRss" -v b="$bareRss" \
    'BEGIN { printf "idle VmRSS knokle / bare tray   %.2f x (medians)   target <= 1.2 x\n", k / b }'
echo "idle VmRSS most over bare tray  $(join -a 1 -e 0 -o 0,1.2,2.2 "$scratch/rssByFile" "$scratch/bareRssByFile" |
    awk '{ print $2 - $3, $1 }' | sort -rn | head -n 8 | awk '{ printf "%s%s +%.1f", (NR > 1 ? "," : ""), $2, $1 / 1024 }') MiB"
echo "Test Taps window open (first)   $(summary ms <"$scratch/open")   target < 100 ms"

# --- 4, 5. One process at rest: wake-ups, then the window opened and closed again and again. ----------------------
launch "$scratch/program.log" "$knokle" --replay "$rest"
sleep 3 # the replay over and start-up work done
echo "idle wake-ups knokle            $(wakeups "$pid")   target 0"
echo "threads knokle at rest          $(threadNames "$pid")"
: >"$scratch/reopen"
for _ in $(seq "$runs"); do
    read -r took window < <(openWindow)
    echo "$took" >>"$scratch/reopen"
    closeWindow "$window"
    sleep 0.3
done
echo "Test Taps window open (again)   $(summary ms <"$scratch/reopen")   target < 100 ms"
# The window left open with the sensor at rest: nothing on it changes.
read -r _ window < <(openWindow)
sleep 1
echo "Test Taps window open, at rest  $(wakeups "$pid")"
closeWindow "$window"
sleep 2
echo "idle wake-ups after the window  $(wakeups "$pid")   target 0"
echo "threads after the window        $(threadNames "$pid")"
echo "idle VmRSS after the window     $(awk '{ printf "%.1f MiB", $1 / 1024 }' <<<"$(rssKiB "$pid")")"
finish "$pid"
launch "$scratch/bare.log" "$bare"
sleep 3
echo "idle wake-ups bare tray         $(wakeups "$pid")"
echo "threads bare tray               $(threadNames "$pid")"
finish "$pid"
