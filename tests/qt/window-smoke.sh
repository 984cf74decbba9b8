#!/usr/bin/env bash
# The real window under Xvfb, driven with xdotool: it shows centred at its size, "生成" writes the
# empty schematic through the real save dialog, closing exits with 0, and a session without a
# locale or a runtime folder hears nothing about either; without Colors.txt only the error box
# shows and the exit code is still 0.
# usage: window-smoke.sh TESSELBOX SEND_CLOSE COLORS_TXT
set -uo pipefail
tesselbox=$1 send_close=$2 colors=$3

for tool in Xvfb xdotool xprop; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
started=()  # only what this script started is stopped
cleanup() {
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; exit 1; }

# Xvfb picks a free display number itself and writes it once it is ready.
# -noreset: the server would otherwise reset when the first Tesselbox leaves, and refuse the next.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
started+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")" QT_QPA_PLATFORM=xcb

# window_type ID: NORMAL, DIALOG...: the first of the window's types, the others being fallbacks.
window_type() {
  xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | sed -n 's/.*= _NET_WM_WINDOW_TYPE_\([A-Z]*\).*/\1/p'
}

# wait_for_window TITLE TYPE: the id of the visible window with that title and window type
# (NORMAL or DIALOG), waiting up to 30 seconds.
wait_for_window() {
  local id
  for _ in $(seq 300); do
    for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
      if [ "$(window_type "$id")" = "$2" ]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}

# wait_for_exit PID: its exit code, or fails after 30 seconds.
wait_for_exit() {
  for _ in $(seq 300); do
    kill -0 "$1" 2>/dev/null || { wait "$1"; return $?; }
    sleep 0.1
  done
  fail "Tesselbox did not exit"
}

# ---- with a color table: show, generate, close; started as a session without a locale or a ----
# runtime folder (a plain X server): Qt then makes its own runtime folder under TMPDIR.
mkdir "$work/run" "$work/tmp" && cp "$colors" "$work/run/Colors.txt"
(cd "$work/run" && exec env -u LC_ALL -u LC_CTYPE -u LANG -u XDG_RUNTIME_DIR TMPDIR="$work/tmp" \
   "$tesselbox" 2>"$work/run.err") &
app=$!
started+=($app)
window=$(wait_for_window Tesselbox NORMAL) || fail "no main window"
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$WIDTH" = 648 ] && [ "$HEIGHT" = 378 ] || fail "main window is ${WIDTH}x$HEIGHT, not 648x378"
[ "$X" = $((1280 / 2 - 327)) ] && [ "$Y" = $((1024 / 2 - 206)) ] || fail "main window at $X,$Y"
xprop -id "$window" WM_NORMAL_HINTS | grep -q "minimum size: 648 by 378" &&
  xprop -id "$window" WM_NORMAL_HINTS | grep -q "maximum size: 648 by 378" ||
  fail "the window can be resized"
echo "ok: the main window shows, 648x378 at $X,$Y, fixed size"

# The folder that mktemp made has a dot in its name: the typed name still gets ".schematic".
xdotool mousemove --window "$window" $((332 + 50)) $((332 + 15)) click 1
dialog=$(wait_for_window "Save As" DIALOG) || fail "no save dialog after clicking 生成"
xdotool windowfocus --sync "$dialog"
xdotool type --delay 10 "$work/run/empty"
xdotool key Return
for _ in $(seq 300); do [ -s "$work/run/empty.schematic" ] && break; sleep 0.1; done
size=$(stat -c %s "$work/run/empty.schematic" 2>/dev/null || echo none)
[ "$size" = 124 ] || fail "empty.schematic has $size bytes, not 124"
echo "ok: 生成 wrote the empty schematic, 124 bytes"

"$send_close" "$window" || fail "cannot ask the window to close"
wait_for_exit "$app"
code=$?
[ "$code" = 0 ] || fail "exit code $code after closing; its standard error:
$(cat "$work/run.err")"
echo "ok: closed, exit code 0"
if grep -i -E 'locale|XDG_RUNTIME_DIR' "$work/run.err"; then
  fail "without a locale or a runtime folder the window complains about it"
fi
echo "ok: without a locale or a runtime folder the window says nothing about them"

# ---- without Colors.txt: only the error box, exit code 0 ----
mkdir "$work/empty"
(cd "$work/empty" && exec "$tesselbox") &
app=$!
started+=($app)
box=$(wait_for_window Tesselbox DIALOG) || fail "no error box without Colors.txt"
for id in $(xdotool search --onlyvisible --name '^Tesselbox$'); do
  [ "$(window_type "$id")" = NORMAL ] && fail "a main window shows beside the error box"
done
xdotool windowfocus --sync "$box"
xdotool key Return
wait_for_exit "$app"
code=$?
[ "$code" = 0 ] || fail "exit code $code after the error box"
echo "ok: without Colors.txt only the error box showed, exit code 0"
