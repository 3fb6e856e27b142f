#!/usr/bin/env bash
# Installs the Debian packages the project builds and runs with. Idempotent: when every
# package is present it touches nothing, so it is cheap to run before every build.
# Usage: scripts/install-deps.sh [bench]   (bench: also what the benchmarks compare against)
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libglew-dev libegl-dev libegl1-mesa-dev libgl1-mesa-dri libopengl-dev
  libgtest-dev libbenchmark-dev
  glslang-tools
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg
  libopenimageio-dev libcli11-dev nlohmann-json3-dev
)
# OpenCV is only a yardstick for the flow benchmark; users of the tool never need it.
[ "${1:-}" = bench ] && packages+=(libopencv-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo_cmd apt-get update -qq
$sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
