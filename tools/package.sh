#!/usr/bin/env bash
# Installs what is missing, builds the program optimised into build-package/ (or the folder
# given) and makes its Debian package there. Prints the package's path on its last line.
# Usage: tools/package.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh package
build="${1:-build-package}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/koroncam_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$(cd "$build" && pwd)"/koroncam_*.deb
