#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with.
# apt-get runs only when a package is missing, so a second run is quick and needs no network.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev libssl-dev libinih-dev
  qt6-base-dev qt6-svg-dev libgl-dev libmpv-dev
  clang libclang-rt-14-dev
  ffmpeg xvfb xauth libx11-dev
  # installing and packaging: icons drawn from SVG, the package's dependencies, desktop checks
  librsvg2-bin dpkg-dev file desktop-file-utils appstream
  # Wayland: Qt's platform plug-in, and a compositor with a headless back end for the checks
  qt6-wayland weston
  # screenshots of the windows (scripts/*-screenshots.sh)
  imagemagick xdotool
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
