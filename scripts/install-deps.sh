#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# dpkg-dev and file let CPack compute the package's dependencies; lintian is
# the test that the package passes Debian's checks.
# `install-deps.sh fuzz` adds clang and its libFuzzer run-time for `make fuzz`,
# `install-deps.sh mutants` the Python that runs `make mutants`.
set -euo pipefail
packages=(
  g++ cmake ninja-build make pkg-config
  libx11-dev libgl-dev libgl1 libgl1-mesa-dri libglx-mesa0 libglu1-mesa
  libgtest-dev libpng-dev
  xvfb xauth x11-utils xdotool faketime
  dpkg-dev file lintian
  # The servers players have: a compositor's XWayland, a window manager with
  # a terminal window.
  weston xwayland openbox xterm
)
if [ "${1:-}" = fuzz ]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi
if [ "${1:-}" = mutants ]; then
  packages+=(python3)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
