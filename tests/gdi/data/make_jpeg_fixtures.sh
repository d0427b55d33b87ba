#!/bin/sh
# Makes the JPEG fixtures of the gdi tests and their reference decodings with libjpeg's own tools.
# Run from this folder: sh make_jpeg_fixtures.sh
set -e
cd jpeg
# A 37 x 23 colour picture with gradients and edges (odd sizes exercise partial MCUs).
/usr/bin/python3 - <<'PY'
w, h = 37, 23
with open("source.ppm", "wb") as f:
    f.write(b"P6\n%d %d\n255\n" % (w, h))
    for y in range(h):
        for x in range(w):
            f.write(bytes([(x * 7) % 256, (y * 11) % 256, 255 if (x // 6 + y // 5) % 2 else 30]))
PY
cjpeg -quality 85 source.ppm > colour.jpg
cjpeg -quality 60 -sample 1x1 source.ppm > colour444.jpg
cjpeg -quality 85 -progressive source.ppm > progressive.jpg
cjpeg -quality 90 -grayscale source.ppm > gray.jpg
djpeg -ppm colour.jpg > colour.ppm
djpeg -ppm colour444.jpg > colour444.ppm
djpeg -ppm progressive.jpg > progressive.ppm
djpeg -pnm gray.jpg > gray.pgm
djpeg -grayscale -pnm colour.jpg > colour_as_gray.pgm
djpeg -scale 1/2 -ppm colour.jpg > colour_half.ppm
rm source.ppm
# The encoder's reference: cjpeg at quality 75 from djpeg's decoding of colour.jpg.
cjpeg -quality 75 colour.ppm > colour_q75.jpg
# A seed for the fuzzer that passes the scan limit: progressive.jpg with its last scan (and the table
# before it) repeated until the file has 120 scans.
/usr/bin/python3 - <<'PY'
data = open("progressive.jpg", "rb").read()
def segment_end(at):
    return at + 2 + (data[at + 2] << 8 | data[at + 3])
pos, starts = 2, []
while data[pos + 1] != 0xD9:
    if data[pos + 1] == 0xDA:
        pos = segment_end(pos)
        while not (data[pos] == 0xFF and data[pos + 1] != 0 and not 0xD0 <= data[pos + 1] <= 0xD7):
            pos += 1
        starts.append(pos)
    else:
        pos = segment_end(pos)
last = data[starts[-2]:starts[-1]]
with open("scans.jpg", "wb") as f:
    f.write(data[:pos] + last * (120 - len(starts)) + data[pos:])
PY
