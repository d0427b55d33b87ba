#!/bin/sh
# The runtime program on a real X server: started in a copy of the sample browser folder under another
# name, its window is titled after that name, takes the skin's outline as its X shape and shows the
# local start page in its web area.
# Usage: browser_x11.sh <Builder> <sample folder>. Exits 77 (skipped) without Xvfb or the X and
# ImageMagick tools.
set -eu
builder=$1
sample=$2
for tool in xvfb-run xwininfo import convert; do
  command -v $tool >/dev/null 2>&1 || { echo "no $tool: skipped"; exit 77; }
done
[ -f "$sample/Config.VX" ] || { echo "no sample folder at $sample"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$sample/." "$work/"
cp "$builder" "$work/MyBrowser"
cd "$work"
export QTWEBENGINE_DISABLE_SANDBOX=1
unset QT_QPA_PLATFORM
# Inside the X session: start the program, wait for its window to show (at most 60 s, while it runs),
# then for the start page (slow under the sanitizers: at most 30 s), and take the window's shape and a
# screenshot.
cat >session.sh <<'SESSION'
./MyBrowser >builder.log 2>&1 & pid=$!
id=""
for i in $(seq 1 600); do
  id=$(xwininfo -root -tree | awk '/"Mybrowser": \(/ {print $1; exit}')
  # Named before it is shown: its shape and place are taken once the server shows it.
  [ -n "$id" ] && xwininfo -id "$id" | grep -q IsViewable && break
  id=""
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
if [ -n "$id" ]; then
  xwininfo -shape -id "$id" >shape.txt
  x=$(awk '/Absolute upper-left X/ {print $4}' shape.txt)
  y=$(awk '/Absolute upper-left Y/ {print $4}' shape.txt)
  w=$(awk '/^  Width/ {print $2}' shape.txt)
  h=$(awk '/^  Height/ {print $2}' shape.txt)
  for i in $(seq 1 30); do
    sleep 1
    import -window root shot.png
    page=$(convert shot.png -format "%[fx:p{$((x + w / 2)),$((y + h * 3 / 4))}.r > p{$((x + w / 2)),$((y + h * 3 / 4))}.b]" info:)
    [ "$page" = 1 ] && break
  done
else
  import -window root shot.png
fi
kill $pid 2>/dev/null; wait $pid 2>/dev/null || true
SESSION
# Its own range of display numbers: servers started side by side by other tests do not race for one.
xvfb-run -a -n 110 -e xvfb.log -s "-screen 0 1280x1024x24 -br" sh session.sh
[ -f shape.txt ] || { echo "FAIL: no window"; cat builder.log; echo "X server:"; cat xvfb.log; exit 1; }
cat shape.txt
grep -q '"Mybrowser"' shape.txt || { echo "FAIL: the window is not titled after the program file"; exit 1; }
grep -q "Window shape extents" shape.txt || { echo "FAIL: the window has no X shape"; exit 1; }
x=$(awk '/Absolute upper-left X/ {print $4}' shape.txt)
y=$(awk '/Absolute upper-left Y/ {print $4}' shape.txt)
w=$(awk '/^  Width/ {print $2}' shape.txt)
h=$(awk '/^  Height/ {print $2}' shape.txt)
pixel() { convert shot.png -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:; }
# The root window is black (-br).
root="0,0,0"
# Between the two button pods the skin is cut away: the root window shows through.
gap=$(pixel $((x + w / 2)) $((y + 4)))
# The skin's body beside the web area, and the start page in the middle of the web area.
body=$(pixel $((x + 6)) $((y + h / 2)))
page=$(pixel $((x + w / 2)) $((y + h * 3 / 4)))
echo "window ${w}x${h}+${x}+${y}: gap $gap, body $body, page $page"
[ "$gap" = "$root" ] || { echo "FAIL: the outline is not cut at the top"; exit 1; }
[ "$body" != "$root" ] || { echo "FAIL: the body is cut away"; exit 1; }
[ "$page" != "$root" ] || { echo "FAIL: no page in the web area"; exit 1; }
# The page's cream background (not the slate skin): red above blue.
r=${page%%,*}; b=${page##*,}
[ "$r" -gt "$b" ] || { echo "FAIL: the web area does not show the start page"; exit 1; }
echo "ok"
