#!/usr/bin/env bash
# Viewer benchmark: a 4000 × 3000 run-length true-colour TGA and an 8-bit run-length PCX of the
# same picture, decoded by our decoders and by ImageMagick (convert FILE ppm:/dev/null) in the
# same run; medians of a few runs, alternating.
#
# run.sh BUILD_DIR
set -euo pipefail
BUILD="$1"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$ROOT/scripts/local-ftp.sh" # for median
RUNS="${VESTRIGAL_BENCH_RUNS:-5}"

work="$(mktemp -d "${TMPDIR:-/tmp}/bench-viewer-XXXXXX")"
trap 'rm -rf "$work"' EXIT
# A smooth photograph enlarged: long runs as well as short ones, like a real picture.
convert rose: -resize '4000x3000!' -type TrueColor -compress RLE "$work/picture.tga"
convert rose: -resize '4000x3000!' +dither -colors 256 "$work/picture.pcx"

ours_tga=() ours_pcx=() im_tga=() im_pcx=()
for _ in $(seq "$RUNS"); do
  readarray -t t < <("$BUILD/bench/viewer/bench_viewer" 1 "$work/picture.tga" "$work/picture.pcx")
  ours_tga+=("${t[0]}")
  ours_pcx+=("${t[1]}")
  for kind in tga pcx; do
    start=$(date +%s.%N)
    convert "$work/picture.$kind" ppm:/dev/null
    end=$(date +%s.%N)
    seconds=$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')
    if [ "$kind" = tga ]; then im_tga+=("$seconds"); else im_pcx+=("$seconds"); fi
  done
done
m() { printf '%s\n' "$@" | median; }
tga="$(m "${ours_tga[@]}")" pcx="$(m "${ours_pcx[@]}")" itga="$(m "${im_tga[@]}")" ipcx="$(m "${im_pcx[@]}")"
echo "ImageMagick: tga $itga s, pcx $ipcx s" >&2
printf 'viewer_decode_tga_s %.3f s\n' "$tga"
printf 'viewer_decode_pcx_s %.3f s\n' "$pcx"
awk -v o="$tga" -v t="$itga" 'BEGIN {printf "viewer_decode_tga_vs_imagemagick %.2f ratio\n", o / t}'
awk -v o="$pcx" -v t="$ipcx" 'BEGIN {printf "viewer_decode_pcx_vs_imagemagick %.2f ratio\n", o / t}'
