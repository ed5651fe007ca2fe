#!/usr/bin/env bash
# Rebuilds the sample game folder's mesh files from their descriptions in src/ with meshbuild.
#   tests/data/loader/build.sh <path to meshbuild>
set -euo pipefail
meshbuild=$(realpath "$1")
cd "$(dirname "$0")"
for name in box car_far figure_walk figure_run wrong; do
  "$meshbuild" "src/$name.txt" "Data/Meshes/$name.msh"
done
"$meshbuild" src/car.txt Data/Meshes/car.p3d
