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

exec "$bin/tunora" "$@"
