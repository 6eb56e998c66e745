#!/usr/bin/env bash
# Installs every Debian package the project needs and builds it into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake ninja-build pkg-config git \
  zlib1g-dev libsqlite3-dev libzip-dev nlohmann-json3-dev libsystemd-dev \
  qt6-base-dev qt6-base-dev-tools \
  libgtest-dev libgmock-dev libbenchmark-dev \
  clang libclang-rt-14-dev \
  tzdata zip unzip 7zip rsync unison \
  xvfb xauth openbox trayer xdotool imagemagick dbus-x11 python3-dbusmock libglib2.0-bin >/dev/null

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DDRIVLET_BUILD_TESTS=OFF -DDRIVLET_BUILD_BENCH=OFF
cmake --build build -j2
