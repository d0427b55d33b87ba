#!/bin/sh
# Runs the designer's end-to-end driver on a virtual X server and keeps its screenshots.
# Usage: designer_x11.sh <driver> <screenshot folder>. Exits 77 (skipped) without Xvfb.
set -eu
driver=$1
shots=$2
command -v xvfb-run >/dev/null 2>&1 || { echo "no xvfb-run: skipped"; exit 77; }
command -v import >/dev/null 2>&1 || { echo "no import: skipped"; exit 77; }
mkdir -p "$shots"
export PELLORAN_SHOT_DIR="$shots"
export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x900x24" "$driver"
ls "$shots"
