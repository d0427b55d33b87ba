#!/bin/sh
# Runs the flows of one program on a virtual X server of its own and keeps the screenshots.
# Usage: flows_x11.sh <flow driver> <gtest filter> <screenshot folder> [first display number]
#        [window manager]
# Servers started side by side look for a free display number from different places, so that they do
# not both take the same one.
set -eu
driver=$1
filter=$2
shots=$3
display=${4:-99}
mkdir -p "$shots"
rm -f "$shots"/*.png
export PELLORAN_SHOT_DIR="$shots"
export QT_QPA_PLATFORM=xcb QTWEBENGINE_DISABLE_SANDBOX=1
wm=${5:-}
if [ -z "$wm" ]; then
  # No window manager: the programs' windows are borderless and move and size themselves.
  exec xvfb-run -a -n "$display" -s "-screen 0 1280x1024x24 -br" "$driver" --gtest_filter="$filter"
fi
# The window manager runs beside the flows, which wait until it has announced itself.
export PELLORAN_FLOWS_WM="$wm"
exec xvfb-run -a -n "$display" -s "-screen 0 1280x1024x24 -br" sh -c \
  '"$1" >/dev/null 2>&1 & wm=$!; shift; "$@"; rc=$?; kill $wm; exit $rc' sh "$wm" "$driver" --gtest_filter="$filter"
