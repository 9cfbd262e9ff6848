#!/usr/bin/env python3
"""Draws the wizard's two pictures and writes them next to this script.

  side_picture.bmp  the 161 x 313 banner on the side of the welcome, device
                    and finish pages: 8 bits per pixel, 256-entry colour
                    table, bottom-up, uncompressed, no resolution.
  wizard.ico        the window icon: one 32 x 32 image with 16 colours.

Both files are committed, so the build does not need Python; run this again
only after changing a drawing:  python3 wizard/res/make_pictures.py
The output is the same byte for byte on every run (no randomness, no clock).
Standard library only.
"""

import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# ---------------------------------------------------------------------------
# Side picture
# ---------------------------------------------------------------------------

BANNER_W, BANNER_H = 161, 313
SUPERSAMPLE = 3  # samples per pixel along each axis, for smooth edges

# Globe: a large sphere whose upper right part shows in the lower half.
GLOBE_CX, GLOBE_CY, GLOBE_R = 18.0, 262.0, 150.0
GLOBE_TILT = math.radians(18.0)  # the axis leans to the right
GLOBE_LINE = 0.9                 # half width of a grid line, in pixels
OUTLINE_LINE = 1.4               # half width of the outline

# The framed square near the top right that holds the plug.
SQ_X0, SQ_Y0, SQ_SIZE, SQ_FRAME = 92.0, 18.0, 56.0, 3.0


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def background(x, y):
    """Dark blue, a little lighter at the top, with a grid of soft dots."""
    col = mix((16, 40, 112), (4, 14, 58), y / BANNER_H)
    px, py = x % 5.0 - 2.5, y % 5.0 - 2.5
    d = math.hypot(px, py)
    if d < 1.0:
        # Dots fade out towards the bottom so the globe stands out.
        strength = 0.55 - 0.35 * (y / BANNER_H)
        col = mix(col, (50, 95, 190), strength * (1.0 - d))
    return col


def globe(x, y):
    """Coverage (0..1) of the globe's outline and grid lines at (x, y)."""
    dx, dy = x - GLOBE_CX, y - GLOBE_CY
    r = math.hypot(dx, dy)
    if r > GLOBE_R + OUTLINE_LINE + 1.0:
        return 0.0, 0.0
    outline = max(0.0, 1.0 - abs(r - GLOBE_R) / OUTLINE_LINE)
    if r >= GLOBE_R:
        return outline, 0.0
    # Rotate into the globe's own frame and find latitude and longitude on
    # the visible hemisphere.
    c, s = math.cos(GLOBE_TILT), math.sin(GLOBE_TILT)
    u = (dx * c + dy * s) / GLOBE_R
    v = (-dx * s + dy * c) / GLOBE_R
    w = math.sqrt(max(0.0, 1.0 - u * u - v * v))
    lat = math.asin(max(-1.0, min(1.0, -v)))
    lon = math.atan2(u, w)
    step = math.radians(20.0)
    # Distance to the nearest line in radians, turned into pixels by the
    # local scale of the projection.
    dlat = abs((lat + step / 2) % step - step / 2)
    dlon = abs((lon + step / 2) % step - step / 2)
    scale_lat = GLOBE_R * max(w, 0.08)
    scale_lon = GLOBE_R * max(math.cos(lat), 0.05) * max(w, 0.08)
    grid = max(0.0, 1.0 - dlat * scale_lat / GLOBE_LINE,
               1.0 - dlon * scale_lon / GLOBE_LINE)
    # The limb is lit a little, as a sphere would be.
    glow = 0.18 * (1.0 - w) ** 2
    return max(outline, grid * (0.45 + 0.55 * w)), glow


