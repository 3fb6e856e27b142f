#!/usr/bin/env bash
# Writes the fuzzers' seed inputs and dictionaries into a folder (scripts/fuzz.sh calls it):
# a few valid inputs for each, tiny media files made by the ffmpeg tool, and the inputs of
# past findings, which every run replays first.
# Usage: scripts/fuzz_seeds.sh FOLDER
set -euo pipefail
out="$1"
mkdir -p "$out"/{value_parsers,profile,media_reader}

# Each value parser's input starts with the byte that picks it (see value_parsers_fuzzer.cpp).
seed() { printf "$2" > "$out/$1"; }
seed value_parsers/integer '\x00-42'
seed value_parsers/number '\x0112.5e-1'
seed value_parsers/box '\x021,2,3,4'
seed value_parsers/range '\x037:'
seed value_parsers/closed_range '\x030:12'
seed value_parsers/assignment '\x043=40'
cat > "$out/value_parsers.dict" << 'EOF'
","
":"
"="
"-"
"e"
"."
"1073741824"
"9223372036854775807"
"inf"
EOF

cat > "$out/profile/valid.json" << 'EOF'
{"tool": "ruvovav", "source": "clip.mov", "analyzedFrame": 0,
 "parameters": {"numberOfFrames": 2, "useOpticalFlowTracking": true, "mipmapLevel": 3,
  "frequencyContrast": 1.5, "analyzePoint1": [-64, 64.5], "yL0_ThresholdHH1": 12.25,
  "Brightness:0:ThreasholdMult": 100, "method": 1, "offset": -20, "fixed": 7}}
EOF
printf '{"parameters": {}}' > "$out/profile/empty.json"
# Past findings: a choice index far past int64 (an undefined conversion while testing it for
# wholeness) and a fraction for an integer parameter (kept, though saved as a whole number).
printf '{"parameters": {"method": 1e300}}' > "$out/profile/regression_choice_huge.json"
printf '{"parameters": {"mipmapLevel": 2.5}}' > "$out/profile/regression_int_fraction.json"
cat > "$out/profile.dict" << 'EOF'
"\"parameters\""
"\"numberOfFrames\""
"\"useOpticalFlowTracking\""
"\"frequencyLabel\""
"\"mipmapLevel\""
"\"frequencyContrast\""
"\"analyzeButton\""
"\"analyzePoint1\""
"\"yL0_ThresholdHH1\""
"\"Brightness:0:ThreasholdMult\""
"\"method\""
"\"offset\""
"\"fixed\""
"true"
"false"
"null"
"1e308"
"-0"
"\\u0000"
EOF

# The first byte picks the extension: 0 .mkv, 1 .mp4, 2 .y4m, 3 .avi, 4 .png, 5 .exr, 6 .tif,
# 7 .dpx; 0x08 reads frame 0 again, 0x10 jumps ahead, 0x20 reads the last frame.
media() {
  local name="$1" control="$2"
  shift 2
  local tmp="$out/media_reader/.$name"
  if ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=16x16:rate=5 "$@" "$tmp"; then
    { printf "\\x$control"; cat "$tmp"; } > "$out/media_reader/$name"
  else
    echo "fuzz_seeds: ffmpeg cannot make the $name seed; going on without it" >&2
  fi
  rm -f "$tmp"
}
media ffv1.mkv 38 -frames:v 4 -c:v ffv1
media h264.mp4 19 -frames:v 4 -c:v libx264 -preset ultrafast -g 2
media raw.y4m 2a -frames:v 3 -pix_fmt yuv420p
media mjpeg.avi 3b -frames:v 3 -c:v mjpeg
media rgba.png 04 -frames:v 1 -pix_fmt rgba
media half.exr 05 -frames:v 1 -pix_fmt gbrapf32le -c:v exr
media rgb16.tif 06 -frames:v 1 -pix_fmt rgb48le
# No DPX seed: the fuzzer skips DPX content (see media_reader_fuzzer.cpp); this PNG named .dpx
# goes through OpenImageIO's search for a reader that takes it.
media png-named.dpx 07 -frames:v 1 -pix_fmt rgb24 -f image2 -c:v png
