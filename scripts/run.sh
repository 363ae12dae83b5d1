#!/usr/bin/env bash
# Installs what is missing, builds, and starts Pixolune: the desktop program
# where a display exists; otherwise pixolune-cli reduces the bundled samples
# into ./Samples-reduced and lists what it wrote.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/bin/pixolune ]; then
  exec build/bin/pixolune "$@"
fi
out=Samples-reduced
mkdir -p "$out"
build/bin/pixolune-cli -o "$out" build/bin/Samples/*
ls -l "$out"
