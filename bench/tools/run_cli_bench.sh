#!/usr/bin/env bash
# Whole-process figures for the ve tool on long files, measured side by side in one run:
#  - speed: 've expand' on a 10-minute 44100 Hz 16-bit stereo WAV against copying the same file
#    with sox (the cost of reading and writing it, the floor for any tool), with hyperfine;
#  - memory: peak resident size of 've expand' on a 1-minute and a 10-minute file, which must
#    be about the same, since ve works block by block.
#   bench/tools/run_cli_bench.sh [VE] [FOLDER]
# VE defaults to build/tools/ve/ve; FOLDER (default: a fresh temporary one) holds ~230 MB of WAVs.
set -euo pipefail
ve=$(realpath "${1:-build/tools/ve/ve}")
work=${2:-$(mktemp -d)}
mkdir -p "$work"
cd "$work"

# Two different noises with a tone in common: a real stereo signal, not one the filters could
# skip as silent.
for minutes in 1 10; do
  [ -f "in-${minutes}min.wav" ] ||
    sox -n -r 44100 -c 2 -b 16 "in-${minutes}min.wav" \
      synth $((minutes * 60)) pinknoise pinknoise sine 440 remix 1,3 2,3 vol 0.4
done

echo "== speed: 10-minute 44100 Hz 16-bit stereo WAV ($(du -h in-10min.wav | cut -f1))"
hyperfine --warmup 1 --runs 5 --export-markdown speed.md \
  -n "sox copy" "sox in-10min.wav copy.wav" \
  -n "ve expand" "$ve expand in-10min.wav expanded.wav --quiet" \
  -n "ve expand --backend fpu" "$ve expand in-10min.wav expanded-fpu.wav --quiet --backend fpu" \
  -n "ve expand --backend mmx" "$ve expand in-10min.wav expanded-mmx.wav --quiet --backend mmx"

echo
echo "== peak resident size of 've expand'"
for minutes in 1 10; do
  kib=$(/usr/bin/time -f '%M' "$ve" expand "in-${minutes}min.wav" rss.wav --quiet 2>&1 >/dev/null | tail -n 1)
  echo "  ${minutes}-minute file: ${kib} KiB"
done
stream_kib=$(sox in-10min.wav -t raw - |
  /usr/bin/time -f '%M' "$ve" expand - - --raw s16 --rate 44100 --channels 2 --quiet 2>&1 >/dev/null |
  tail -n 1)
echo "  10-minute raw stream: ${stream_kib} KiB"
echo
echo "Results table: $work/speed.md"
