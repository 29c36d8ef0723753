#!/usr/bin/env bash
# Builds Tunora, registers the simulated receiver with its demo air and starts the program.
# Without a display it runs headless (Qt's offscreen platform): stop it with Ctrl+C.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUNORA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

bin="$PWD/$build/bin"
sudo=""
classes="${TUNORA_CLASSES_HIVE:-$(dirname "${TUNORA_MACHINE_HIVE:-/etc/xdg/Tunora/Tunora.conf}")/classes.conf}"
if [ "$(id -u)" -ne 0 ] && ! { mkdir -p "$(dirname "$classes")" 2>/dev/null && [ -w "$(dirname "$classes")" ]; }; then
  sudo="sudo --preserve-env=TUNORA_CLASSES_HIVE,TUNORA_MACHINE_HIVE"
fi
if [ -x "$bin/tunora-register-receiver" ]; then
  $sudo "$bin/tunora-register-receiver" "$bin/libviadab_sim.so"
fi

# Without a display nobody can answer the empty-table question: a first run scans the demo air
# headless (the scan window's own scan; tables that already hold services are left alone) and
# then plays its first service.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ $# -eq 0 ] && "$bin/tunora-scan" --first-run; then
  set -- PLAY '$C2A1'
fi

exec "$bin/tunora" "$@"
