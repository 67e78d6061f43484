#!/usr/bin/env bash
# Builds the JSON reader benchmark natively with optimisation (no sanitizers) and runs it.
#   bench/json_bench.sh [OUTPUT_FOLDER]     (default: build/bench in the checkout)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
OUT=${1:-$ROOT/build/bench}
mkdir -p "$OUT"
g++ -std=c++20 -O2 -DNDEBUG -I"$ROOT" "$ROOT/bench/json_bench.cpp" "$ROOT/support/json.cpp" -o "$OUT/json_bench"
"$OUT/json_bench"
