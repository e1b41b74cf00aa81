#!/usr/bin/env bash
# Installs what is missing, builds everything with the sanitizers into build-test/, starts a
# private X server (Xvfb with openbox) and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh test
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DKORONCAM_TESTS=ON -DKORONCAM_BENCH=ON \
      -DKORONCAM_SANITIZE=ON -DKORONCAM_WERROR=ON >/dev/null
cmake --build build-test -j"$(nproc)"

# A private X server for the tests that need a real one.
display=""
xvfb_pid=""
openbox_pid=""
for n in $(seq 90 130); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free X display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/tmp/koroncam-xvfb.log 2>&1 &
xvfb_pid=$!
trap 'kill $openbox_pid $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    DISPLAY="$display" xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
DISPLAY="$display" openbox >/tmp/koroncam-openbox.log 2>&1 &
openbox_pid=$!
sleep 0.5
export DISPLAY="$display"
cd build-test
ctest --output-on-failure --timeout 600 -j"$(nproc)"
