#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each for SECONDS seconds over a
# copy of its seed corpus (the checked-in corpus never grows). Prints each target's executions;
# exits non-zero when any target finds a crash, a leak, a timeout or runs out of memory, and keeps
# the input that did it in build-fuzz/artifacts/.
#
# Usage: fuzz/run.sh SECONDS [TARGET...]
#   TARGET: bmp_reader bmp_to_png profile_read profile_write (default: all, one after another)
set -euo pipefail
cd "$(dirname "$0")/.."

usage="usage: fuzz/run.sh SECONDS [bmp_reader|bmp_to_png|profile_read|profile_write ...]"
seconds=${1:-}
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "$usage" >&2; exit 2; }
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(bmp_reader bmp_to_png profile_read profile_write)

seeds_of() { case "$1" in bmp_*) echo bmp ;; *) echo "$1" ;; esac; }
dict_of() { case "$1" in bmp_*) echo bmp.dict ;; *) echo profile.dict ;; esac; }
for target in "${targets[@]}"; do
    case "$target" in
        bmp_reader | bmp_to_png | profile_read | profile_write) ;;
        *) echo "unknown target $target; $usage" >&2; exit 2 ;;
    esac
done

cmake -S fuzz -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null

# Memory-backed when possible: the BMP-to-PNG target writes two files per input.
shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm=${TMPDIR:-/tmp}
work=$(mktemp -d -p "$shm" koroncam-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT

failed=0
for target in "${targets[@]}"; do
    corpus="$work/$target/corpus"
    artifacts="build-fuzz/artifacts/$target"
    mkdir -p "$corpus" "$work/$target/tmp" "$artifacts"
    cp "fuzz/corpus/$(seeds_of "$target")"/* "$corpus/"
    log="$work/$target/log"
    status=0
    TMPDIR="$work/$target/tmp" "build-fuzz/fuzz_$target" "$corpus" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -dict="fuzz/$(dict_of "$target")" -artifact_prefix="$artifacts/" >"$log" 2>&1 || status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    files=$(find "$corpus" -type f | wc -l)
    bytes=$(du -sb "$corpus" | cut -f1)
    echo "$target: ${executions:-?} executions in ${seconds} s, corpus $files files, $bytes bytes"
    if [ "$status" -ne 0 ]; then
        failed=1
        echo "$target: FAILED (exit $status); the input is kept in $artifacts/" >&2
        grep -E -A30 '^==[0-9]+==ERROR|invariant broken|^SUMMARY|runtime error' "$log" | head -60 >&2
    fi
done
exit "$failed"
