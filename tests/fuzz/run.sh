#!/usr/bin/env bash
# Builds the fuzz targets with clang (installing it when missing) and runs each for a while.
#   tests/fuzz/run.sh [seconds per target, default 60] [target names, default every fuzz_* built]
# New inputs go to build-fuzz/corpus/<target>/ (the seeds in tests/fuzz/corpus/ stay as
# they are); tests/fuzz/<target>.dict, when there, gives libFuzzer words of the format.
# A crashing input is left in build-fuzz/ as crash-<hash> and stops the script.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
shift || true
tools/install-deps.sh clang libclang-rt-14-dev
cmake -S tests/fuzz -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j"$(nproc)"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for program in build-fuzz/fuzz_*; do
    targets+=("${program#build-fuzz/fuzz_}")
  done
fi
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$target"
  echo "== $target, $seconds s"
  dictionary=()
  [ -f "tests/fuzz/$target.dict" ] && dictionary=(-dict="../tests/fuzz/$target.dict")
  flags=()
  if [ "$target" = scriptcalls ]; then
    # Its world is kept from one input to the next, so an input that changes it ends with more
    # allocations than frees; for each such input libFuzzer runs it again and scans the whole
    # heap, and after 1000 of them gives up on its own ("disabled leak detection after every
    # mutation"), having spent the run's first minutes there. LeakSanitizer still checks the
    # whole run at exit.
    flags=(-detect_leaks=0)
  fi
  (cd build-fuzz && "./fuzz_$target" "corpus/$target" "../tests/fuzz/corpus/$target" "${dictionary[@]}" \
     "${flags[@]}" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1)
done
