#!/usr/bin/python3
"""Makes the GIF fixtures with independent encoders and records what independent decoders read.

Run from this folder with Debian's python3 (Pillow), ImageMagick and giflib-tools installed:
    /usr/bin/python3 make_fixtures.py
Every fixture is decoded by giflib (giftext) and by ImageMagick (every frame) and, for the first frame,
by Pillow. Only a fixture on which giflib agrees with the others is written to MANIFEST with its
expected colour indices (<name>.idx: the index bytes of every frame, frame after frame).
"""
import os
import random
import re
import subprocess
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
os.chdir(HERE)
COMMANDS = []  # (fixture, how it was made), written to COMMANDS.txt
EXPECTED_INDICES = {}  # fixture -> the indices its maker was given, where known


def run(cmd, fixture):
    COMMANDS.append((fixture, cmd))
    subprocess.run(cmd, shell=True, check=True)


def pillow(fixture, description, make):
    COMMANDS.append((fixture, "Pillow: " + description))
    make()


# ---- Inputs (deterministic) ----

def noise_png(path, w, h, colors, seed):
    COMMANDS.append((path, "input: noise_png(%r, %d, %d, %d, %d) in this script (seeded random palette and pixels)"
                     % (path, w, h, colors, seed)))
    rng = random.Random(seed)
    pal = [rng.randrange(256) for _ in range(colors * 3)]
    img = Image.new("P", (w, h))
    img.putpalette(pal + [0] * (768 - len(pal)))
    img.putdata([rng.randrange(colors) for _ in range(w * h)])
    img.convert("RGB").save(path)


def make_fixtures():
    # ImageMagick
    run("convert -size 64x48 gradient:red-blue -colors 64 +dither im_gradient.gif", "im_gradient.gif")
    for h in range(1, 10):
        noise_png("in_%d.png" % h, 13, h, 16, h)
        run("convert in_%d.png -interlace GIF im_interlaced_h%d.gif" % (h, h), "im_interlaced_h%d.gif" % h)
    noise_png("in_a.png", 40, 30, 200, 101)
    noise_png("in_b.png", 40, 30, 12, 102)
    noise_png("in_c.png", 40, 30, 3, 103)
    run("convert -delay 20 -loop 0 in_a.png in_b.png in_c.png im_anim_local.gif", "im_anim_local.gif")
    run("convert in_b.png -set comment 'made by ImageMagick' im_comment.gif", "im_comment.gif")

    # Pillow
    def pil_noise():
        rng = random.Random(5)
        img = Image.new("P", (300, 200))
        img.putpalette([rng.randrange(256) for _ in range(768)])
        img.putdata([rng.randrange(256) for _ in range(300 * 200)])
        img.save("pil_noise.gif")
    pillow("pil_noise.gif", "300x200 P image of 256-colour noise, save('pil_noise.gif')", pil_noise)

    def pil_interlaced():
        rng = random.Random(6)
        img = Image.new("P", (37, 29))
        img.putpalette([rng.randrange(256) for _ in range(96)] + [0] * 672)
        img.putdata([rng.randrange(32) for _ in range(37 * 29)])
        img.save("pil_interlaced.gif", interlace=True)
    pillow("pil_interlaced.gif", "37x29 P image of 32-colour noise, save(interlace=True)", pil_interlaced)

    def pil_anim():
        frames = []
        for i, colors in enumerate((4, 64, 2)):
            rng = random.Random(20 + i)
            img = Image.new("P", (24, 18))
            img.putpalette([rng.randrange(256) for _ in range(colors * 3)] + [0] * (768 - colors * 3))
            img.putdata([rng.randrange(colors) for _ in range(24 * 18)])
            frames.append(img)
        frames[0].save("pil_anim.gif", save_all=True, append_images=frames[1:], duration=[50, 70, 90], loop=3,
                       comment=b"Pillow comment", optimize=False, disposal=1)
    pillow("pil_anim.gif", "three 24x18 P frames of 4, 64, 2 colours, save_all, loop=3, comment, disposal=1",
           pil_anim)

    # giflib: gifbuild compiles a text description
    run("gifbuild gl_text.txt > gl_text.gif", "gl_text.gif")

    # giflib: interlaced pictures of heights 1 to 9 (ImageMagick 6.9.11 loses rows at heights 3 and 4)
    for h in range(1, 10):
        rng = random.Random(300 + h)
        rows = ["".join("0123456789abcdef"[rng.randrange(16)] for _ in range(7)) for _ in range(h)]
        desc = ["screen width 7", "screen height %d" % h, "screen colors 16", "screen map"]
        desc += ["\trgb %03d %03d %03d is %s" % (i * 16, 255 - i * 16, (i * 77) % 256, "0123456789abcdef"[i])
                 for i in range(16)]
        desc += ["end", "image", "image interlaced", "image bits 7 by %d" % h] + rows
        name = "gl_interlaced_h%d" % h
        open("/tmp/%s.txt" % name, "w").write("\n".join(desc) + "\n")
        run("gifbuild /tmp/%s.txt > %s.gif" % (name, name), name + ".gif")
        COMMANDS.append((name + ".gif", "description: " + " | ".join(desc)))
        EXPECTED_INDICES[name + ".gif"] = bytes(int(c, 16) for row in rows for c in row)

    # Re-chunked copies: the same data in 1-byte sub-blocks (a framing change only)
    for src in ("pil_noise.gif", "im_anim_local.gif", "pil_interlaced.gif"):
        dst = "rechunk1_" + src
        COMMANDS.append((dst, "rechunk(%s, 1): every data sub-block cut into 1-byte blocks (this script)" % src))
        rechunk(src, dst, 1)


