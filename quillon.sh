#!/usr/bin/env bash
# Sets Quillon up on a Debian 12 machine and runs it or its tests.
#   ./quillon.sh run [quillon-cli arguments]   install, build, start the program
#   ./quillon.sh check                         build and run the Linux tests only: the quick
#                                              loop while developing
#   ./quillon.sh test                          install, build, run every test, then the
#                                              sanitizer build's tests and each fuzz target,
#                                              then cross-build the core, quillon-cli and the
#                                              window for Windows and run their tests under wine
#   ./quillon.sh windows                       cross-build quillon.exe and quillon-cli.exe
#                                              into build-windows/
#   ./quillon.sh sanitize                      build with clang, ASan and UBSan; run every test
#   ./quillon.sh fuzz [SECONDS]                run each fuzz target (default 60 s each)
#   ./quillon.sh package [SIGNING]             build the Debian package, the Windows zip and
#                                              the Windows installer (MSI) into dist/, and check
#                                              the Debian package with lintian. SIGNING:
#                                              --cert FILE --key FILE (or --pkcs12 FILE),
#                                              [--pass-file FILE] [--timestamp URL], or the
#                                              QUILLON_SIGN_* variables: see
#                                              share/windows/release.sh. Without them the
#                                              Windows files are unsigned, and it says so
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake ninja-build pkg-config libssl-dev libsqlite3-dev libgtest-dev googletest
          qt6-base-dev libgl-dev fonts-dejavu-core fonts-symbola locales xvfb xauth xdotool
          nlohmann-json3-dev liburing-dev python3 clang libclang-rt-14-dev
          dpkg-dev lintian bash-completion zsh fish systemd acl attr libcap2-bin
          fio hyperfine)
# The Windows build: the cross compiler, Ed25519 for it, wine for its tests,
# a font with the characters the panes' font lacks, and the tools that make
# and read its installer. Signing it needs osslsigncode too, from Debian's
# backports: not installed here, as a machine without backports has none;
# without it the release is unsigned.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix libgcrypt-mingw-w64-dev wine wine64 wixl msitools fonts-wqy-microhei)

FUZZ_TARGETS=(read_listing:read compare_listings:compare parse_line:line md5_lanes:md5)

install_missing() {
  local missing=()
  for package in "${PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
  fi
}

build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_WERROR=ON "$@"
  cmake --build build
}

# The tests and the fuzz targets built with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, in build-sanitize/.
build_sanitized() {
  CC=clang CXX=clang++ cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLON_WERROR=ON \
    -DQUILLON_SANITIZE=ON -DQUILLON_FUZZ=ON
  cmake --build build-sanitize
}

sanitizer_options() {
  export ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan-suppressions.txt:print_suppressions=0"
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
}

# glibc has no frame pointers, so a leak inside its newlocale is seen as one
# (and suppressed by name) only with the slow unwinder. The tests that load
# locales run with it; the rest, a million-line pane among them, without.
LOCALE_TESTS='RegionalSettings'
run_sanitized_tests() {
  sanitizer_options
  (cd build-sanitize && ctest --output-on-failure --timeout 300 -E "$LOCALE_TESTS")
  (cd build-sanitize && ASAN_OPTIONS="$ASAN_OPTIONS:fast_unwind_on_malloc=0" \
     ctest --output-on-failure --timeout 300 -R "$LOCALE_TESTS")
}

# Each target from its seed corpus in fuzz/corpus, new inputs going to a
# scratch folder so that the repository's corpus stays as it is.
run_fuzzers() {
  local seconds=$1 scratch name
  sanitizer_options
  for entry in "${FUZZ_TARGETS[@]}"; do
    name=fuzz_${entry%%:*}
    scratch=$(mktemp -d)
    if ! build-sanitize/fuzz/"$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 "$scratch" fuzz/corpus/"${entry##*:}" >"$scratch.log" 2>&1; then
      tail -n 60 "$scratch.log" >&2
      echo "$name failed; the input that failed is named above" >&2
      rm -rf "$scratch"
      return 1
    fi
    echo "$name: $(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch.log") runs in $seconds s, no failure"
    rm -rf "$scratch" "$scratch.log"
  done
}

# The core, quillon-cli and the Win32 window as Windows programs, cross-built
# with mingw-w64. Arguments go to CMake's configure step; after "--", the
# targets to build (all by default).
build_windows() {
  local configure=() targets=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do configure+=("$1"); shift; done
  [ $# -gt 0 ] && shift && targets=(--target "$@")
  cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
        -DQUILLON_WERROR=ON -DQUILLON_BUILD_GUI=OFF "${configure[@]}"
  cmake --build build-windows "${targets[@]}"
}

case "${1:-}" in
  run)
    shift
    install_missing
    build >/dev/null
    if [ $# -gt 0 ]; then
      exec build/quillon-cli "$@"
    fi
    if [ -x build/quillon ]; then
      if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "No display found, so the window cannot open here." >&2
        echo "Run it under a virtual display:  xvfb-run build/quillon" >&2
        echo "or use the command-line tool:    ./quillon.sh run list [--md5] FOLDER" >&2
        exit 1
      fi
      exec build/quillon
    fi
    exec build/quillon-cli --help
    ;;
  check)
    install_missing
    build
    (cd build && ctest --output-on-failure --timeout 300)
    ;;
  test)
    install_missing
    build
    (cd build && ctest --output-on-failure --timeout 300)
    build_sanitized
    run_fuzzers 60
    run_sanitized_tests
    build_windows -DQUILLON_BUILD_TESTS=ON -DQUILLON_LINUX_CLI="$PWD/build/quillon-cli"
    (cd build-windows && ctest --output-on-failure --timeout 300 -j2)
    ;;
  windows)
    install_missing
    build_windows -DQUILLON_BUILD_TESTS=OFF -- quillon quillon-cli
    echo "Built: $PWD/build-windows/quillon.exe and $PWD/build-windows/quillon-cli.exe"
    echo "Try the window under wine: wine build-windows/quillon.exe"
    ;;
  sanitize)
    install_missing
    build_sanitized
    run_sanitized_tests
    ;;
  fuzz)
    install_missing
    build_sanitized
    run_fuzzers "${2:-60}"
    ;;
  package)
    shift
    install_missing
    build
    mkdir -p dist && rm -f dist/quillon_*.deb dist/quillon-windows-x64.zip dist/quillon-*-x64.msi
    (cd build && cpack -G DEB -B "$PWD/cpack")
    cp build/cpack/quillon_*.deb dist/
    # Errors fail the command; the warnings and notes left are in the README.
    lintian --fail-on error dist/quillon_*.deb
    build_windows
    share/windows/release.sh build-windows dist "$@"
    ls -l dist
    ;;
  *)
    echo "usage: $0 run [quillon-cli arguments] | check | test | windows | sanitize | fuzz [SECONDS] | package [SIGNING]" >&2
    exit 2
    ;;
esac
