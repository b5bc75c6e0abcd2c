#!/usr/bin/env bash
# The local sync server's paired device under floods of hostile peers, one kind at a time, from
# wherever they can come: builds the server benchmark in release mode and runs its flood case
# (bench/LocalSyncServerBench.cpp, readsWhileHostilePeersFloodFromAnotherAddress) once per case, each
# with 1,000 peers for 20 s while the paired device, having read once before, reads every quarter
# second. Writes one markdown table row per run: reads answered / made, share answered within 1 s,
# latencies (a failed read counts as endless), the server thread's CPU during the flood, peak
# resident memory growth over idle, whether the server was alive and answering at the end, how
# many reads failed before the first was answered and how long that took, and pairings.
#   a  the peers on the phone's own address (IPv4 127.0.0.1) and in the phone's own IPv6 /64
#      (fd00::1:0-fd00::1:3e7, one address each, the phone on fd00::1)
#   b  the peers spread over 255 (127.0.1.1-255) and 512 (127.0.1.0-127.0.2.255) addresses
#   c  the peers on another address (127.0.0.2)
#   d  a phone 0.3 s and 0.5 s of round trip away (scripts/sync-flood-relay.py) under
#      hello-and-stall peers on another address
#   e  the phone moved: it read from 127.0.0.1, which the server remembers, and reads from
#      127.0.0.3, from 2 s into the flood (a read before the peers hold their places would prove
#      127.0.0.3 too), while the peers come from 127.0.0.1
#   f  no reads, but PAIRINGS pairing attempts of a new device from 127.0.0.3, one after another
#      from 2 s into the flood, which lasts until they are done (at least FLOOD_SECONDS): f-pair
#      with the peers on the phone's remembered 127.0.0.1, f-pair-control on 127.0.0.2, never
#      remembered. A pairing succeeded when the server was asked to pair (handshake and request).
#   g  a wake: after its first read the server is stopped and started again for the same device,
#      then the peers come from the phone's own address (g-wake-ipv4) or /64 (g-wake-ipv6) and
#      the phone reads from 2 s into the flood
#   h  a phone 0.3 s of round trip away that proved the key from 127.0.0.3 and reads from there,
#      under hello-and-stall peers from 127.0.0.1, which it proved the key from as well
# Each of a, b, c, e, f, g runs with each kind: silent, hello (ClientHello, then stalls), failing
# (plain HTTP), trickle (a ClientHello a byte every half second); d and h with hello only. The
# a, d, g and h cases run twice, their results being the noisiest. Every run is inside a network
# namespace of its own making (its lo holds the ULA addresses; it is deleted at the end), with the
# server listening on both families as the application does. Needs root (ip netns).
# Usage: scripts/measure-sync-flood-matrix.sh [markdown output, default stdout]
# Environment: FLOOD_SECONDS (20), PEERS (1000), KINDS ("silent hello failing trickle"),
#   CASES (a-ipv4 a-ipv6 b-255 b-512 c d-0.3 d-0.5 e-moved f-pair f-pair-control g-wake-ipv4
#   g-wake-ipv6 h-slow), REPEAT_NOISY (2), TAIL_SECONDS (5), PAIRINGS (20), BUILD (build/bench),
#   JOBS (3), KEEP (a folder to keep each run's JSON and log in).
set -euo pipefail
cd "$(dirname "$0")/.."
output=${1:-/dev/stdout}
seconds=${FLOOD_SECONDS:-20}
peers=${PEERS:-1000}
kinds=${KINDS:-silent hello failing trickle}
cases=${CASES:-a-ipv4 a-ipv6 b-255 b-512 c d-0.3 d-0.5 e-moved f-pair f-pair-control g-wake-ipv4 g-wake-ipv6 h-slow}
repeatNoisy=${REPEAT_NOISY:-2}
tail=${TAIL_SECONDS:-5}
pairings=${PAIRINGS:-20}
build=${BUILD:-build/bench}
jobs=${JOBS:-3}
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOREL_TESTS=OFF -DVANTOREL_BENCH=ON >&2
fi
cmake --build "$build" -j "$jobs" --target bench_LocalSyncServerBench >&2
bench="$PWD/$build/bench/bench_LocalSyncServerBench"

