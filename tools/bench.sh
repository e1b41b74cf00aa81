#!/usr/bin/env bash
# Builds the benchmarks optimised (build-bench/), runs every one of them and prints one table:
# each figure beside its baseline measured in the same run, the ratio, the bar and whether it holds.
# Starts a private 1920x1080 X server for the capture figures when none is given, and headless
# Wayland desktops for the desktop portal's figures. bench_whole_picture starts an X server of its
# own, whose root window shows a real screen picture, and runs the built program and ffmpeg there.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh bench
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKORONCAM_BENCH=ON >/dev/null
cmake --build build-bench -j"$(nproc)" >/dev/null

xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill $xvfb_pid 2>/dev/null || true' EXIT
if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 140 180); do
        if [ ! -e "/tmp/.X${n}-lock" ]; then export DISPLAY=":$n"; break; fi
    done
    Xvfb "$DISPLAY" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi

summary=$(mktemp)
failed=0
# Those that create and delete tens of thousands of files run last: for a while after them the
# file system is slow to make new files, which would be charged to the benchmarks that follow.
# bench_portal and bench_screencast run below, inside the test desktops. bench_timelapse runs ffmpeg
# and ffprobe (installed with the test packages) on the pictures it makes.
benches=()
for bench in build-bench/bench_*; do
    case "$(basename "$bench")" in
        bench_cleanup | bench_folder_index | bench_viewer | bench_portal | bench_screencast) ;;
        *) benches+=("$bench") ;;
    esac
done
benches+=(build-bench/bench_cleanup build-bench/bench_folder_index build-bench/bench_viewer)
for bench in "${benches[@]}"; do
    [ -x "$bench" ] || continue
    echo "== $(basename "$bench")" >&2
    if ! "$bench" 2>/dev/null | tee /dev/stderr | grep '^SUMMARY|' >>"$summary"; then
        failed=1
    fi
done
# The desktop portal's paths, each on a headless test desktop of its own (the tests' desktops):
# the Screenshot path on sway (its ScreenCast needs a GPU), the ScreenCast path on mutter, and on
# mutter what the stream costs while the screen changes.
for run in "sway bench_portal" "mutter bench_portal" "mutter bench_screencast"; do
    read -r desktop bench <<<"$run"
    echo "== $bench on $desktop" >&2
    # shellcheck disable=SC2016 # expanded inside the desktop, where the token is set
    output=$(tests/wayland/session.sh "$desktop" -- env KORONCAM_BENCH_PORTAL=1 BENCH="$bench" sh -c \
        'KORONCAM_BENCH_PORTAL_TOKEN="${KORONCAM_RESTORE_TOKEN:-}" exec "build-bench/$BENCH"' \
        2>/dev/null) || true
    echo "$output" >&2
    if grep -q '^SUMMARY|' <<<"$output"; then
        grep '^SUMMARY|' <<<"$output" >>"$summary"
    else
        echo "SUMMARY|$bench on $desktop|- (the desktop did not run)|-|-|-|-|-" >>"$summary"
    fi
done

echo
printf '%-62s %14s  %-22s %14s %8s %9s  %s\n' figure value baseline "baseline value" ratio bar holds
sed 's/^SUMMARY|//' "$summary" | while IFS='|' read -r figure value base basevalue ratio bar holds; do
    printf '%-62s %14s  %-22s %14s %8s %9s  %s\n' "$figure" "$value" "$base" "$basevalue" "$ratio" \
        "$bar" "$holds"
done
grep -q '|FAIL$' "$summary" && failed=1
rm -f "$summary"
exit $failed
