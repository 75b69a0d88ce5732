#!/usr/bin/env bash
# Sets up a Debian 12 machine for this project, builds it, and then starts the program (run) or runs
# every test (test). Safe to run again: it installs only what is missing.
#   ./dev.sh run    install, build, start the program
#   ./dev.sh test   install, build, run every test
#   ./dev.sh setup  install and build only
set -euo pipefail
cd "$(dirname "$0")"
action=${1:-run}
build=${BUILD_DIR:-build}

packages=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
    qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins libgl-dev
    libgtest-dev googletest libopencore-amrnb-dev
    libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libebur128-dev loudgain libcue-dev libflac-dev flac wavpack
    ffmpeg xvfb xauth xdg-utils desktop-file-utils xchm fp-utils imagemagick fonts-dejavu-core
    appstream lintian dpkg-dev file xdotool dosfstools fusefat strace dbus-daemon
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# libcue2 before 2.2.1-4+deb12u1 lacks the INDEX bounds fix; an older machine takes the update.
if ! dpkg --compare-versions "$(dpkg-query -W -f='${Version}' libcue2 2>/dev/null)" ge 2.2.1-4+deb12u1; then
    as_root apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --only-upgrade libcue2 libcue-dev
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" ${CMAKE_ARGS:-} >/dev/null
cmake --build "$build"

case "$action" in
run)
    exec "$build/bin/veltra-wma-converter"
    ;;
test)
    cd "$build"
    # Tests that need a real X server get one; the rest run offscreen.
    exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j"$(nproc)" ${CTEST_ARGS:-}
    ;;
setup) ;;
*)
    echo "usage: $0 [run|test|setup]" >&2
    exit 2
    ;;
esac
