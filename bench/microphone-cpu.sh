#!/usr/bin/env bash
# CPU and memory while listening at 48 kHz stereo to a live sound server: a private PulseAudio server with a null
# sink, taps over quiet noise played into it in a loop, and its monitor as the default source. A bare `parec` with
# the program's 20 ms fragments, the program's capture alone (bench/microphone_listener.cpp) and the whole program
# with listening turned on and taps armed take turns, each listening alone as the program does on a desktop (a
# source runs at its most demanding client's pace, and clients woken together on a small machine slow each other).
# The turns repeat for ROUNDS rounds, so that a machine whose load drifts charges each alike; the bare client is the
# baseline the others are read against, round by round.
#
#   bench/microphone-cpu.sh LISTENER [KNOKLE]          SECONDS_LISTENED=10 per turn, ROUNDS=9 by default
set -euo pipefail
listener=$(realpath "$1")
program=${2:+$(realpath "$2")}
seconds=${SECONDS_LISTENED:-10}
rounds=${ROUNDS:-9}
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

if [ -n "$program" ]; then
    mkdir -p "$scratch/config" "$scratch/data"
    export KNOKLE_CONFIG_DIR="$scratch/config" KNOKLE_DATA_DIR="$scratch/data"
    for setting in "didOnboard -bool true" "microphoneEnabled -bool true" "tapsActive -bool true" \
                   "tapSource -string microphone"; do
        # shellcheck disable=SC2086
        "$program" defaults write $setting >/dev/null
    done
fi

# One turn: NAME then the command; it listens alone, measured over `seconds` after its start-up, resident memory
# every tenth of that.
turn() {
    local name=$1 pid used rss="" out="$scratch/turn.out"
    shift
    "$@" >"$out" 2>&1 &
    pid=$!
    pids+=("$pid")
    if [ "$1" = "$program" ]; then
        for _ in $(seq 100); do grep -q '^\[microphone\] listening' "$out" && break; sleep 0.1; done
        if ! grep -q '^\[microphone\] listening' "$out"; then
            echo "program: it did not start listening; its output:" >&2
            cat "$out" >&2
            exit 1
        fi
    fi
    sleep 2 # past start-up
    local step=$((seconds / 10)) start
    [ "$step" -gt 0 ] || step=1
    start=$(cpuNs "$pid")
    for _ in $(seq 10); do
        sleep "$step"
        rss="$rss $(rssKb "$pid")"
    done
    used=$(($(cpuNs "$pid") - start))
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    awk -v n="$name" -v ns="$used" -v s="$((step * 10))" -v r="$rss" 'BEGIN {
        printf "%s: %.3f %% of one core over %d s; resident KB every %d s:%s\n", n, ns / (s * 1e7), s, s / 10, r }' |
        tee -a "$scratch/results"
}

for round in $(seq "$rounds"); do
    echo "round $round"
    turn "bare parec (48 kHz stereo, 20 ms fragments)" \
        sh -c 'exec parec --latency-msec=20 --format=float32le --rate=48000 --channels=2 >/dev/null'
    turn "the program's capture alone" "$listener" $((seconds + 30))
    [ -z "$program" ] || turn "program listening, taps armed" "$program"
done
# The machine's load drifts between turns, but less within a round: each round's program against its bare client.
[ -z "$program" ] || awk -F': ' '{ split($2, f, " ") } /^bare parec/ { bare = f[1] } /^program/ { printf "%.2f\n", f[1] / bare }' \
    "$scratch/results" | sort -n | awk '{ v[NR] = $1 } END {
        printf "  program over the bare client, median of the rounds: %.2f times\n", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }' >"$scratch/ratio"
echo "medians over $rounds rounds:"
cut -d: -f1 "$scratch/results" | sort -u | while read -r name; do
    grep -F "$name:" "$scratch/results" | sed 's/.*: \([0-9.]*\) %.*/\1/' | sort -n |
        awk -v n="$name" '{ v[NR] = $1 } END { printf "  %s: %.3f %%\n", n, NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
done
[ -z "$program" ] || cat "$scratch/ratio"
