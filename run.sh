#!/usr/bin/env bash
# Installs what is missing, builds, and runs the launcher in the shipped game folder.
set -euo pipefail
cd "$(dirname "$0")"
# xdg-open hands the readme and the web pages to the desktop.
tools/install-deps.sh xdg-utils
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DENGINE_TESTS=OFF -DENGINE_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
cd gamedir && exec ../build/launcher/tarnwick
