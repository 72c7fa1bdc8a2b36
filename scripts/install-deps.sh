#!/usr/bin/env bash
# Installs the Debian 12 packages that a task needs; does nothing when they
# are all present already. Usage: install-deps.sh build|test|bench|screenshot...
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev fonts-ipafont-gothic)
for task in "$@"; do
  case "$task" in
    build) ;;
    test) packages+=(libgtest-dev libgmock-dev) ;;
    bench) packages+=(libbenchmark-dev hyperfine time) ;;
    screenshot) packages+=(xvfb xauth imagemagick x11-apps xdotool) ;;
    *) echo "install-deps.sh: unknown task '$task'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
