#!/usr/bin/env bash
# Installs what is missing, builds zuvaroza and plays demo/chime.wav once.
# With no sound card, what would have been heard is written to build/chime-played.wav.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target zuvaroza

has_sound_card() {
  grep -qE '^ *[0-9]+ \[' /proc/asound/cards 2>/dev/null && return 0
  compgen -G '/dev/snd/pcmC*D*p' >/dev/null
}

played=build/chime-played.wav
if has_sound_card; then
  device=default
else
  device="file:'$played',wav"
  rm -f "$played"
fi

status=0
build/zuvaroza "$device" demo/chime.wav 0 0 px 1 || status=$?
echo
if [ "$status" -ne 0 ]; then
  echo "zuvaroza exited with status $status" >&2
elif [ "$device" != default ]; then
  echo "No sound card found: what would have been heard is in $played"
fi
exit "$status"
