#!/usr/bin/env bash
# The main job, as far as it is built: see README.md.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
if [ ! -f build/win64/bin/Ostrel.exe ]; then
  echo "The update wizard (Ostrel.exe) is not built yet; nothing to demonstrate beyond ./dev test."
  exit 0
fi
