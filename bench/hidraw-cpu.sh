#!/usr/bin/env bash
# CPU time per accelerometer report: the real program reading its sensor from a fixture sysfs tree whose device
# node is a FIFO, against a bare blocking reader (bench/bare_hid_reader.c), all fed the same reports at the same
# time. Several programs (say, two builds) may be given; each runs with its own fixture and settings.
#
#   bench/hidraw-cpu.sh [KNOKLE...]          (default: build/knokle)
#   SECONDS_FED=10 RATE=1000 bench/hidraw-cpu.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${SECONDS_FED:-10}
rate=${RATE:-1000}
[ $# -gt 0 ] || set -- "$here/build/knokle"
scratch=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

cc -O2 -std=c11 -o "$scratch/bare" "$here/bench/bare_hid_reader.c"

export KNOKLE_DRYRUN=1 QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
unset DISPLAY WAYLAND_DISPLAY

waitFor() { # FILE TEXT
    for _ in $(seq 200); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "hidraw-cpu: no \"$2\" in $1:" >&2
    cat "$1" >&2
    exit 1
}

# Each program gets a fixture with the accelerometer as it looks for it (Apple vendor and product, usage page
# 0xFF00, usage 3), its own settings (in the steady tray state: no first-run calibration window with its meter
# timer) and its own FIFO.
names=() fifos=()
for i in $(seq $#); do
    exe=$(realpath "${!i}")
    run="$scratch/run$i"
    node="$run/sys/class/hidraw/hidraw0/device"
    mkdir -p "$node" "$run/dev" "$run/config" "$run/data"
    printf 'HID_ID=001C:000005AC:00008104\nHID_NAME=Bench SPU\n' >"$node/uevent"
    printf '\x06\x00\xff\x0a\x03\x00\xa1\x01\x15\x00\x75\x08\x95\x40\x81\x02\xc0' >"$node/report_descriptor"
    mkfifo "$run/dev/hidraw0"
    (
        export KNOKLE_CONFIG_DIR="$run/config" KNOKLE_DATA_DIR="$run/data" XDG_RUNTIME_DIR="$run"
        export KNOKLE_HIDRAW_SYSFS_ROOT="$run/sys" KNOKLE_HIDRAW_DEV_ROOT="$run/dev"
        "$exe" defaults write didOnboard -bool true >/dev/null
        exec "$exe" >"$run/out" 2>&1
    ) &
    pids+=($!)
    names+=("$exe")
    fifos+=("$run/dev/hidraw0")
    waitFor "$run/out" 'Direct device open result: 0'
done
mkfifo "$scratch/bare.fifo"
"$scratch/bare" read "$scratch/bare.fifo" >"$scratch/bare.out" &
bare=$!
pids+=("$bare")
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

before=()
for pid in "${pids[@]}"; do before+=("$(cpuNs "$pid")"); done
"$scratch/bare" feed "$seconds" "$rate" "${fifos[@]}" "$scratch/bare.fifo"
sleep 0.3 # let everyone drain
used=()
for i in "${!pids[@]}"; do
    kill -0 "${pids[$i]}" 2>/dev/null || { echo "hidraw-cpu: ${names[$i]:-bare reader} ended early" >&2; exit 1; }
    used+=($(($(cpuNs "${pids[$i]}") - before[i])))
done
kill -TERM "$bare"
wait "$bare" || true
reports=$(awk -v s="$seconds" -v r="$rate" 'BEGIN { printf "%d", s * r }')
received=$(tail -n 1 "$scratch/bare.out")
[ "$received" = "$reports" ] || echo "hidraw-cpu: the bare reader received $received of $reports reports" >&2

bareNs=${used[-1]}
echo "$reports reports each, $rate a second for $seconds s; CPU per report:"
awk -v b="$bareNs" -v n="$reports" 'BEGIN { printf "  bare reader  %6.2f us\n", b / n / 1000 }'
for i in "${!names[@]}"; do
    awk -v k="${used[$i]}" -v b="$bareNs" -v n="$reports" -v name="${names[$i]}" \
        'BEGIN { printf "  knokle       %6.2f us  %.2f x bare  (%s)\n", k / n / 1000, k / b, name }'
done
