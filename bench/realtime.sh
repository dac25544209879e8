#!/usr/bin/env bash
# Real-time figures of zuvaroza on a private PulseAudio server (a null sink that plays in real
# time), side by side with `aplay -D pulse` on the same files:
#   - Ctrl-C-to-menu latency during a looping pass (median and worst of 10, at 44.1 kHz and 8 kHz),
#   - wall time of a 2 s pass (`px` against aplay),
#   - CPU time per minute of paced playback (both, aplay with the same period and buffer),
#   - save-to-restart latency in follow mode, when the binary has `--follow`: to the restart's
#     "Playing..." line and to the first write of the new sound (median and worst of 20 saves),
#     and the CPU it uses idle in the menu with follow mode on.
# The server is started here and stopped by its PID on exit; nothing else runs on it.
# Usage: bench/realtime.sh [BINARY=build/zuvaroza]
# Environment: RUNS (wall-time runs, default 5), CPU_SECONDS (length of the CPU pass, default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/zuvaroza}")
[ -x "$bin" ] || { echo "no binary at $bin" >&2; exit 1; }
for t in pulseaudio pactl parec aplay sox python3 gcc; do
  command -v "$t" >/dev/null ||
    { echo "needs $t (packages pulseaudio, pulseaudio-utils, alsa-utils, sox, python3)" >&2; exit 1; }
done

dir=$(mktemp -d /tmp/zuvaroza-realtime-XXXXXX)
server='' listener=''
cleanup() {
  for pid in $listener $server; do
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf --one-file-system "$dir"
}
trap cleanup EXIT

# Everything the server and its clients keep lives in $dir.
mkdir -p "$dir/run" "$dir/home"
export HOME=$dir/home XDG_RUNTIME_DIR=$dir/run PULSE_RUNTIME_PATH=$dir/run
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
  -L "module-null-sink sink_name=nul" -L module-native-protocol-unix >"$dir/server.log" 2>&1 &
server=$!
for ((i = 0; i < 1000; i++)); do [ -S "$dir/run/native" ] && break; sleep 0.01; done
[ -S "$dir/run/native" ] || { echo "the server did not start:" >&2; cat "$dir/server.log" >&2; exit 1; }
export PULSE_SERVER=unix:$dir/run/native

# An idle null sink renders 2 s blocks, so a new stream would start up to 2 s late; a 20 ms
# reader on its monitor keeps blocks short, and a suspend/resume restarts the sink's clock.
parec -d nul.monitor --latency-msec=20 >/dev/null 2>>"$dir/server.log" &
listener=$!
for ((i = 0; i < 1000; i++)); do [ -n "$(pactl list short source-outputs)" ] && break; sleep 0.01; done
pactl suspend-sink nul 1
pactl suspend-sink nul 0

# a shim that notes when each write reaches the device, for the save-to-restart measure
gcc -O2 -shared -fPIC bench/write_clock.c -o "$dir/write_clock.so" -ldl -lasound
python3 bench/realtime.py "$bin" "$dir" "$dir/write_clock.so"
