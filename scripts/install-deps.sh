#!/usr/bin/env bash
# Installs the Debian packages the project builds and runs with. Idempotent: when every
# package is present it touches nothing, so it is cheap to run before every build.
# Usage: scripts/install-deps.sh [bench] [fuzz]
#   bench: also what the benchmarks compare against; fuzz: clang's libFuzzer for scripts/fuzz.sh
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libglew-dev libegl-dev libegl1-mesa-dev libgl1-mesa-dri libopengl-dev
  libgtest-dev libbenchmark-dev
  glslang-tools
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
  libopenimageio-dev libcli11-dev nlohmann-json3-dev
  frei0r-plugins-dev melt gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-bad
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-good
)
for group in "$@"; do
  case "$group" in
    # OpenCV is only a yardstick for the flow benchmark; users of the tool never need it.
    bench) packages+=(libopencv-dev) ;;
    # The fuzzer runtimes are only recommended by clang, so they are named; llvm brings the
    # symbolizer that makes crash reports readable.
    fuzz) packages+=(clang libclang-rt-14-dev llvm) ;;
    *) echo "unknown group: $group" >&2; exit 2 ;;
  esac
done

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