def rounded_box(x, y, x0, y0, x1, y1, radius):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius
    qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def plug(x, y):
    """Colour of the square's content at (x, y), or None outside it."""
    inner0 = SQ_X0 + SQ_FRAME
    inner1 = SQ_X0 + SQ_SIZE - SQ_FRAME
    if not (SQ_X0 <= x < SQ_X0 + SQ_SIZE and SQ_Y0 <= y < SQ_Y0 + SQ_SIZE):
        return None
    if not (inner0 <= x < inner1 and SQ_Y0 + SQ_FRAME <= y < SQ_Y0 + SQ_SIZE - SQ_FRAME):
        return (255, 255, 255)
    col = mix((40, 96, 196), (18, 52, 140), (y - SQ_Y0) / SQ_SIZE)
    mid = SQ_X0 + SQ_SIZE / 2
    top = SQ_Y0 + 9.0
    # Metal shell of the connector, with its two square holes.
    shell = rounded_box(x, y, mid - 8, top, mid + 8, top + 13, 1.0)
    if shell < 0.5:
        metal = mix((235, 238, 244), (150, 158, 172), (x - (mid - 8)) / 16)
        for hx in (mid - 5, mid + 2):
            if hx <= x < hx + 3 and top + 4 <= y < top + 7:
                metal = (60, 66, 80)
        col = mix(col, metal, min(1.0, 0.5 - shell))
    # Moulded grip of the plug.
    body = rounded_box(x, y, mid - 10, top + 13, mid + 10, top + 33, 3.0)
    if body < 0.5:
        grip = mix((92, 96, 108), (38, 40, 48), (x - (mid - 10)) / 20)
        # Two ribs across the grip.
        if abs(y - (top + 27)) < 0.7 or abs(y - (top + 30)) < 0.7:
            grip = mix(grip, (20, 20, 26), 0.6)
        col = mix(col, grip, min(1.0, 0.5 - body))
    # Cable leaving the plug downwards through the frame.
    cable = abs(x - mid) - 3.0
    if y > top + 32 and cable < 0.5:
        col = mix(col, mix((70, 72, 82), (30, 30, 36), (x - mid + 3) / 6), min(1.0, 0.5 - cable))
    return col


def banner_pixel(px, py):
    acc = [0.0, 0.0, 0.0]
    n = SUPERSAMPLE
    for sy in range(n):
        for sx in range(n):
            x = px + (sx + 0.5) / n
            y = py + (sy + 0.5) / n
            col = plug(x, y)
            if col is None:
                col = background(x, y)
                line, glow = globe(x, y)
                if glow:
                    col = mix(col, (60, 120, 220), glow)
                if line:
                    col = mix(col, (110, 170, 245), line)
            for i in range(3):
                acc[i] += col[i]
    return tuple(int(round(c / (n * n))) for c in acc)


def median_cut(colours, count):
    """Reduces a {colour: pixels} histogram to `count` representative colours."""
    boxes = [list(colours.items())]
    while len(boxes) < count:
        best, best_score, best_axis = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for axis in range(3):
                values = [c[axis] for c, _ in box]
                spread = max(values) - min(values)
                weight = sum(n for _, n in box)
                score = spread * math.sqrt(weight)
                if score > best_score:
                    best, best_score, best_axis = i, score, axis
        if best is None or best_score <= 0:
            break
        box = sorted(boxes.pop(best), key=lambda e: (e[0][best_axis], e[0]))
        total = sum(n for _, n in box)
        run, cut = 0, 1
        for j, (_, n) in enumerate(box):
            run += n
            if run * 2 >= total:
                cut = max(1, min(len(box) - 1, j + 1))
                break
        boxes.extend([box[:cut], box[cut:]])
    palette = []
    for box in boxes:
        weight = sum(n for _, n in box)
        palette.append(tuple(int(round(sum(c[i] * n for c, n in box) / weight)) for i in range(3)))
    palette = sorted(set(palette))
    while len(palette) < count:
        palette.append((0, 0, 0))
    return palette


