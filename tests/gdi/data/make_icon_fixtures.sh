#!/bin/sh
# Makes the icon fixtures of the gdi tests with ImageMagick: a 16 x 16 icon with a transparent
# background, a red square (2..7, 2..7) and a blue one (9..13, 9..13), and its pixels as ImageMagick
# decodes them (RGBA, 8 bits). Run from this folder: sh make_icon_fixtures.sh
set -e
cd icon
convert -size 16x16 xc:none -fill red -draw "rectangle 2,2 7,7" -fill blue -draw "rectangle 9,9 13,13" \
  squares.ico
convert -size 16x16 xc:none -fill red -draw "rectangle 2,2 7,7" -fill blue -draw "rectangle 9,9 13,13" \
  -depth 8 RGBA:squares.rgba
