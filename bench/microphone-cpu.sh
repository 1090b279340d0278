#!/usr/bin/env bash
# CPU and memory while listening at 48 kHz stereo to a live sound server: a private PulseAudio server with a null
# sink, taps over quiet noise played into it in a loop, and its monitor as the default source. A bare `parec` with
# the program's 20 ms fragments (a source runs at its most demanding client's pace: a bare client asking for less
# would wake the program more often too), the program's capture alone (bench/microphone_listener.cpp) and the whole
# program with listening turned on and taps armed all listen at once and are measured over the same window, so that
# a machine loaded by other work charges them alike: the bare client is the baseline the others are read against.
#
#   bench/microphone-cpu.sh LISTENER [KNOKLE]          SECONDS_LISTENED=60 by default
set -euo pipefail
listener=$(realpath "$1")
program=${2:+$(realpath "$2")}
seconds=${SECONDS_LISTENED:-60}
scratch=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

mkdir -p "$scratch/run" "$scratch/home"
chmod 700 "$scratch/run"
export XDG_RUNTIME_DIR="$scratch/run" HOME="$scratch/home" PULSE_SERVER="unix:$scratch/native"
export QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent KNOKLE_DRYRUN=1
unset DISPLAY WAYLAND_DISPLAY
cat >"$scratch/server.pa" <<PA
load-module module-null-sink sink_name=taps rate=48000 channels=2
load-module module-native-protocol-unix auth-anonymous=1 socket=$scratch/native
PA
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no -F "$scratch/server.pa" \
    >"$scratch/server.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done

# Ten seconds of quiet room noise with a knock every two seconds, 48 kHz stereo.
python3 - "$scratch/taps.wav" <<'PY'
import math, random, struct, sys, wave
rate, out = 48000, []
random.seed(1)
for i in range(rate * 10):
    t = (i % (2 * rate)) / rate
    v = random.gauss(0, 0.002) + (0.6 * math.exp(-t / 0.015) * math.sin(2 * math.pi * 180 * t) if t < 0.1 else 0)
    s = int(max(-1, min(1, v)) * 32767)
    out.append(struct.pack('<hh', s, s))
w = wave.open(sys.argv[1], 'wb'); w.setnchannels(2); w.setsampwidth(2); w.setframerate(rate)
w.writeframes(b''.join(out)); w.close()
PY
(while true; do paplay -d taps "$scratch/taps.wav" || sleep 1; done) &
pids+=($!)

cpuNs() { # all threads of the process
    local total=0 ns rest file
    for file in /proc/"$1"/task/*/schedstat; do
        read -r ns rest <"$file" 2>/dev/null || continue
        total=$((total + ns))
    done
    echo "$total"
}
rssKb() { awk '/VmRSS/ {print $2}' /proc/"$1"/status; }

names=() watched=()
listen() { # NAME PID
    names+=("$1")
    watched+=("$2")
}

parec --latency-msec=20 --format=float32le --rate=48000 --channels=2 >/dev/null &
pids+=($!)
listen "bare parec (48 kHz stereo, 20 ms fragments)" "$!"
"$listener" $((seconds + 30)) >"$scratch/listener.out" 2>&1 &
pids+=($!)
listen "the program's capture alone" "$!"

if [ -n "$program" ]; then
    mkdir -p "$scratch/config" "$scratch/data"
    export KNOKLE_CONFIG_DIR="$scratch/config" KNOKLE_DATA_DIR="$scratch/data"
    for setting in "didOnboard -bool true" "microphoneEnabled -bool true" "tapsActive -bool true" \
                   "tapSource -string microphone"; do
        # shellcheck disable=SC2086
        "$program" defaults write $setting >/dev/null
    done
    "$program" >"$scratch/program.out" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do grep -q '^\[microphone\] listening' "$scratch/program.out" && break; sleep 0.1; done
    if ! grep -q '^\[microphone\] listening' "$scratch/program.out"; then
        echo "program: it did not start listening; its output:" >&2
        cat "$scratch/program.out" >&2
        exit 1
    fi
    listen "program listening, taps armed" "$!"
fi
sleep 2 # past start-up

# CPU of each over the same window, resident memory every tenth of it.
step=$((seconds / 10))
[ "$step" -gt 0 ] || step=1
start=() rss=()
for pid in "${watched[@]}"; do start+=("$(cpuNs "$pid")"); done
for _ in $(seq 10); do
    sleep "$step"
    for i in "${!watched[@]}"; do rss[i]="${rss[i]:-} $(rssKb "${watched[i]}")"; done
done
for i in "${!watched[@]}"; do
    used=$(($(cpuNs "${watched[i]}") - start[i]))
    awk -v n="${names[i]}" -v ns="$used" -v s="$((step * 10))" -v r="${rss[i]}" 'BEGIN {
        printf "%s: %.3f %% of one core over %d s; resident KB every %d s:%s\n", n, ns / (s * 1e7), s, s / 10, r }'
done
