#!/usr/bin/env bash
# Fuzzes the wave header scan with libFuzzer for SECONDS (default 60).
# Usage: bash scripts/fuzz.sh [SECONDS]
# Installs clang and its fuzzer runtime when missing, builds build-fuzz/header_fuzz from the
# scan's own sources, and starts from fuzz/corpus/ and tests/corpus/ (new inputs go to
# build-fuzz/corpus/). Inputs reach past the last offset probed, 128 KiB.
# Exits non-zero on a finding; the input that found it is saved as build-fuzz/crash-*.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${1:-60}
bash scripts/setup.sh clang libclang-rt-14-dev

out=build-fuzz
mkdir -p "$out/corpus"
echo "== build: $out/header_fuzz"
clang++ -std=c++17 -O1 -g -Wall -Wextra -Werror -Isrc \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
  fuzz/header_fuzz.cpp src/wave/wave_header.cpp src/wave/sample_format.cpp \
  -o "$out/header_fuzz"

echo "== fuzz for $seconds s"
"$out/header_fuzz" -max_total_time="$seconds" -max_len=140000 -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$out/" "$out/corpus" fuzz/corpus tests/corpus
