#!/usr/bin/env bash
# Photographs the options dialog under Wine for a person to look at:
#   options_dialog_screenshot.sh <wine-run> <murmuro_options_dialog_show.exe> <out.png>
# Fails when the dialog does not appear or the picture is not the window's size or is blank.
set -uo pipefail
emulator="$1" exe="$2" out="$3"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../scripts/lib/wine.sh
source "$here/../../../scripts/lib/wine.sh"
command -v import >/dev/null || { echo "ImageMagick's import is missing" >&2; exit 1; }

work="$(mktemp -d)"
pid=""
cleanup() {
  touch "$work/done"
  [ -n "$pid" ] && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$emulator" "$exe" "$(murmuro_wine_path "$work/rect")" "$(murmuro_wine_path "$work/done")" &
pid=$!
for _ in $(seq 1 1200); do
  [ -s "$work/rect" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/rect" ] || { echo "the dialog did not come up" >&2; exit 1; }
read -r left top right bottom display < <(tr -d "\r" <"$work/rect")
width=$((right - left)) height=$((bottom - top))
echo "dialog at ${left},${top} size ${width}x${height} on ${display}"

mkdir -p "$(dirname "$out")"
import -display "$display" -window root -crop "${width}x${height}+${left}+${top}" +repage "$out" || exit 1
touch "$work/done"
wait "$pid"
status=$?
pid=""
[ "$status" -eq 0 ] || { echo "the dialog program ended with $status" >&2; exit 1; }

size="$(identify -format '%w %h' "$out")"
[ "$size" = "$width $height" ] || { echo "picture is $size, the window ${width}x${height}" >&2; exit 1; }
colours="$(identify -format '%k' "$out")"
[ "$colours" -gt 8 ] || { echo "picture has only $colours colours: nothing drawn" >&2; exit 1; }
echo "saved $out ($colours colours)"
