# Animated fixture with transparency, offsets and every disposal method, and its coalesced frames
# over the background #C08040 at 1x and 2x, as ImageMagick composes them.
convert -dispose none -delay 10 \( -size 12x10 xc:'#204080' -alpha set -fill none -draw 'color 9,7 point' -draw 'color 10,7 point' -draw 'color 0,0 point' \) \
  -dispose background -delay 20 -page +2+1 \( -size 5x4 xc:none -fill '#ff0000' -draw 'rectangle 0,0 3,2' \) \
  -dispose previous -delay 30 -page +6+4 \( -size 4x5 xc:'#00ff00' -fill none -draw 'color 1,1 point' \) \
  -dispose none -delay 5 -page +1+5 \( -size 6x3 xc:none -fill '#ffff00' -draw 'rectangle 0,0 5,0' -fill '#ff00ff' -draw 'point 2,2' \) \
  -dispose previous -delay 7 -page +0+0 \( -size 3x3 xc:none -fill '#ffffff' -draw 'point 1,1' \) \
  -dispose none -delay 9 -page +8+0 \( -size 4x4 xc:'#000000' \) \
  -loop 0 paint_disposal.gif
convert paint_disposal.gif -coalesce -background '#C08040' -alpha remove -alpha off -depth 8 paint_disposal_1x_%d.ppm
convert paint_disposal.gif -coalesce -background '#C08040' -alpha remove -alpha off -scale 200% -depth 8 paint_disposal_2x_%d.ppm
