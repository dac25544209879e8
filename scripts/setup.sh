#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, test and demo zuvaroza, when any are missing.
# Extra packages may be named as arguments or in ZUVAROZA_EXTRA_PACKAGES (space-separated),
# e.g.  bash scripts/setup.sh clang   or   ZUVAROZA_EXTRA_PACKAGES="clang lld" bash scripts/setup.sh
# alsa-utils (aplay) and sox are used by the tests to check and make sound files; the tests that
# play in real time start their own PulseAudio server (pulseaudio, pactl and parec from
# pulseaudio-utils) and reach it through ALSA's pulse plugin (libasound2-plugins). The end-to-end
# cases are run by lit and checked by FileCheck (llvm-14-tools), with a driver in python3.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libasound2-dev libgtest-dev alsa-utils sox
  pulseaudio pulseaudio-utils libasound2-plugins llvm-14-tools python3)
read -r -a extra <<<"${ZUVAROZA_EXTRA_PACKAGES:-}"
packages+=("${extra[@]}" "$@")

if ! command -v dpkg-query >/dev/null; then
  echo "setup.sh: dpkg-query not found; install these packages by hand: ${packages[*]}" >&2
  exit 1
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with:" >&2
  echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
