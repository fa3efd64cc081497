#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh <folder> [cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
shift
cmake -S "$here" -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
