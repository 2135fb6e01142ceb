#!/usr/bin/env bash
# HTTP download manager benchmark: a file (1 GiB; VESTRIGAL_BENCH_HTTP_MIB to change) downloaded
# from the tests' HTTP server (tests/tools/httpserver.py) through the manager's queue and, in the
# same run, with curl; runs alternate the order. Files go to /dev/shm when it has room. Medians.
#
# run.sh BUILD_DIR
set -euo pipefail
BUILD="$1"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$ROOT/scripts/local-ftp.sh" # median
MIB="${VESTRIGAL_BENCH_HTTP_MIB:-1024}"
RUNS="${VESTRIGAL_BENCH_RUNS:-5}"
BENCH="$BUILD/bench/http/bench_http"

place="${TMPDIR:-/tmp}"
if [ -d /dev/shm ] && [ "$(df -Pm /dev/shm | awk 'NR==2 {print $4}')" -gt $((MIB * 3)) ]; then place=/dev/shm; fi
work="$(mktemp -d "$place/bench-http-XXXXXX")"
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

/usr/bin/python3 "$ROOT/tests/tools/httpserver.py" >"$work/server.out" &
server=$!
for _ in $(seq 100); do grep -q '^PORT ' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
port="$(awk '/^PORT/{print $2}' "$work/server.out")"
url="http://127.0.0.1:$port/file/$((MIB * 1048576))/big.bin"

ours() { sync; "$BENCH" "$url" "$work/ours.bin" >"$work/ours.txt"; }
theirs() { sync; curl -sS -o "$work/curl.bin" -w '%{speed_download}' "$url" >"$work/curl.txt"; }

: >"$work/results"
for run in $(seq "$RUNS"); do
  if [ $((run % 2)) -eq 1 ]; then ours; theirs; else theirs; ours; fi
  cmp -s "$work/ours.bin" "$work/curl.bin" || { echo "http: the two downloads differ" >&2; exit 1; }
  rm -f "$work/ours.bin" "$work/curl.bin"
  mbps="$(awk '/^http_download_MBps/{print $2}' "$work/ours.txt")"
  rss="$(awk '/^http_download_peak_rss_MiB/{print $2}' "$work/ours.txt")"
  curl_bps="$(cat "$work/curl.txt")"
  echo "run $run: ours $mbps MB/s, rss $rss MiB; curl $curl_bps B/s" >&2
  awk -v m="$mbps" -v r="$rss" -v c="$curl_bps" 'BEGIN {printf "%s %s %.4f\n", m, r, m * 1e6 / c}' >>"$work/results"
done

printf 'http_download_MBps %s MB/s\n' "$(cut -d' ' -f1 "$work/results" | median)"
printf 'http_download_vs_curl %.2f ratio\n' "$(cut -d' ' -f3 "$work/results" | median)"
printf 'http_download_peak_rss_MiB %s MiB\n' "$(cut -d' ' -f2 "$work/results" | sort -g | tail -1)"
