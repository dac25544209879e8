#!/usr/bin/env bash
# Real-time figures of zuvaroza on a private PulseAudio server and a private PipeWire server (a
# null sink that plays in real time), each started as the paced tests start it (scripts/servers.py), side by side with
# `aplay` on the same device and files:
#   - Ctrl-C-to-menu latency during a looping pass (median and worst of 10, at 44.1 kHz and 8 kHz),
#   - wall time of a 2 s pass (`px` against aplay),
#   - CPU time per minute of paced playback (both, aplay with the same period and buffer),
#   - save-to-restart latency in follow mode, to the restart's "Playing..." line and to the first
#     write of the new sound (median and worst of 20 saves), alone and with another program
#     writing beside the file every 20 ms; the CPU used idle in the menu with follow mode on,
#   - a server killed mid-pass: how soon the run ends, and the CPU it uses meanwhile,
#   - in audition mode: a nudge to the first write of the loop's new start, "ab" to the first
#     write of the other render, and the CPU per minute of an audition loop.
# Usage: bench/realtime.sh [BINARY=build/zuvaroza] [SERVER...]   (SERVER: pulse, pipewire)
# Environment: RUNS (wall-time runs, default 5), CPU_SECONDS (length of the CPU pass, default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/zuvaroza}")
[ -x "$bin" ] || { echo "no binary at $bin" >&2; exit 1; }
shift || true
for t in pulseaudio pactl parec pipewire wireplumber aplay sox python3 gcc; do
  command -v "$t" >/dev/null || { echo "needs $t (scripts/setup.sh installs it; gcc besides)" >&2; exit 1; }
done

dir=$(mktemp -d /tmp/zuvaroza-realtime-XXXXXX)
trap 'rm -rf --one-file-system "$dir"' EXIT
# a shim that notes when each write reaches the device, for the save-to-restart measure
gcc -O2 -shared -fPIC bench/write_clock.c -o "$dir/write_clock.so" -ldl -lasound
python3 bench/realtime.py "$bin" "$dir" "$dir/write_clock.so" "$@"
