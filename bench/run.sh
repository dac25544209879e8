#!/usr/bin/env bash
# CPU time and peak memory of zuvaroza against aplay, both writing one hour of
# audio (a 10-minute file six times, 4096-frame periods) to the ALSA null device.
# Usage: bench/run.sh [RUNS=5] [BINARY=build/zuvaroza]
# Test files are made once in bench/data/ (about 420 MB, git-ignored).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [RUNS] [BINARY]" >&2; exit 1; }
bin=$(realpath "${2:-build/zuvaroza}")
data=bench/data
mkdir -p "$data"
for t in sox aplay python3 /usr/bin/time; do
  command -v "$t" >/dev/null || { echo "needs $t (packages sox, alsa-utils, python3, time)" >&2; exit 1; }
done
[ -x "$bin" ] || { echo "no binary at $bin" >&2; exit 1; }

# name, bits, channels
files=(s16:16:2 s24:24:2 m16:16:1)
for entry in "${files[@]}"; do
  IFS=: read -r name bits ch <<<"$entry"
  [ -s "$data/$name.wav" ] || sox -n -r 44100 -b "$bits" -c "$ch" "$data/$name.wav" synth 600 whitenoise vol 0.5
done
# s16 again, with a JUNK chunk that puts the "data" id at byte 131072
[ -s "$data/s16_off128k.wav" ] || python3 - "$data/s16.wav" "$data/s16_off128k.wav" <<'PY'
import shutil, struct, sys
src, dst = sys.argv[1:]
with open(src, 'rb') as f, open(dst, 'wb') as g:
    h = f.read(44)
    assert h[:4] == b'RIFF' and h[12:16] == b'fmt ' and h[36:40] == b'data', 'want a 44-byte header'
    pad = 131072 - 44  # JUNK id+size at 36, payload up to 131072
    riff = struct.unpack('<I', h[4:8])[0] + 8 + pad
    g.write(h[:4] + struct.pack('<I', riff) + h[8:36] + b'JUNK' + struct.pack('<I', pad) + bytes(pad) + h[36:44])
    shutil.copyfileobj(f, g)
PY
names=(s16 s24 m16 s16_off128k)
wavs=(); for n in "${names[@]}"; do wavs+=("$data/$n.wav"); done
# Give every file the same page-cache state: drop it, then read it back once.
# Still cached as sox wrote it, s16.wav read ~15% slower than a copy did.
python3 -c '
import os, sys
for p in sys.argv[1:]:
    fd = os.open(p, os.O_RDONLY); os.fsync(fd)
    os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED); os.close(fd)' "${wavs[@]}"
cat "${wavs[@]}" >/dev/null

# Runs a command with stdout to /dev/null; prints "user+sys-seconds peak-RSS-KiB".
# CPU comes from wait4 (microseconds; includes about 1 ms for /usr/bin/time
# itself). RSS comes from GNU time, whose small fork keeps the peak honest: a
# child forked or spawned by python would inherit python's high-water mark.
measure() {
  python3 -c '
import os, sys
rss = sys.argv[1]
null = [(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)]
argv = ["/usr/bin/time", "-f", "%M", "-o", rss, *sys.argv[2:]]
pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=null)
_, status, ru = os.wait4(pid, 0)
if status: sys.exit("failed (%d): %s" % (os.waitstatus_to_exitcode(status), " ".join(argv)))
print("%.4f %s" % (ru.ru_utime + ru.ru_stime, open(rss).read().split()[-1]))' "$rssfile" "$@"
}

results=$(mktemp) rssfile=$(mktemp)
trap 'rm -f "$results" "$rssfile"' EXIT
for ((i = 1; i <= runs; i++)); do
  order="zuvaroza aplay"; ((i % 2)) || order="aplay zuvaroza"  # alternate which goes first
  for n in "${names[@]}"; do
    f=$data/$n.wav
    for p in $order; do
      if [ "$p" = zuvaroza ]; then cmd=("$bin" null "$f" 0 0 px 6)
      else cmd=(aplay -q -D null --period-size=4096 --buffer-size=16384 "$f" "$f" "$f" "$f" "$f" "$f"); fi
      r=$(measure "${cmd[@]}")
      echo "$n $p $r" >>"$results"
    done
  done
  echo "run $i/$runs done" >&2
done

# median of column $3 (cpu) or $4 (rss) for file $1, program $2
median() {
  awk -v n="$1" -v p="$2" '$1 == n && $2 == p {print $'"$3"'}' "$results" | sort -g |
    awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}'; }

echo "medians of $runs runs; 1 hour of audio per run; CPU = user+sys seconds, RSS = peak KiB"
for n in "${names[@]}"; do
  zc=$(median "$n" zuvaroza 3) ac=$(median "$n" aplay 3)
  zm=$(median "$n" zuvaroza 4) am=$(median "$n" aplay 4)
  printf '\n%s\n  %-8s %10s %10s %7s\n' "$n.wav" "" zuvaroza aplay ratio
  printf '  %-8s %10.3f %10.3f %7s\n' "CPU s" "$zc" "$ac" "$(ratio "$zc" "$ac")"
  printf '  %-8s %10.0f %10.0f %7s\n' "RSS KiB" "$zm" "$am" "$(ratio "$zm" "$am")"
done
zo=$(median s16_off128k zuvaroza 3) zs=$(median s16 zuvaroza 3)
printf '\nzuvaroza, data at 128 KiB vs 44-byte header: %.3f s vs %.3f s, ratio %s\n' "$zo" "$zs" "$(ratio "$zo" "$zs")"
