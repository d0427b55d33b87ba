#!/usr/bin/python3
"""Makes the BMP fixtures of the gdi tests and their expected pixels.

Run from this folder with Debian's Python (it needs Pillow) and ImageMagick's `convert`:
    /usr/bin/python3 make_bmp_fixtures.py
Every bmp/<name>.bmp gets bmp/<name>.pam: the pixels as decoded by an independent decoder (Pillow;
ImageMagick for the files Pillow does not read), written as a PAM file with RGB_ALPHA tuples.
bmp/manifest.txt lists each fixture with 1 when its alpha channel is meaningful.
"""
import os
import struct
import subprocess

from PIL import Image

OUT = "bmp"


def source(w, h):
    img = Image.new("RGB", (w, h))
    px = img.load()
    for y in range(h):
        for x in range(w):
            px[x, y] = ((x * 37 + y * 11) % 256, (y * 53 + x * 5) % 256, ((x ^ y) * 29) % 256)
    return img


def palette_image(w, h, colors):
    img = source(w, h).quantize(colors=colors, dither=Image.Dither.NONE)
    pal = img.getpalette()[: 3 * colors]
    pal += [0] * (3 * colors - len(pal))
    idx = [[img.getpixel((x, y)) for x in range(w)] for y in range(h)]
    # runs of equal indices make the RLE encoders do real work
    for y in range(h):
        for x in range(w // 3, w // 3 + w // 4):
            idx[y][x] = idx[y][w // 3]
    return idx, [tuple(pal[3 * i: 3 * i + 3]) for i in range(colors)]


def pack_rows(rows, bits):
    out = []
    for row in rows:
        b = bytearray()
        if bits == 8:
            b = bytearray(row)
        elif bits == 4:
            for i in range(0, len(row), 2):
                hi = row[i]
                lo = row[i + 1] if i + 1 < len(row) else 0
                b.append((hi << 4) | lo)
        elif bits == 1:
            for i in range(0, len(row), 8):
                v = 0
                for k in range(8):
                    v = (v << 1) | (row[i + k] if i + k < len(row) else 0)
                b.append(v)
        else:
            b = bytearray(row)
        while len(b) % 4:
            b.append(0)
        out.append(bytes(b))
    return out


def rle_encode(rows, four, use_delta=False):
    """Rows top-down; output bottom-up RLE with encoded runs, absolute runs and end markers."""
    data = bytearray()
    order = list(reversed(rows))
    y = 0
    while y < len(order):
        row = order[y]
        if use_delta and y == 1:
            # skip the rest of this row's first half and one row down: pixels left as index 0
            data += bytes([0, 2, 2, 1])  # delta (2, 1)
            y += 1
            row = order[y]
            x = 2
        else:
            x = 0
        n = len(row)
        while x < n:
            run = 1
            while x + run < n and run < 255 and row[x + run] == row[x]:
                run += 1
            if run >= 3 or n - x < 3:
                v = row[x]
                data += bytes([run, (v << 4) | v if four else v])
                x += run
            else:
                end = x
                while end < n and end - x < 255:
                    r = 1
                    while end + r < n and row[end + r] == row[end]:
                        r += 1
                    if r >= 3:
                        break
                    end += 1
                cnt = end - x
                if cnt < 3:
                    for k in range(cnt):
                        v = row[x + k]
                        data += bytes([1, (v << 4) if four else v])
                    x = end
                    continue
                data += bytes([0, cnt])
                chunk = row[x:end]
                if four:
                    b = bytearray()
                    for i in range(0, cnt, 2):
                        b.append((chunk[i] << 4) | (chunk[i + 1] if i + 1 < cnt else 0))
                else:
                    b = bytearray(chunk)
                if len(b) % 2:
                    b.append(0)
                data += b
                x = end
        data += bytes([0, 0])
        y += 1
    data += bytes([0, 1])
    return bytes(data)


def write_bmp(name, w, h, bits, pixel_rows, palette=None, compression=0, header=40, top_down=False,
              masks=None, core=False, clr_used=None):
    table = b""
    if palette is not None:
        for r, g, b in palette:
            table += bytes([b, g, r]) if core else bytes([b, g, r, 0])
    if compression in (1, 2):
        data = pixel_rows  # already encoded
    else:
        rows = pixel_rows if top_down else list(reversed(pixel_rows))
        data = b"".join(rows)
    extra = b""
    if core:
        hdr = struct.pack("<IHHHH", 12, w, h, 1, bits)
    else:
        hh = -h if top_down else h
        used = clr_used if clr_used is not None else (len(palette) if palette else 0)
        hdr = struct.pack("<IiiHHIIiiII", header, w, hh, 1, bits, compression, len(data), 2835, 2835, used, 0)
        if header > 40:
            m = list(masks or [0, 0, 0, 0]) + [0] * 4
            hdr += struct.pack("<IIII", *m[:4])[: header - 40]
            hdr += bytes(header - len(hdr))
        elif masks is not None:
            extra = struct.pack("<III", *masks[:3])
    off = 14 + len(hdr) + len(extra) + len(table)
    with open(os.path.join(OUT, name + ".bmp"), "wb") as f:
        f.write(struct.pack("<HIHHI", 0x4D42, off + len(data), 0, 0, off))
        f.write(hdr + extra + table + data)


def rgb_rows(img, bits, alpha=None):
    w, h = img.size
    rows = []
    for y in range(h):
        b = bytearray()
        for x in range(w):
            r, g, bl = img.getpixel((x, y))
            if bits == 24:
                b += bytes([bl, g, r])
            elif bits == 32:
                a = alpha(x, y) if alpha else 0
                b += bytes([bl, g, r, a])
            elif bits == 16:
                v = ((r >> 3) << 10) | ((g >> 3) << 5) | (bl >> 3)
                b += struct.pack("<H", v)
            elif bits == 565:
                v = ((r >> 3) << 11) | ((g >> 2) << 5) | (bl >> 3)
                b += struct.pack("<H", v)
        while len(b) % 4:
            b.append(0)
        rows.append(bytes(b))
    return rows


def oracle(name, alpha_meaningful, use_magick=False):
    path = os.path.join(OUT, name + ".bmp")
    if use_magick:
        w, h = map(int, subprocess.run(["identify", "-format", "%w %h", path], check=True,
                                       capture_output=True).stdout.split())
        pixels = subprocess.run(["convert", path, "-depth", "8", "RGBA:-"], check=True, capture_output=True).stdout
    else:
        img = Image.open(path).convert("RGBA")
        w, h = img.size
        pixels = img.tobytes()
    assert len(pixels) == w * h * 4
    with open(os.path.join(OUT, name + ".pam"), "wb") as f:
        f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (w, h))
        f.write(pixels)
    manifest.append("%s %d" % (name, 1 if alpha_meaningful else 0))


manifest = []
os.makedirs(OUT, exist_ok=True)
W, H = 13, 7
src = source(W, H)

for bits, colors in ((1, 2), (4, 16), (8, 256)):
    idx, pal = palette_image(W, H, colors)
    write_bmp("info_%dbit" % bits, W, H, bits, pack_rows(idx, bits), pal)
    oracle("info_%dbit" % bits, False)
    write_bmp("topdown_%dbit" % bits, W, H, bits, pack_rows(idx, bits), pal, top_down=True)
    oracle("topdown_%dbit" % bits, False)
    write_bmp("core_%dbit" % bits, W, H, bits, pack_rows(idx, bits), pal, header=12, core=True)
    oracle("core_%dbit" % bits, False)
    write_bmp("v5_%dbit" % bits, W, H, bits, pack_rows(idx, bits), pal, header=124)
    oracle("v5_%dbit" % bits, False)

# a short colour table (biClrUsed) for 8 bits
idx, pal = palette_image(W, H, 16)
write_bmp("info_8bit_short_table", W, H, 8, pack_rows(idx, 8), pal, clr_used=16)
oracle("info_8bit_short_table", False)

for bits, colors, comp in ((8, 256, 1), (4, 16, 2)):
    idx, pal = palette_image(W, H, colors)
    name = "rle%d" % bits
    write_bmp(name, W, H, bits, rle_encode(idx, bits == 4), pal, compression=comp)
    oracle(name, False)
    write_bmp(name + "_delta", W, H, bits, rle_encode(idx, bits == 4, use_delta=True), pal, compression=comp)
    oracle(name + "_delta", False, use_magick=True)

write_bmp("info_24bit", W, H, 24, rgb_rows(src, 24))
oracle("info_24bit", False)
write_bmp("topdown_24bit", W, H, 24, rgb_rows(src, 24), top_down=True)
oracle("topdown_24bit", False)
write_bmp("info_16bit_555", W, H, 16, rgb_rows(src, 16))
oracle("info_16bit_555", False)
write_bmp("bitfields_16bit_565", W, H, 16, rgb_rows(src, 565), compression=3, masks=[0xF800, 0x07E0, 0x001F])
oracle("bitfields_16bit_565", False)
write_bmp("v4_16bit_565", W, H, 16, rgb_rows(src, 565), compression=3, header=108, masks=[0xF800, 0x07E0, 0x001F, 0])
oracle("v4_16bit_565", False)
write_bmp("info_32bit", W, H, 32, rgb_rows(src, 32, lambda x, y: (x * 19 + y * 7) % 256))
oracle("info_32bit", False)
write_bmp("topdown_32bit", W, H, 32, rgb_rows(src, 32, lambda x, y: (x * 19 + y * 7) % 256), top_down=True)
oracle("topdown_32bit", False)
write_bmp("v5_32bit_alpha", W, H, 32, rgb_rows(src, 32, lambda x, y: (x * 19 + y * 7) % 256), compression=3,
          header=124, masks=[0xFF0000, 0xFF00, 0xFF, 0xFF000000])
oracle("v5_32bit_alpha", True)

# 32 bits with other channel orders (alpha from its mask, when there is one).
def masked_rows(img, masks, alpha):
    rows = []
    w, h = img.size
    for y in range(h):
        b = bytearray()
        for x in range(w):
            r, g, bl = img.getpixel((x, y))
            vals = (r, g, bl, alpha(x, y))
            v = 0
            for c, m in zip(vals, masks):
                if m:
                    shift = (m & -m).bit_length() - 1
                    v |= (c << shift) & m
            b += struct.pack("<I", v)
        rows.append(bytes(b))
    return rows


write_bmp("v5_32bit_rgbx", W, H, 32, masked_rows(src, [0xFF000000, 0xFF0000, 0xFF00, 0], lambda x, y: 0),
          compression=3, header=124, masks=[0xFF000000, 0xFF0000, 0xFF00, 0])
oracle("v5_32bit_rgbx", False)
write_bmp("v5_32bit_abgr", W, H, 32, masked_rows(src, [0xFF, 0xFF00, 0xFF0000, 0xFF000000],
                                                 lambda x, y: (x * 13 + y * 29) % 256),
          compression=3, header=124, masks=[0xFF, 0xFF00, 0xFF0000, 0xFF000000])
oracle("v5_32bit_abgr", True)
subprocess.run(["convert", os.path.join(OUT, "info_8bit.bmp"), "BMP2:" + os.path.join(OUT, "magick_bmp2_8bit.bmp")],
               check=True)
oracle("magick_bmp2_8bit", False, use_magick=True)

# Written by the tools themselves.
src.save(os.path.join(OUT, "pillow_24bit.bmp"))
oracle("pillow_24bit", False)
src.quantize(colors=256, dither=Image.Dither.NONE).save(os.path.join(OUT, "pillow_8bit.bmp"))
oracle("pillow_8bit", False)
src.convert("1").save(os.path.join(OUT, "pillow_1bit.bmp"))
oracle("pillow_1bit", False)
src.save(os.path.join(OUT, "src.png"))
subprocess.run(["convert", os.path.join(OUT, "src.png"), "BMP3:" + os.path.join(OUT, "magick_bmp3_24bit.bmp")], check=True)
oracle("magick_bmp3_24bit", False, use_magick=True)
subprocess.run(["convert", os.path.join(OUT, "src.png"), "-colors", "200", "-compress", "RLE", "BMP3:" +
                os.path.join(OUT, "magick_rle8.bmp")], check=True)
oracle("magick_rle8", False, use_magick=True)
subprocess.run(["convert", os.path.join(OUT, "src.png"), "-alpha", "set", "-channel", "A", "-fx", "(i+j)/20",
                "BMP:" + os.path.join(OUT, "magick_v5_32bit.bmp")], check=True)
oracle("magick_v5_32bit", True, use_magick=True)
os.remove(os.path.join(OUT, "src.png"))

with open(os.path.join(OUT, "manifest.txt"), "w") as f:
    f.write("\n".join(manifest) + "\n")
