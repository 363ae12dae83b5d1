#!/usr/bin/env bash
# Installs what is missing on a Debian 12 machine, then configures and builds
# (Release) into ./build. Run by run.sh (what building, running and packaging
# need) and by test.sh with --tests (also the test suite, the checking build
# and the validators it uses).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-image-formats-plugins
          libpng-dev libjpeg62-turbo-dev libturbojpeg0-dev fonts-liberation2
          dpkg-dev file)  # cpack -G DEB: dependencies from the binaries
testing=OFF
if [ "${1:-}" = --tests ]; then
  testing=ON
  packages+=(libgtest-dev libbenchmark-dev xvfb xauth python3
             desktop-file-utils appstream man-db bash-completion
             clang-14 libclang-rt-14-dev
             locales)  # locale sources: a settings test builds a German locale
fi
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

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=$testing
cmake --build build