def nearest(palette, colour, cache):
    index = cache.get(colour)
    if index is None:
        index = min(range(len(palette)),
                    key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))
        cache[colour] = index
    return index


def write_banner(path):
    rows = [[banner_pixel(x, y) for x in range(BANNER_W)] for y in range(BANNER_H)]
    histogram = {}
    for row in rows:
        for c in row:
            histogram[c] = histogram.get(c, 0) + 1
    palette = median_cut(histogram, 256)
    cache = {}
    stride = (BANNER_W + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytes(nearest(palette, c, cache) for c in row)
        pixels += line + bytes(stride - BANNER_W)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, BANNER_W, BANNER_H, 1, 8, 0,
                       len(pixels), 0, 0, 256, 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + table + pixels)


# ---------------------------------------------------------------------------
# Icon
# ---------------------------------------------------------------------------

# The standard 16-colour palette, so the icon looks the same on any display.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
       (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
       (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
       (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, MAROON, OLIVE, NAVY, SILVER, GREY, YELLOW, BLUE, WHITE = 0, 1, 3, 4, 7, 8, 11, 12, 15
CLEAR = None


def draw_icon():
    img = [[CLEAR] * 32 for _ in range(32)]

    def rect(x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                img[y][x] = c

    def frame(x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            img[y0][x] = img[y1][x] = c
        for y in range(y0, y1 + 1):
            img[y][x0] = img[y][x1] = c

    def stroke(x0, y0, x1, y1, half, c):
        """A straight stroke of the given half width between two points."""
        lx, ly = x1 - x0, y1 - y0
        length2 = lx * lx + ly * ly
        for y in range(32):
            for x in range(32):
                t = max(0.0, min(1.0, ((x - x0) * lx + (y - y0) * ly) / length2))
                if math.hypot(x - x0 - t * lx, y - y0 - t * ly) <= half:
                    img[y][x] = c

    # Clipboard: a brown board with a dark edge.
    rect(3, 3, 25, 30, MAROON)
    frame(3, 3, 25, 30, BLACK)
    # The note sheet, with ruled lines.
    rect(6, 7, 22, 27, YELLOW)
    frame(6, 7, 22, 27, OLIVE)
    for y in (12, 15, 18, 21):
        for x in range(8, 21):
            img[y][x] = OLIVE
    # The clip that holds the sheet.
    rect(10, 1, 18, 5, SILVER)
    frame(10, 1, 18, 5, GREY)
    rect(12, 2, 16, 2, WHITE)
    # What the pen has written so far: a wavy line on the sheet.
    for x in range(8, 17):
        img[24 + (1 if x % 4 in (1, 2) else 0)][x] = NAVY
    # The pen, lying from the top right down to its point on the sheet.
    stroke(29.5, 8.5, 19.5, 21.5, 2.3, NAVY)
    stroke(29.5, 8.5, 19.5, 21.5, 1.3, BLUE)
    stroke(29.8, 8.1, 28.3, 10.1, 1.8, GREY)       # cap end
    stroke(19.5, 21.5, 17.0, 24.5, 1.4, SILVER)    # point
    img[25][17] = img[25][16] = img[24][16] = BLACK
    return img


def write_icon(path):
    img = draw_icon()
    xor = bytearray()
    mask = bytearray()
    for row in reversed(img):  # bottom-up, like any DIB
        for x in range(0, 32, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            xor.append(hi << 4 | lo)
        bits = 0
        for x in range(32):
            bits = bits << 1 | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)  # 32 pixels fill a 4-byte row exactly
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA)
    # An icon's DIB header counts the XOR and the AND bitmap in its height.
    info = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0,
                       len(xor) + len(mask), 0, 0, 0, 0)
    image = info + table + xor + mask
    assert len(image) == 744, len(image)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + entry + image)


if __name__ == "__main__":
    write_banner(os.path.join(HERE, "side_picture.bmp"))
    write_icon(os.path.join(HERE, "wizard.ico"))
