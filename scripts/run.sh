#!/usr/bin/env bash
# Installs what is needed, builds the station, makes demo data in a sandboxed home and starts it on the
# simulated force platform. Without a display it runs offscreen, answers its messages by itself and
# closes after a while, printing its event log, then runs one test session unattended.
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
  export QT_QPA_PLATFORM=offscreen TARNRQ_AUTOANSWER=1 TARNRQ_QUIT_AFTER_MS="${TARNRQ_QUIT_AFTER_MS:-8000}"
  export TARNRQ_KEEP_LOG_COPY="$TARNRQ_HOME/last-run.log"
  export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$TARNRQ_HOME/runtime}"; mkdir -p "$XDG_RUNTIME_DIR"; chmod 700 "$XDG_RUNTIME_DIR"
  build/release/app/tarnrq
  echo "== event log of the run:"; cat "$TARNRQ_KEEP_LOG_COPY" 2>/dev/null || true
  echo "== one test session, unattended:"
  build/release/session/tarnrq-session --unattended --timescale 20
else
  exec build/release/app/tarnrq
fi
