#!/usr/bin/env python3
"""Draw one source picture for a sample texture and save it as a PAM file.

Usage: gen_source.py OUT.pam WIDTH HEIGHT ALPHA
  ALPHA is one of:
    none   - opaque, written as 3-channel RGB PAM (no alpha channel at all)
    ramp   - alpha falls smoothly from 255 (top-left) to about 24 (bottom-right)
    cutout - alpha is either 0 or 255: a transparent notch in the top-left
             corner (so the very first 4x4 block holds transparent texels)
             and a transparent disc near the bottom-right corner

Every picture has the same asymmetric content so that a flipped or mirrored
decode is obvious at a glance:
  * background: red grows left -> right, green grows top -> bottom,
    blue is a soft diagonal wave;
  * a white capital "F" in the top-left quarter, outlined in dark blue;
  * a small solid yellow square in the bottom-right corner region.
The first row written is the TOP row of the picture.
Only the Python 3 standard library is used.
"""
import math
import sys


def clamp(v):
    return max(0, min(255, int(round(v))))


def draw(w, h, alpha_mode):
    px = []  # row-major, top row first, (r, g, b, a)
    # "F" geometry, scaled to the picture, inside the top-left quarter
    fx0 = max(1, w // 10) + 2
    fy0 = max(1, h // 10) + 1
    fw = max(4, w * 3 // 10)
    fh = max(5, h * 4 // 10)
    stroke = max(1, min(w, h) // 12)

    def in_f(x, y):
        if not (fx0 <= x < fx0 + fw and fy0 <= y < fy0 + fh):
            return False
        lx, ly = x - fx0, y - fy0
        if lx < stroke:                      # vertical bar
            return True
        if ly < stroke:                      # top bar (full width)
            return True
        mid = fh // 2 - stroke // 2
        if mid <= ly < mid + stroke and lx < fw * 2 // 3:  # middle bar (shorter)
            return True
        return False

    def near_f(x, y):
        for dy in (-1, 0, 1):
            for dx in (-1, 0, 1):
                if in_f(x + dx, y + dy):
                    return True
        return False

    sq = max(2, min(w, h) // 6)
    sqx0, sqy0 = w - sq - max(1, w // 8), h - sq - max(1, h // 8)
    cx, cy, rad = w * 0.38, h * 0.74, min(w, h) * 0.14

    for y in range(h):
        for x in range(w):
            fxn = x / max(1, w - 1)
            fyn = y / max(1, h - 1)
            r = 30 + 200 * fxn
            g = 20 + 210 * fyn
            b = 110 + 70 * math.sin((x + 2 * y) * 0.15)
            if in_f(x, y):
                r, g, b = 250, 250, 245
            elif near_f(x, y):
                r, g, b = 20, 30, 120
            elif sqx0 <= x < sqx0 + sq and sqy0 <= y < sqy0 + sq:
                r, g, b = 245, 220, 30
            a = 255
            if alpha_mode == "ramp":
                a = 255 - 231 * (0.55 * fxn + 0.45 * fyn)
            elif alpha_mode == "cutout":
                if x + y < 3:
                    a = 0
                elif (x - cx) ** 2 + (y - cy) ** 2 < rad * rad:
                    a = 0
            px.append((clamp(r), clamp(g), clamp(b), clamp(a)))
    return px


def main():
    if len(sys.argv) != 5 or sys.argv[4] not in ("none", "ramp", "cutout"):
        sys.exit(__doc__)
    out, w, h, mode = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    px = draw(w, h, mode)
    if mode == "none":
        hdr = "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n" % (w, h)
        body = bytes(c for p in px for c in p[:3])
    else:
        hdr = "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (w, h)
        body = bytes(c for p in px for c in p)
    with open(out, "wb") as f:
        f.write(hdr.encode("ascii"))
        f.write(body)


if __name__ == "__main__":
    main()