def rechunk(src, dst, size):
    """Copies a GIF, cutting the sub-blocks of image data and extensions into blocks of `size` bytes."""
    d = open(src, "rb").read()
    out = bytearray(d[:13])
    p = 13
    if d[10] & 0x80:
        n = 3 * (2 << (d[10] & 7))
        out += d[p:p + n]
        p += n

    def blocks(p):
        data = bytearray()
        while d[p]:
            data += d[p + 1:p + 1 + d[p]]
            p += 1 + d[p]
        return data, p + 1

    def emit(data):
        for i in range(0, len(data), size):
            chunk = data[i:i + size]
            out.append(len(chunk))
            out.extend(chunk)
        out.append(0)

    while p < len(d):
        b = d[p]
        if b == 0x3B:
            out.append(b)
            break
        if b == 0x21:
            label = d[p + 1]
            out += d[p:p + 2]
            p += 2
            if label in (0xF9, 0x01, 0xFF):  # fixed first block kept as is
                out += d[p:p + 1 + d[p]]
                p += 1 + d[p]
            if label == 0xFE:
                data, p = blocks(p)
                emit(data)
            else:  # other extensions keep their sub-blocks as they are
                q = p
                while d[q]:
                    q += 1 + d[q]
                out += d[p:q + 1]
                p = q + 1
            continue
        if b == 0x2C:
            out += d[p:p + 10]
            flags = d[p + 9]
            p += 10
            if flags & 0x80:
                n = 3 * (2 << (flags & 7))
                out += d[p:p + n]
                p += n
            out.append(d[p])  # minimum code size
            data, p = blocks(p + 1)
            emit(data)
            continue
        raise SystemExit("unexpected block %#x in %s" % (b, src))
    open(dst, "wb").write(bytes(out))


# ---- Decoders ----

def giflib_decode(path):
    """Frames as (width, height, colour map, indices) from giflib (gifdump.c over DGifSlurp)."""
    out = subprocess.run(["/tmp/gifdump", path], capture_output=True, text=True, check=True).stdout.split("\n")
    frames = []
    for i in range(0, len(out) - 2, 3):
        w, h, n = map(int, out[i].split())
        colours = [tuple(bytes.fromhex(out[i + 1][6 * c:6 * c + 6])) for c in range(n)]
        frames.append((w, h, colours, bytes.fromhex(out[i + 2])))
    return frames


def rgb_of(frame):
    w, h, cmap, idx = frame
    return b"".join(bytes(cmap[i]) if i < len(cmap) else b"\0\0\0" for i in idx)


def imagemagick_rgb(path, index):
    return subprocess.run(["convert", "%s[%d]" % (path, index), "-depth", "8", "rgb:-"], capture_output=True,
                          check=True).stdout


def pillow_first(path):
    img = Image.open(path)
    img.seek(0)
    return bytes(img.getdata()) if img.mode == "P" else None


def main():
    subprocess.run("cc gifdump.c -lgif -o /tmp/gifdump", shell=True, check=True)
    make_fixtures()
    manifest = []
    for name in sorted(f for f in os.listdir(".") if f.endswith(".gif")):
        frames = giflib_decode(name)
        agree = all(rgb_of(f) == imagemagick_rgb(name, i) for i, f in enumerate(frames))
        first = pillow_first(name)
        if first is not None and first != frames[0][3]:
            agree = False
        if not agree:
            print("untrusted (decoders disagree):", name)
            continue
        if name in EXPECTED_INDICES and EXPECTED_INDICES[name] != frames[0][3]:
            print("untrusted (not the pixels it was made from):", name)
            continue
        open(name[:-4] + ".idx", "wb").write(b"".join(f[3] for f in frames))
        manifest.append("%s %d" % (name, len(frames)))
    open("MANIFEST", "w").write("\n".join(manifest) + "\n")
    with open("COMMANDS.txt", "w") as f:
        for fixture, cmd in COMMANDS:
            f.write("%s: %s\n" % (fixture, cmd))
    for f in os.listdir("."):
        if f.startswith("in_") and f.endswith(".png"):
            os.remove(f)


if __name__ == "__main__":
    sys.exit(main())
