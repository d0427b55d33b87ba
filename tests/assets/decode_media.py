"""Reads every generated picture and sound with an independent decoder (Pillow, Python's wave module).

usage: decode_media.py <application folder> <sample folder>
Prints "N passed, N failed" and exits non-zero when a file does not decode as expected.
"""
import os
import sys
import wave

from PIL import Image

passed, failed = 0, 0


def check(ok, what):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print("FAILED:", what)


for root in sys.argv[1:3]:
    for folder, _, files in os.walk(root):
        for name in sorted(files):
            path = os.path.join(folder, name)
            ext = os.path.splitext(name)[1].lower()
            try:
                if ext == ".bmp":
                    with Image.open(path) as img:
                        check(img.format == "BMP" and img.mode == "RGB", path + " is a 24-bit BMP")
                        img.load()
                        check(img.width > 0 and img.height > 0, path + " has pixels")
                elif ext == ".gif":
                    with Image.open(path) as img:
                        img.load()
                        twin = os.path.splitext(path)[0] + ".bmp"
                        if os.path.exists(twin):
                            with Image.open(twin) as bmp:
                                check(list(img.convert("RGB").getdata()) == list(bmp.convert("RGB").getdata()),
                                      path + " shows the same picture as " + twin)
                        check(img.format == "GIF", path + " is a GIF")
                elif ext == ".wav":
                    with wave.open(path) as w:
                        check(w.getsampwidth() in (1, 2) and w.getnchannels() in (1, 2), path + " is PCM")
                        check(0 < w.getnframes() / w.getframerate() < 1.0, path + " is under a second")
            except Exception as e:  # a decoder failure is a failed check
                check(False, "%s: %s" % (path, e))

print("%d passed, %d failed" % (passed, failed))
sys.exit(1 if failed or passed == 0 else 0)
