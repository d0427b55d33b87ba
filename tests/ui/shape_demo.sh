#!/bin/sh
# Shows the shape demo (a borderless form cut to an ellipse, with a button) on a virtual X server and checks
# the window's shape there: its shape extents by `xwininfo -shape`, and on a screenshot that the corners cut
# away by the region show the root window while the ellipse and the button show the form.
# With a second argument (a tool that sends real X input), it then drags the window by its face and checks
# on the server that the window moved with the mouse.
# Skipped (exit 77) when Xvfb or the X tools are missing.
demo="$1"
fake="${2:-}"
for tool in xvfb-run xwininfo import convert; do
  command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is missing"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/inner.sh" <<INNER
QT_QPA_PLATFORM=xcb "$demo" 6000 > "$work/id" 2>"$work/err" &
pid=\$!
for i in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
  [ -s "$work/id" ] && break
  sleep 0.25
done
sleep 0.5
id=\$(head -1 "$work/id")
xwininfo -shape -id "\$id" > "$work/info" 2>&1
import -window root "$work/shot.png"
if [ -n "$fake" ]; then
  "$fake" move 250 120 sleep 100 press 1 sleep 100 move 260 130 sleep 50 move 280 150 sleep 50 move 300 170 sleep 100 release 1 sleep 300
  xwininfo -id "\$id" > "$work/moved" 2>&1
fi
kill \$pid 2>/dev/null
wait \$pid 2>/dev/null
exit 0
INNER
# Its own range of display numbers: servers started side by side by other tests do not race for one.
xvfb-run -a -n 115 -s "-screen 0 640x480x24" sh "$work/inner.sh"
cat "$work/info"
fail=0
grep -q "Window shape extents:  300x200+0+0" "$work/info" || { echo "FAIL: shape extents"; fail=1; }
pixel() { convert "$work/shot.png" -format "%[hex:p{$1,$2}]" info: | cut -c1-6; }
# The form lies at (100, 80), 300 x 200; the ellipse is inscribed in it.
check() {
  got=$(pixel "$1" "$2")
  if [ "$3" = "form" ]; then [ "$got" = "000080" ] || { echo "FAIL: ($1,$2) is $got, not the form's navy"; fail=1; }
  elif [ "$3" = "root" ]; then [ "$got" = "000000" ] || { echo "FAIL: ($1,$2) is $got, not the root window"; fail=1; }
  else { [ "$got" != "000080" ] && [ "$got" != "000000" ]; } || { echo "FAIL: ($1,$2) is $got, not the button"; fail=1; }
  fi
}
check 103 83 root     # top-left corner cut away
check 396 276 root    # bottom-right corner cut away
check 398 82 root     # top-right corner cut away
check 250 110 form    # inside the ellipse
check 102 180 form    # near the left end of the ellipse
check 250 85 form     # near its top
check 250 180 button  # the button in the middle
[ $fail = 0 ] && echo "shape on the X server matches the elliptic region"
if [ -n "$fake" ]; then
  # Dragged from (250, 120) to (300, 170): the window follows by (50, 50).
  grep -q "Absolute upper-left X:  150" "$work/moved" && grep -q "Absolute upper-left Y:  130" "$work/moved" ||
    { echo "FAIL: the window did not follow the drag"; grep "Absolute" "$work/moved"; fail=1; }
  [ $fail = 0 ] && echo "dragging the face moved the window with the mouse"
fi
exit $fail
