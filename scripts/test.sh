#!/usr/bin/env bash
# Installs what is missing, builds zuvaroza and its tests (Release, into build/), runs every test;
# then again with AddressSanitizer and UndefinedBehaviorSanitizer (Debug, into build-asan/);
# fuzzes the header scan for a minute, runs one session under valgrind and checks the .deb package.
# Warnings are errors here. Exits non-zero when a build, a test, a sanitizer, the fuzzer,
# valgrind or the package fails.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Each stage is a function, called in turn by main.

stage_setup() {
  bash scripts/setup.sh
}

# configure_and_build DIR [CMAKE_ARG...]
configure_and_build() {
  local dir=$1
  shift
  echo "== configure and build: $dir $*"
  cmake -S . -B "$dir" -G Ninja -DZUVAROZA_WERROR=ON "$@"
  cmake --build "$dir"
}

# run_tests DIR
run_tests() {
  local dir=$1
  echo "== test: $dir"
  ctest --test-dir "$dir" --output-on-failure --no-tests=error --timeout 300 -j "$(nproc)"
}

stage_release() {
  configure_and_build build -DCMAKE_BUILD_TYPE=Release
  run_tests build
}

# The e2e tests run build-asan's own zuvaroza, so the program itself runs sanitized. Reports go to
# files, not standard error, so that a test which expects a given exit status cannot hide one.
stage_asan() {
  local flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
  local logs=$PWD/build-asan/sanitizer-logs
  rm -rf "$logs" && mkdir -p "$logs"
  local status=0
  ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:exitcode=86:log_path=$logs/asan" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$logs/ubsan" \
    run_tests build-asan || status=$?
  if compgen -G "$logs/*" >/dev/null; then
    echo "== sanitizer reports:" >&2
    cat "$logs"/* >&2
    status=1
  fi
  return "$status"
}

stage_fuzz() {
  bash scripts/fuzz.sh 60
}

stage_valgrind() {
  bash scripts/valgrind.sh
}

# The package holds the program, its manual and the files Debian asks for, and lintian finds
# no error in it, nor a warning (Depends not computed from the libraries is only one); files
# may be added.
stage_package() {
  echo "== package"
  (cd build && cpack -G DEB >/dev/null)
  local deb contents f
  deb=$(ls build/zuvaroza_*.deb)
  contents=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}')
  echo "$deb:" $contents
  for f in bin/zuvaroza share/man/man1/zuvaroza.1.gz \
    share/doc/zuvaroza/{copyright,changelog.gz,README.md,LICENSE}; do
    grep -qx "./usr/$f" <<<"$contents" || { echo "missing from the package: /usr/$f" >&2; return 1; }
  done
  lintian --fail-on error,warning "$deb"
}

main() {
  stage_setup
  stage_release
  stage_asan
  stage_fuzz
  stage_valgrind
  stage_package
}

main "$@"
