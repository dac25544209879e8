#!/usr/bin/env bash
# Installs what is missing, builds zuvaroza and its tests (Release, into build/), runs every test.
# Exits non-zero when the build or any test fails.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Each stage is a function; a new stage (e.g. a sanitizer build in build-asan/) is one more
# call to configure_and_build and run_tests in main.

stage_setup() {
  bash scripts/setup.sh
}

# configure_and_build DIR [CMAKE_ARG...]
configure_and_build() {
  local dir=$1
  shift
  echo "== configure and build: $dir $*"
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir"
}

# run_tests DIR
run_tests() {
  local dir=$1
  echo "== test: $dir"
  ctest --test-dir "$dir" --output-on-failure --no-tests=error --timeout 300
}

stage_release() {
  configure_and_build build -DCMAKE_BUILD_TYPE=Release
  run_tests build
}

main() {
  stage_setup
  stage_release
}

main "$@"
