#!/usr/bin/env bash
# Installs the Debian 12 packages the build, tests and example need, when
# any is missing. Run as root (or with sudo available).
set -euo pipefail

packages=(
  g++ cmake make pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libgl1-mesa-dev libglu1-mesa-dev libegl-dev libegl1-mesa-dev libgl1-mesa-dri
  libz-mingw-w64
  libegl-mesa0  # Mesa's EGL: the display tests' surfaceless software-rendered context
  # The example: OBJ/MTL scenes, PNG/JPEG textures, JSON scene files,
  # maps and PNGs drawn by cairo in real type.
  libtinyobjloader-dev libstb-dev nlohmann-json3-dev libcairo2-dev fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
