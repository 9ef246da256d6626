#!/usr/bin/env bash
# Packs the two files that the updater carries into the payloads it is built with:
#   resources/payload-src/md_scr2.med  ->  resources/md_scr2.med.payload
#   resources/payload-src/readme.txt   ->  resources/readme.txt.payload
# and unpacks each payload again to check that it gives back its file byte for byte.
# Uses build/host's payload tool, building it first when it is missing;
# PAYLOAD=/path/to/payload picks another one.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

tool=${PAYLOAD:-build/host/tools/payload/payload}
if [[ ! -x $tool ]]; then
  cmake --preset host >/dev/null
  cmake --build --preset host --target payload >/dev/null
fi

check=$(mktemp)
trap 'rm -f "$check"' EXIT
for name in md_scr2.med readme.txt; do
  src=resources/payload-src/$name
  out=resources/$name.payload
  "$tool" pack "$src" "$out"
  "$tool" unpack "$out" "$check"
  cmp "$src" "$check"
  echo "$out: $(stat -c %s "$src") bytes packed into $(stat -c %s "$out")"
done
