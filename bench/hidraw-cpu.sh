#!/usr/bin/env bash
# CPU time per accelerometer report: the real program reading its sensor from a fixture sysfs tree whose device
# node is a FIFO, against a bare blocking reader (bench/bare_hid_reader.c), both fed the same reports side by side.
# Usage: bench/hidraw-cpu.sh [KNOKLE [SECONDS [RATE]]]   (defaults: build/knokle, 10, 1000)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "${1:-$here/build/knokle}")
seconds=${2:-10}
rate=${3:-1000}
scratch=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

cc -O2 -std=c11 -o "$scratch/bare" "$here/bench/bare_hid_reader.c"

# The accelerometer as the program looks for it: Apple vendor and product, usage page 0xFF00, usage 3.
node="$scratch/sys/class/hidraw/hidraw0/device"
mkdir -p "$node" "$scratch/dev" "$scratch/config" "$scratch/data"
printf 'HID_ID=001C:000005AC:00008104\nHID_NAME=Bench SPU\n' >"$node/uevent"
printf '\x06\x00\xff\x0a\x03\x00\xa1\x01\x15\x00\x75\x08\x95\x40\x81\x02\xc0' >"$node/report_descriptor"
mkfifo "$scratch/dev/hidraw0" "$scratch/bare.fifo"

export KNOKLE_CONFIG_DIR="$scratch/config" KNOKLE_DATA_DIR="$scratch/data" KNOKLE_DRYRUN=1
export QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent XDG_RUNTIME_DIR="$scratch"
export KNOKLE_HIDRAW_SYSFS_ROOT="$scratch/sys" KNOKLE_HIDRAW_DEV_ROOT="$scratch/dev"
unset DISPLAY WAYLAND_DISPLAY
# The steady tray state: no first-run calibration window with its meter timer.
"$exe" defaults write didOnboard -bool true >/dev/null

"$exe" >"$scratch/knokle.out" 2>&1 &
pids+=($!)
knokle=$!
"$scratch/bare" read "$scratch/bare.fifo" >"$scratch/bare.out" &
pids+=($!)
bare=$!

waitFor() { # FILE TEXT
    for _ in $(seq 100); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "hidraw-cpu: no \"$2\" in $1:" >&2
    cat "$1" >&2
    exit 1
}
waitFor "$scratch/knokle.out" 'Direct device open result: 0'
waitFor "$scratch/bare.out" ready
sleep 1 # let start-up work finish

# Nanoseconds on the CPU, all threads of the process.
cpuNs() {
    local total=0 ns rest file
    for file in /proc/"$1"/task/*/schedstat; do
        read -r ns rest <"$file" 2>/dev/null || continue
        total=$((total + ns))
    done
    echo "$total"
}

k0=$(cpuNs "$knokle")
b0=$(cpuNs "$bare")
"$scratch/bare" feed "$seconds" "$rate" "$scratch/dev/hidraw0" "$scratch/bare.fifo"
sleep 0.3 # let both drain
k1=$(cpuNs "$knokle")
b1=$(cpuNs "$bare")
kill -0 "$knokle" 2>/dev/null || { echo "hidraw-cpu: knokle ended early:" >&2; cat "$scratch/knokle.out" >&2; exit 1; }
kill -TERM "$bare"
wait "$bare" || true
reports=$(awk -v s="$seconds" -v r="$rate" 'BEGIN { printf "%d", s * r }')
received=$(tail -n 1 "$scratch/bare.out")
[ "$received" = "$reports" ] || echo "hidraw-cpu: the bare reader received $received of $reports reports" >&2

awk -v k=$((k1 - k0)) -v b=$((b1 - b0)) -v n="$reports" -v s="$seconds" -v r="$rate" 'BEGIN {
    printf "%d reports each, %s a second for %s s\n", n, r, s
    printf "knokle: %6.2f us CPU per report\n", k / n / 1000
    printf "bare:   %6.2f us CPU per report\n", b / n / 1000
    printf "ratio:  %6.2f\n", (b > 0 ? k / b : 0)
}'
