#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need; only those missing.
# Usage: tools/deps.sh run|package|test|bench
set -euo pipefail

run_packages=(build-essential cmake pkg-config qt6-base-dev libx11-dev libxext-dev
              libpipewire-0.3-dev libdeflate-dev zlib1g-dev fonts-noto-cjk
              libavformat-dev libavcodec-dev libswscale-dev libavutil-dev)
# Making the Debian package: dpkg-shlibdeps reads its dependencies from the binaries.
package_packages=(dpkg-dev)
# The tests also check the package with lintian, desktop-file-validate and appstreamcli, and start
# Wayland desktops headless: sway with the wlroots portal (which takes its screenshots with
# grim), mutter with the GNOME portal, PipeWire for the screen stream, and a private session bus.
# ffmpeg and ffprobe check the time-lapse videos and are the time-lapse benchmark's baseline.
test_packages=(libgtest-dev libpng-dev libbenchmark-dev xvfb xauth openbox
               xdotool x11-utils clang libclang-rt-14-dev lintian desktop-file-utils appstream
               dbus-daemon dbus-user-session sway xwayland mutter pipewire pipewire-bin wireplumber
               xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk grim
               xdg-desktop-portal-gnome libglib2.0-bin zenity at-spi2-core python3-pyatspi
               ffmpeg)
# The whole-program benchmark sets the program beside ffmpeg's screen grab, and can record a
# profile of it with perf.
bench_packages=(ffmpeg linux-perf)

wanted=("${run_packages[@]}")
if [ "${1:-run}" = package ] || [ "${1:-run}" = test ] || [ "${1:-run}" = bench ]; then
    wanted+=("${package_packages[@]}")
fi
if [ "${1:-run}" = test ] || [ "${1:-run}" = bench ]; then
    wanted+=("${test_packages[@]}")
fi
if [ "${1:-run}" = bench ]; then
    wanted+=("${bench_packages[@]}")
fi

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
