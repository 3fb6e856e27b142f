#!/usr/bin/env bash
# The main job on its built-in default: installs what is missing, builds, and runs the
# `ruvovav` tool through our Kestrel host. Extra arguments go to the tool.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
dir="$(scripts/build.sh release | tail -n 1)"
exec "$dir/ruvovav" "$@"
