#!/usr/bin/env bash
# The main job: installs what is missing, builds the updater, prepares a demo
# installation of the game in the private Wine prefix (old files, and the registry
# value pointing at them), runs the updater on it and prints what changed.
#
# With a DISPLAY the updater opens there for you to press its button. Without one
# it runs on a private Xvfb, and this script presses Enter for you: once on the
# window (focus starts on the start button), once on the completion box.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/setup.sh
interactive=${DISPLAY:+yes}
source scripts/display.sh

echo "== building the updater"
cmake --preset windows >/dev/null
cmake --build --preset windows --target updater >/dev/null
echo "   shipped (i686): build/windows/app/updater.exe, $(stat -c %s build/windows/app/updater.exe) bytes"
# This machine cannot run 32-bit x86 code; the same sources built for x86_64 run here.
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 --target updater >/dev/null
updater=build/windows-x64/app/updater.exe
prefix=build/windows-x64/wineprefix
wine_run() { scripts/wine-run --prefix "$prefix" "$@"; }
# The payload tool, to compare the written files with what the payloads decode to.
cmake --preset host >/dev/null
cmake --build --preset host --target payload >/dev/null

echo "== a demo installation"
game="$prefix/drive_c/Games/ミルカナード"
mkdir -p "$game"
printf 'old scenario data\r\n' >"$game/md_scr2.med"
printf 'old index\r\n' >"$game/md_scr2.mbl"
printf 'old readme\r\n' >"$game/readme.txt"
wine_run reg add 'HKCU\Software\KESTRAVO\ミルカナード' /v GameDir /t REG_SZ /d 'C:\Games\ミルカナード\' /f >/dev/null 2>&1
show() { (cd "$game" && for f in md_scr2.mbl md_scr2.med readme.txt; do
  if [[ -f $f ]]; then printf '   %-12s %6d bytes  %s\n' "$f" "$(stat -c %s "$f")" "$(sha256sum <"$f" | cut -c1-16)"
  else printf '   %-12s (none)\n' "$f"; fi; done); }
echo "   C:\\Games\\ミルカナード\\ (${game}) before:"
show

echo "== running the updater"
wine_run "$updater" &
pid=$!
if [[ -z $interactive ]]; then
  press_enter_on() {  # waits up to 30 s for a window with this title, then presses Enter on it
    for _ in $(seq 300); do
      if window=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1) && [[ -n $window ]]; then
        sleep 0.5
        xdotool windowactivate "$window" 2>/dev/null || true
        xdotool key --clearmodifiers Return
        echo "   pressed Enter on \"$1\""
        return 0
      fi
      sleep 0.1
    done
    echo "   no window \"$1\" appeared" >&2
    return 1
  }
  press_enter_on "アップデーター"
  press_enter_on "情報"
fi
set +e
wait "$pid"
code=$?
set -e
echo "   the updater ended with exit code $code"

echo "== after:"
show
for name in md_scr2.med readme.txt; do
  build/host/tools/payload/payload unpack "resources/$name.payload" "/tmp/rqx-demo-$name" 2>/dev/null &&
    cmp -s "/tmp/rqx-demo-$name" "$game/$name" && echo "   $name equals its payload's decoded bytes"
done
exit "$code"
