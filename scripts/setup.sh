#!/usr/bin/env bash
# Installs what is missing on a Debian 12 machine, then configures and builds
# (Release) into ./build. Sourced by run.sh and test.sh.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-image-formats-plugins
          libturbojpeg0-dev libgtest-dev libbenchmark-dev fonts-liberation2 xvfb xauth
          dpkg-dev file python3 desktop-file-utils appstream man-db bash-completion
          clang-14 libclang-rt-14-dev
          locales)  # locale sources: a settings test builds a German locale
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
