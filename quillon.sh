#!/usr/bin/env bash
# Sets Quillon up on a Debian 12 machine and runs it or its tests.
#   ./quillon.sh run [quillon-cli arguments]   install, build, start the program
#   ./quillon.sh test                          install, build, run every test
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(build-essential cmake ninja-build pkg-config libssl-dev libgtest-dev googletest
          qt6-base-dev libgl-dev fonts-dejavu-core locales xvfb xauth xdotool
          nlohmann-json3-dev python3)

install_missing() {
  local missing=()
  for package in "${PACKAGES[@]}"; do
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
  test)
    install_missing
    build
    cd build
    ctest --output-on-failure --timeout 300
    ;;
  *)
    echo "usage: $0 run [quillon-cli arguments] | test" >&2
    exit 2
    ;;
esac
