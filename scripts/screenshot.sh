#!/usr/bin/env bash
# Starts the real window under Xvfb on a small fixture tree, presses Start and
# writes a screenshot of the screen.
# Usage: screenshot.sh [OUTPUT.png]   (default: build/screenshot.png)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build/screenshot.png}")
cd "$root"

bash scripts/install-deps.sh screenshot
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORLEX_GUI=ON
cmake --build build -j "$(nproc)" --target vorlex
mkdir -p "$(dirname "$out")"

# The drive: a few files that share names, one of them Japanese.
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/Data/Old" "$tree/写真" "$tree/Music"
head -c 2048 /dev/zero >"$tree/readme.txt"
head -c 100 /dev/zero >"$tree/Data/readme.txt"
head -c 5000 /dev/zero >"$tree/Data/Old/readme.txt"
: >"$tree/写真/旅行メモ.txt"
: >"$tree/Data/旅行メモ.txt"
: >"$tree/Music/song.mp3"
: >"$tree/Data/Old/song.mp3"
: >"$tree/unique.dat"

# One X session: start the window, wait for it, press Alt+S, wait until the
# labels have their text, grab the screen. The window is found by its
# program name (its class), which xdotool matches without Unicode trouble.
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
  set -euo pipefail
  "$1" --drive "$2" &
  pid=$!
  for _ in $(seq 100); do
    win=$(xdotool search --classname vorlex 2>/dev/null | head -n 1 || true)
    [[ -n "$win" ]] && break
    sleep 0.1
  done
  if [[ -z "${win:-}" ]]; then echo "screenshot.sh: the window did not appear" >&2; exit 1; fi
  sleep 1
  # Xvfb runs no window manager: give the window the keyboard directly.
  xdotool windowfocus --sync "$win"
  xdotool key alt+s
  sleep 2
  import -window root "$3"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
' screenshot "$root/build/vorlex" "$tree" "$out"

echo "screenshot.sh: wrote $out"
