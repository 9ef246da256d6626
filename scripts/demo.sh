#!/usr/bin/env bash
# The main job: installs what is missing, builds the updater and shows what it
# would write, by unpacking the two payloads it carries into build/demo/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh
cmake --workflow --preset windows >/dev/null
cmake --preset host >/dev/null && cmake --build --preset host --target payload >/dev/null

out=build/demo
mkdir -p "$out"
for name in md_scr2.med readme.txt; do
  build/host/tools/payload/payload unpack "resources/$name.payload" "$out/$name"
done
echo "updater: build/windows/app/updater.exe ($(stat -c %s build/windows/app/updater.exe) bytes)"
(cd "$out" && sha256sum md_scr2.med readme.txt)
