#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, test and demo zuvaroza, when any are missing.
# Extra packages may be named as arguments or in ZUVAROZA_EXTRA_PACKAGES (space-separated),
# e.g.  bash scripts/setup.sh clang   or   ZUVAROZA_EXTRA_PACKAGES="clang lld" bash scripts/setup.sh
# alsa-utils (aplay) and sox are used by the tests to check and make sound files; the tests that
# play in real time start their own PulseAudio server (pulseaudio, pactl and parec from
# pulseaudio-utils) and reach it through ALSA's pulse plugin (libasound2-plugins), and a PipeWire
# server of their own (pipewire, with wireplumber, pw-link and pw-metadata, and a session bus from
# dbus-daemon), reached through PipeWire's ALSA plugin, unpacked below. The end-to-end
# cases are run by lit and checked by FileCheck (llvm-14-tools), with a driver in python3.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libasound2-dev libgtest-dev alsa-utils sox
  pulseaudio pulseaudio-utils libasound2-plugins pipewire pipewire-bin wireplumber dbus-daemon llvm-14-tools python3)
# The .deb's Depends come from dpkg-shlibdeps (dpkg-dev), which cpack runs on what file finds
# to be ELF; lintian checks the package.
packages+=(dpkg-dev file lintian)
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
if [ ${#missing[@]} -gt 0 ] && [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with:" >&2
  echo "  sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
elif [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

# PipeWire's ALSA plugin comes in pipewire-alsa, which conflicts with pulseaudio: it is unpacked
# into a folder of its own (again when PipeWire's version changes), with a configuration naming it
# that the tests add to ALSA's (ALSA_CONFIG_PATH).
plugin=/opt/zuvaroza/pipewire-alsa
version=$(dpkg-query -W -f='${Version}' libpipewire-0.3-0)
[ "$(cat "$plugin/version" 2>/dev/null)" = "$version" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh: run it as root once more, to unpack PipeWire's ALSA plugin into $plugin" >&2
  exit 1
fi
echo "Unpacking pipewire-alsa $version into $plugin"
download=$(mktemp -d)
fetch() { (cd "$download" && apt-get download -q -o APT::Sandbox::User=root "pipewire-alsa=$version"); }
fetch || { apt-get update && fetch; }
rm -rf --one-file-system "$plugin" && mkdir -p "$plugin"
dpkg -x "$download"/pipewire-alsa_*.deb "$plugin" && rm -r "$download"
{ echo "pcm_type.pipewire { lib \"$(find "$plugin" -name libasound_module_pcm_pipewire.so)\" }"
  cat "$plugin/usr/share/alsa/alsa.conf.d/50-pipewire.conf"; } >"$plugin/alsa.conf"
echo "$version" >"$plugin/version"
