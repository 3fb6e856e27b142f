#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the `ruvovav` tool through our
# Kestrel host. Without arguments it runs the built-in default, `ruvovav demo`: a generated
# noisy clip denoised with the automatic analysis, with the PSNR gain printed. Arguments go
# to the tool instead (bash scripts/run.sh denoise my.mov -o clean.mov).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir="$(scripts/build.sh release | tail -n 1)"
[ $# -eq 0 ] && set -- demo --output-dir out/demo
exec "$dir/ruvovav" "$@"
