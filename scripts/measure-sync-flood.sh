#!/usr/bin/env bash
# The local sync server under a flood of hostile peers from another address than the phone's:
# builds the server benchmark in release mode and runs its flood case, which starts
# scripts/sync-flood-peers.py (1,000 peers from 127.0.0.2, 200 of each kind, reconnecting as fast
# as they are dropped) while a paired device reads from 127.0.0.1 every quarter second.
# scripts/measure-sync-flood-matrix.sh runs the same case over each kind of peer, their addresses
# and a far phone's round trip.
# Usage: scripts/measure-sync-flood.sh [flood seconds, default 120] [build dir, default build/bench]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
build=${2:-build/bench}
jobs=${JOBS:-3}
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOREL_TESTS=OFF -DVANTOREL_BENCH=ON
fi
cmake --build "$build" -j "$jobs" --target bench_LocalSyncServerBench
VANTOREL_FLOOD_PEERS_SCRIPT="$PWD/scripts/sync-flood-peers.py" VANTOREL_FLOOD_SECONDS="$seconds" \
    QT_QPA_PLATFORM=offscreen "$build/bench/bench_LocalSyncServerBench" \
    --benchmark_filter='readsWhileHostilePeersFloodFromAnotherAddress' --benchmark_counters_tabular=true
