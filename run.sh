#!/usr/bin/env bash
# Installs what is missing, builds, makes the tunes once, and starts the music disk from the
# folder that holds tunes/.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
if [ ! -d tunes ] && [ -x build/tools/tunegen/tunegen ]; then
  echo "Making the tunes (once)..."
  build/tools/tunegen/tunegen tunes
fi
exec build/kqdisk