load=$(cut -d' ' -f1-3 /proc/loadavg)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
work=$(mktemp -d)
keep=${KEEP:-$work}
mkdir -p "$keep"
namespace="vantorel-flood-$$"
cleanup() {
    ip netns delete "$namespace" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$namespace"
ip -n "$namespace" link set lo up
# The phone's /64 on lo: the phone's address and one for each IPv6 peer.
ip6peers="fd00::1:0-fd00::1:$(printf '%x' $((peers - 1)))"
{
    echo "address add fd00::1/64 dev lo nodad"
    for ((i = 0; i < peers; i++)); do printf 'address add fd00::1:%x/64 dev lo nodad\n' "$i"; done
} > "$work/addresses"
ip -n "$namespace" -batch "$work/addresses"

rows="$work/rows"
: > "$rows"
# run ID LABEL KIND RUN ENV...: one flood, one row.
run() {
    local name="$1-$3-$4" label=$2 kind=$3 round=$4
    shift 4
    local status=0 limit=$((seconds + tail + 90))
    # A pairing attempt may take up to 30 s, and the flood lasts until the last one ended.
    [[ " $* " == *" VANTOREL_FLOOD_PAIRINGS="* ]] && limit=$((limit + 30 * pairings))
    timeout --signal=KILL $limit \
        ip netns exec "$namespace" env QT_QPA_PLATFORM=offscreen \
        VANTOREL_FLOOD_PEERS_SCRIPT="$PWD/scripts/sync-flood-peers.py" \
        VANTOREL_FLOOD_RELAY_SCRIPT="$PWD/scripts/sync-flood-relay.py" \
        VANTOREL_FLOOD_SECONDS="$seconds" VANTOREL_FLOOD_TAIL_SECONDS="$tail" VANTOREL_FLOOD_LISTEN=any "$@" \
        "$bench" --benchmark_filter="readsWhileHostilePeersFloodFromAnotherAddress" \
        --benchmark_out="$keep/$name.json" --benchmark_out_format=json > "$keep/$name.log" 2>&1 || status=$?
    python3 - "$keep/$name.json" "$label" "$kind" "$round" "$status" "$seconds" >> "$rows" <<'EOF'
import json, sys
path, label, kind, round_, status, seconds = sys.argv[1:]
status = int(status)
def ms(value):
    return "fail" if value >= 1e9 else f"{value:.0f}"
try:
    run = json.load(open(path))["benchmarks"][0]
except (OSError, ValueError, IndexError, KeyError):
    run = None
if run is None or "paired_reads" not in run:
    death = f"signal {status - 128}" if status > 128 else f"exit {status}"
    print(f"| {label} | {kind} | {round_} | – | – | – | – | – | – | **no** ({death}) | – | – |")
    sys.exit()
reads = int(run["paired_reads"])
alive = "yes" if status == 0 and run["alive_after"] == 1 else f"**no** (exit {status}, answers {int(run['alive_after'])})"
# The peers' script reports "KIND_dropped=N" for each kind.
dropped = sum(int(part.partition("=")[2]) for part in run.get("label", "").split() if "_dropped=" in part)
# A flood waiting for pairings lasts longer than asked.
flood = run.get("flood_s", float(seconds))
if reads > 0:
    answers = (f"{int(run['paired_answered'])} / {reads} | {run['paired_ok_pct']:.0f} % "
               f"| {ms(run['read_median_ms'])} / {ms(run['read_p95_ms'])} / {ms(run['read_max_ms'])}")
    first = run.get("first_answer_s", 1e9)
    before = (f"{int(run['failed_before_first_answer'])} ("
              + ("never answered" if first >= 1e9 else f"{first:.1f} s") + ")")
else:
    answers, before = "– | – | –", "–"
made = int(run.get("pairings_made", 0))
pairings = "–"
if made > 0:
    pairings = f"{int(run['pairings_ok'])} / {made}"
    if run["pairings_ok"] > 0:
        pairings += f" (slowest {run['pairing_slowest_s']:.2f} s)"
print(f"| {label} | {kind} | {round_} | {answers} "
      f"| {run['gui_cpu_pct']:.1f} | {run['rss_peak_growth_MB']:.1f} | {dropped / flood:.0f} | {alive} | {before} | {pairings} |")
EOF
    tail -n 1 "$rows" >&2
}

phoneV4=(VANTOREL_FLOOD_PHONE_HOST=127.0.0.1 VANTOREL_FLOOD_PHONE_SOURCE=127.0.0.1)
pairing=(VANTOREL_FLOOD_PAIRINGS="$pairings" VANTOREL_FLOOD_PAIRING_SOURCE=127.0.0.3 VANTOREL_FLOOD_READ_DELAY=2)
for which in $cases; do
    case $which in
        a-ipv4) label="a: IPv4, the phone's own address"; rounds=$repeatNoisy
                environment=("${phoneV4[@]}" "VANTOREL_FLOOD_PEERS_ARGS=--source 127.0.0.1") ;;
        a-ipv6) label="a: IPv6, the phone's own /64"; rounds=$repeatNoisy
                environment=(VANTOREL_FLOOD_PHONE_HOST=fd00::1 VANTOREL_FLOOD_PHONE_SOURCE=fd00::1
                             "VANTOREL_FLOOD_PEERS_ARGS=--host fd00::1 --source $ip6peers") ;;
        b-255) label="b: 255 addresses"; rounds=1
               environment=("${phoneV4[@]}" "VANTOREL_FLOOD_PEERS_ARGS=--source 127.0.1.1-127.0.1.255") ;;
        b-512) label="b: 512 addresses"; rounds=1
               environment=("${phoneV4[@]}" "VANTOREL_FLOOD_PEERS_ARGS=--source 127.0.1.0-127.0.2.255") ;;
        c) label="c: another address"; rounds=1
           environment=("${phoneV4[@]}" "VANTOREL_FLOOD_PEERS_ARGS=--source 127.0.0.2") ;;
        d-*) label="d: ${which#d-} s round trip, another address"; rounds=$repeatNoisy
             environment=("${phoneV4[@]}" "VANTOREL_FLOOD_ROUND_TRIP=${which#d-}" "VANTOREL_FLOOD_PEERS_ARGS=--source 127.0.0.2") ;;
        e-moved) label="e: moved to 127.0.0.3, peers on remembered 127.0.0.1"; rounds=1
                 environment=("${phoneV4[@]}" VANTOREL_FLOOD_PHONE_READ_SOURCE=127.0.0.3 VANTOREL_FLOOD_READ_DELAY=2
                              "VANTOREL_FLOOD_PEERS_ARGS=--source 127.0.0.1") ;;
        f-pair) label="f: pairing from 127.0.0.3, peers on remembered 127.0.0.1"; rounds=1
                environment=("${phoneV4[@]}" "${pairing[@]}" "VANTOREL_FLOOD_PEERS_ARGS=--source 127.0.0.1") ;;
        f-pair-control) label="f: pairing from 127.0.0.3, peers on 127.0.0.2"; rounds=1
                        environment=("${phoneV4[@]}" "${pairing[@]}" "VANTOREL_FLOOD_PEERS_ARGS=--source 127.0.0.2") ;;
        g-wake-ipv4) label="g: after a restart, IPv4, the phone's own address"; rounds=$repeatNoisy
                     environment=("${phoneV4[@]}" VANTOREL_FLOOD_RESTART=1 VANTOREL_FLOOD_READ_DELAY=2
                                  "VANTOREL_FLOOD_PEERS_ARGS=--source 127.0.0.1") ;;
        g-wake-ipv6) label="g: after a restart, IPv6, the phone's own /64"; rounds=$repeatNoisy
                     environment=(VANTOREL_FLOOD_PHONE_HOST=fd00::1 VANTOREL_FLOOD_PHONE_SOURCE=fd00::1
                                  VANTOREL_FLOOD_RESTART=1 VANTOREL_FLOOD_READ_DELAY=2
                                  "VANTOREL_FLOOD_PEERS_ARGS=--host fd00::1 --source $ip6peers") ;;
        h-slow) label="h: 0.3 s round trip from proven 127.0.0.3, peers on remembered 127.0.0.1"; rounds=$repeatNoisy
                environment=(VANTOREL_FLOOD_PHONE_HOST=127.0.0.1 VANTOREL_FLOOD_PHONE_SOURCE=127.0.0.3
                             VANTOREL_FLOOD_ALSO_PROVEN_FROM=127.0.0.1 VANTOREL_FLOOD_ROUND_TRIP=0.3
                             "VANTOREL_FLOOD_PEERS_ARGS=--source 127.0.0.1") ;;
        *) echo "unknown case $which" >&2; exit 2 ;;
    esac
    caseKinds=$kinds
    [[ $which == d-* || $which == h-* ]] && caseKinds=hello
    for kind in $caseKinds; do
        for ((round = 1; round <= rounds; round++)); do
            args=("${environment[@]}")
            last=$((${#args[@]} - 1))
            args[last]="${args[last]} --kinds $kind --peers $peers"
            run "$which" "$label" "$kind" "$round" "${args[@]}"
        done
    done
done

{
    echo "Sync server under $peers hostile peers of one kind for $seconds s, release build, $(git rev-parse --short HEAD), started $started, load average then $load."
    echo "Latencies of all reads (a failed read counts as endless; a phone 0.3 s or 0.5 s away needs four round trips, 1.2 s or 2 s, for a read of its own); CPU: the server thread during the flood; RSS: peak growth over idle; drops/s: peers' connections the server ended per second of the run; first answer: reads failed before the first answered one, and the time from the first read's start to that answer; pairings: a new device's attempts that reached the server's request (f only, where the phone does not read), and the longest from an invitation to its request."
    echo
    echo "| case | peers | run | reads answered / made | within 1 s | median / p95 / max ms | server CPU % | peak RSS growth MB | drops/s | alive at end | failed before first answer (time to it) | pairings succeeded / made |"
    echo "|---|---|---|---|---|---|---|---|---|---|---|---|"
    cat "$rows"
} > "$output"
