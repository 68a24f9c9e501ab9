#!/usr/bin/env bash
# Installs what is needed, builds the station, makes demo data in a sandboxed home and starts it on the
# simulated force platform. Without a display it runs one test session unattended (see below).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNRQ_TESTS=OFF
cmake --build build/release
export TARNRQ_HOME="${TARNRQ_HOME:-$PWD/build/demo-home}"
mkdir -p "$TARNRQ_HOME"
if [ -x build/release/data/tarnrq-demo-data ]; then
  [ -d "$TARNRQ_HOME/Documents" ] || build/release/data/tarnrq-demo-data --files 20 --out "$TARNRQ_HOME/Documents" --seed 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # No display: the station runs one whole test session by itself through its own windows, offscreen,
  # prints where the subject file landed and closes the normal way.
  export QT_QPA_PLATFORM=offscreen TARNRQ_AUTOANSWER=1 TARNRQ_UNATTENDED=1
  export TARNRQ_PLATE_TIMESCALE="${TARNRQ_PLATE_TIMESCALE:-20}" TARNRQ_KEEP_LOG_COPY="$TARNRQ_HOME/last-run.log"
  export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$TARNRQ_HOME/runtime}"; mkdir -p "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"
  status=0
  build/release/app/tarnrq 2> >(grep -v 'This plugin does not support' >&2) || status=$?
  echo "== event log of the run: $TARNRQ_KEEP_LOG_COPY (last lines)"
  tail -n 12 "$TARNRQ_KEEP_LOG_COPY" 2>/dev/null || true
  exit "$status"
else
  exec build/release/app/tarnrq
fi
