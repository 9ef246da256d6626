#!/usr/bin/env bash
# Builds the updater twice from the same sources in two different folders and
# compares the bytes: no timestamp or build path may reach the binary.
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for copy in first second/deeper; do
  cmake --preset windows -S "$src" -B "$work/$copy" >/dev/null
  cmake --build "$work/$copy" --target updater >/dev/null
done
sha256sum "$work/first/app/updater.exe" "$work/second/deeper/app/updater.exe"
cmp "$work/first/app/updater.exe" "$work/second/deeper/app/updater.exe"
