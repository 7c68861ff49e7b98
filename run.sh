#!/usr/bin/env bash
# Builds the program (Release) and starts it with the given arguments.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTF_BUILD_TESTS=OFF >/dev/null
cmake --build "$build"
if [[ -x "$build/tintaframe4" ]]; then
  exec "$build/tintaframe4" "$@"
fi
echo "run.sh: the core libraries are built; the program itself (application shell) does not exist yet."
