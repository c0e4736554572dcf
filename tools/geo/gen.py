#!/usr/bin/python3
"""Generates the embedded tables and map pictures under resources/ and the
contact sheets under tools/geo/contact/.

Run from anywhere:  /usr/bin/python3 tools/geo/gen.py
Needs the Debian packages listed in tools/geo/README.md.
"""
import math
import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont
from scipy import ndimage

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True

import geodata as gd          # noqa: E402
import labels                 # noqa: E402
import layout                 # noqa: E402
import raster                 # noqa: E402
import coasts                 # noqa: E402
import tsunami_layout         # noqa: E402
import pictures               # noqa: E402
from projection import MapProjection  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(HERE))
RES = os.path.join(ROOT, "resources")
CONTACT = os.path.join(HERE, "contact")
FONT = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"

FIXED_ROWS = {
    900: (0, 0, 0, 0, 0, 0), 901: (0, 0, 0, 0, 0, 0), 905: (0, 0, 0, 0, 0, 0),
    10: (448, 63, 28, 36, 459, 88), 250: (354, 311, 36, 12, 373, 318),
    705: (227, 431, 20, 8, 237, 423),
}

QUAKE_W, QUAKE_H = 640, 480
TSUNAMI_W, TSUNAMI_H = 400, 240


def log(*a):
    print(*a, flush=True)


def font(size):
    return ImageFont.truetype(FONT, size)


def write_text(path, rows, final_break):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    text = "\r\n".join(rows) + ("\r\n" if final_break else "")
    with open(path, "wb") as f:
        f.write(text.encode("utf-8"))


def save_palette_png(path, index_img, palette, bits):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    img = Image.fromarray(index_img.astype(np.uint8), "P")
    flat = []
    for c in palette:
        flat.extend(c)
    flat.extend([0] * (768 - len(flat)))
    img.putpalette(flat)
    img.save(path, bits=bits, optimize=False)


# ---------------------------------------------------------------- region map

def ensure_all_regions(lab, proj, region_codes, points):
    """A region too small to survive rasterising gets a 2 x 2 dot at its first
    point, so that every region has a mask with something inside."""
    first = {}
    for p in points:
        first.setdefault(p["region"], p)
    for code in region_codes:
        if (lab == code).any():
            continue
        p = first[code]
        x, y, _ = proj.project([p["lon"]], [p["lat"]])
        xi, yi = int(round(x[0])), int(round(y[0]))
        lab[yi:yi + 2, xi:xi + 2] = code
        log(f"region {code:03d}: drawn as a dot at {xi},{yi}")


def clip_fixed(lab):
    for code, (x, y, w, h, _, _) in FIXED_ROWS.items():
        if w == 0:
            continue
        m = lab == code
        inside = np.zeros_like(m)
        inside[y:y + h, x:x + w] = True
        out = m & ~inside
        if out.any():
            log(f"region {code:03d}: {out.sum()} pixels outside its box left to the sea")
            lab[out] = 0


def reference_point(mask, x0, y0):
    """Deepest pixel of the region (most room for a label), nearest the centre on ties."""
    pad = np.pad(mask, 1)
    dist = ndimage.distance_transform_edt(pad)[1:-1, 1:-1]
    ys, xs = np.nonzero(mask)
    cy, cx = ys.mean(), xs.mean()
    d = dist[ys, xs]
    score = d * 100 - np.hypot(xs - cx, ys - cy)
    k = int(np.argmax(score))
    return x0 + int(xs[k]), y0 + int(ys[k])


def region_rows(lab, region_list):
    rows = {}
    for code_s, name in region_list:
        code = int(code_s)
        if code in FIXED_ROWS:
            rows[code] = FIXED_ROWS[code]
            continue
        x, y, w, h = raster.bbox(lab, code)
        mask = lab[y:y + h, x:x + w] == code
        cx, cy = reference_point(mask, x, y)
        rows[code] = (int(x), int(y), int(w), int(h), cx, cy)
    return rows


def pref_of_code(region_list):
    out = {0: 0}
    for code_s, name in region_list:
        code = int(code_s)
        if code >= 900:
            continue
        out[code] = gd.pref_number(gd.pref_of_region_name(name))
    return out


def borders(lab, pref_lab):
    """Boolean images: prefecture border pixels and region border pixels (land)."""
    def edge(a):
        e = np.zeros(a.shape, bool)
        e[:, :-1] |= (a[:, :-1] != a[:, 1:]) & (a[:, 1:] > 0)
        e[:-1, :] |= (a[:-1, :] != a[1:, :]) & (a[1:, :] > 0)
        return e & (a > 0)
    pb = edge(pref_lab)
    rb = edge(lab) & ~pb
    return pb, rb


def coast_edge(lab):
    land = lab > 0
    sea_n = ndimage.binary_dilation(~land, structure=np.array([[0, 1, 0], [1, 1, 1], [0, 1, 0]]))
    return land & sea_n


REGION_PAL = [
    (72, 112, 168),    # 0 sea
    (240, 236, 220),   # 1 land
    (120, 110, 100),   # 2 prefecture border
    (206, 198, 182),   # 3 region border
    (56, 84, 132),     # 4 coast line
    (40, 40, 40),      # 5 inset frame / text
    (255, 255, 255),   # 6 white
    (92, 132, 188),    # 7 graticule
]


def draw_insets_frames(draw, frames, palette_index, text_index, fnt):
    for (x0, y0, x1, y1, label) in frames:
        draw.rectangle([x0, y0, x1, y1], outline=palette_index)
        if label:
            tw = draw.textlength(label, font=fnt)
            if tw < (x1 - x0) - 6:
                draw.text((x0 + 3, y0 + 2), label, fill=text_index, font=fnt)
            else:
                draw.text((x0 + (x1 - x0 - tw) / 2, y0 - fnt.size - 2), label, fill=text_index,
                          font=fnt)


def render_region_map(lab, pref_lab, frames):
    h, w = lab.shape
    img = np.zeros((h, w), np.uint8)
    img[lab > 0] = 1
    pb, rb = borders(lab, pref_lab)
    img[rb] = 3
    img[pb] = 2
    img[coast_edge(lab)] = 4
    pil = Image.fromarray(img, "P")
    d = ImageDraw.Draw(pil)
    draw_insets_frames(d, frames, 5, 5, font(10))
    return np.array(pil)


# ----------------------------------------------------------------- quake map

QUAKE_PAL = [
    (28, 44, 84),      # 0 sea
    (164, 172, 148),   # 1 land
    (92, 98, 84),      # 2 prefecture border
    (200, 206, 188),   # 3 coast line
    (210, 210, 210),   # 4 frame / text
    (44, 62, 108),     # 5 graticule
]


def render_quake_map(lab, pref_lab, frames):
    h, w = lab.shape
    img = np.zeros((h, w), np.uint8)
    # faint graticule every degree is drawn by the caller into the sea only
    img[lab > 0] = 1
    pb, _ = borders(lab, pref_lab)
    img[pb] = 2
    img[coast_edge(lab)] = 3
    pil = Image.fromarray(img, "P")
    d = ImageDraw.Draw(pil)
    draw_insets_frames(d, frames, 4, 4, font(11))
    return np.array(pil)


def place_points(points, proj, lab, pref_of):
    """Pixel of every point on the quake map; a point whose pixel is not land
    of its own prefecture moves to the nearest such pixel (coastal places)."""
    pref_lab = np.vectorize(lambda c: pref_of.get(int(c), 0))(lab)
    out = []
    worst = 0.0
    for p in points:
        x, y, valid = proj.project([p["lon"]], [p["lat"]])
        if not valid[0]:
            raise SystemExit(f"{p['name']}: not on the quake map")
        xi, yi = int(round(x[0])), int(round(y[0]))
        want = gd.pref_number(p["pref"])
        if not (0 <= xi < lab.shape[1] and 0 <= yi < lab.shape[0] and pref_lab[yi, xi] == want):
            ys, xs = np.nonzero(pref_lab == want)
            d = np.hypot(xs - x[0], ys - y[0])
            k = int(np.argmin(d))
            if d[k] > 6:
                raise SystemExit(f"{p['name']}: {d[k]:.1f} px from {p['pref']}")
            worst = max(worst, d[k])
            xi, yi = int(xs[k]), int(ys[k])
        out.append((xi, yi))
    log(f"points placed; the largest move onto land was {worst:.1f} px")
    return out, pref_lab


# -------------------------------------------------------------- contact sheets

def distinct_colours(n, seed=7):
    rng = np.random.RandomState(seed)
    cols = []
    for i in range(n):
        hue = (i * 0.61803398875) % 1.0
        s = 0.45 + 0.35 * rng.rand()
        v = 0.75 + 0.25 * rng.rand()
        cols.append(tuple(int(255 * c) for c in _hsv(hue, s, v)))
    return cols


def _hsv(h, s, v):
    i = int(h * 6) % 6
    f = h * 6 - int(h * 6)
    p, q, t = v * (1 - s), v * (1 - s * f), v * (1 - s * (1 - f))
    return [(v, t, p), (q, v, p), (p, v, t), (p, q, v), (t, p, v), (v, p, q)][i]


def outlined_text(draw, xy, text, fnt, fill=(255, 255, 255), outline=(0, 0, 0)):
    x, y = xy
    for dx in (-1, 0, 1):
        for dy in (-1, 0, 1):
            draw.text((x + dx, y + dy), text, fill=outline, font=fnt)
    draw.text((x, y), text, fill=fill, font=fnt)


def region_contact(base_rgb, rows, masks, names, scale=2):
    img = Image.fromarray(base_rgb).convert("RGB")
    arr = np.array(img)
    codes = sorted(masks)
    cols = distinct_colours(len(codes))
    for col, code in zip(cols, codes):
        x, y, w, h, _, _ = rows[code]
        m = masks[code]
        sub = arr[y:y + h, x:x + w]
        sub[m] = col
    big = Image.fromarray(arr).resize((arr.shape[1] * scale, arr.shape[0] * scale), Image.NEAREST)
    d = ImageDraw.Draw(big)
    f = font(10)
    for code in codes:
        x, y, w, h, cx, cy = rows[code]
        d.rectangle([x * scale, y * scale, (x + w) * scale - 1, (y + h) * scale - 1], outline=(90, 90, 90))
        d.ellipse([cx * scale - 2, cy * scale - 2, cx * scale + 2, cy * scale + 2], fill=(0, 0, 0))
        outlined_text(d, (cx * scale + 3, cy * scale - 6), f"{code:03d}", f)
    return big


def main():
    os.makedirs(CONTACT, exist_ok=True)
    region_list = labels.read_regions()
    points = labels.read_points()
    land = gd.land_grid()
    pref_grid = labels.prefecture_grid(land)
    reg_grid = labels.region_grid(land, pref_grid, points)
    cells = raster.LandCells(reg_grid)
    pref_of = pref_of_code(region_list)
    map_codes = [int(c) for c, _ in region_list if int(c) < 900]

    # ---- region map
    proj, lab = layout.fit_region_projection(cells, log)
    ensure_all_regions(lab, proj, map_codes, points)
    clip_fixed(lab)
    rows = region_rows(lab, region_list)
    masks = {}
    for code in map_codes:
        x, y, w, h, _, _ = rows[code]
        masks[code] = lab[y:y + h, x:x + w] == code
    pref_lab = np.vectorize(lambda c: pref_of.get(int(c), 0))(lab)
    frames = layout.inset_frames()
    rmap = render_region_map(lab, pref_lab, frames)
    pal = REGION_PAL
    os.makedirs(os.path.join(RES, "custom"), exist_ok=True)
    gif = Image.fromarray(rmap, "P")
    flat = [c for rgb in pal for c in rgb]
    gif.putpalette(flat + [0] * (768 - len(flat)))
    gif.save(os.path.join(RES, "custom", "101.gif"))
    for code, m in masks.items():
        idx = np.where(m, 0, 1).astype(np.uint8)
        save_palette_png(os.path.join(RES, "bitmap", f"QU_{code:03d}.png"), idx,
                         [(0, 0, 0), (255, 255, 255)], 1)
    region_text = []
    for code_s, name in region_list:
        x, y, w, h, cx, cy = rows[int(code_s)]
        region_text.append(f"{code_s},{name},{x},{y},{w},{h},{cx},{cy}")
    write_text(os.path.join(RES, "table", "201.txt"), region_text, False)
    rgb = np.array([pal[i] for i in range(len(pal))] + [(0, 0, 0)] * (256 - len(pal)), np.uint8)[rmap]
    region_contact(rgb, rows, masks, dict(region_list)).save(os.path.join(CONTACT, "region_map.png"))
    log("region map done")

    # ---- quake map: the region map's geometry, 16/15 larger
    qproj = layout.region_projection(proj.bumps, proj.insets[0], proj.insets[1])
    qproj.factor = QUAKE_W / layout.REGION_W
    qlab = raster.rasterise_with_islands(cells, qproj, QUAKE_W, QUAKE_H)
    qpref = np.vectorize(lambda c: pref_of.get(int(c), 0))(qlab)
    qframes = [tuple(int(round(v * qproj.factor)) if isinstance(v, (int, float)) else v for v in f)
               for f in frames]
    qmap = render_quake_map(qlab, qpref, qframes)
    save_palette_png(os.path.join(RES, "bitmap", "Q_MAP-AA.png"), qmap, QUAKE_PAL, 8)
    placed, _ = place_points(points, qproj, qlab, pref_of)
    point_rows = [f"{p['name']},{x},{y},{p['flag']}" for p, (x, y) in zip(points, placed)]
    write_text(os.path.join(RES, "table", "106.txt"), point_rows, True)
    # prefecture raster of the quake map for the data checks
    save_palette_png(os.path.join(RES, "check", "quake_prefectures.png"), qpref,
                     [(i * 5, i * 5, i * 5) for i in range(48)], 8)
    qrgb = np.array(QUAKE_PAL + [(0, 0, 0)] * (256 - len(QUAKE_PAL)), np.uint8)[qmap]
    qimg = Image.fromarray(qrgb).resize((QUAKE_W * 2, QUAKE_H * 2), Image.NEAREST)
    d = ImageDraw.Draw(qimg)
    for p, (x, y) in zip(points, placed):
        col = {"0": (255, 60, 40), "1": (255, 230, 0), "2": (0, 255, 255)}[p["flag"]]
        d.rectangle([x * 2 - 1, y * 2 - 1, x * 2 + 2, y * 2 + 2], fill=col)
    qimg.save(os.path.join(CONTACT, "quake_points.png"))
    log("quake map done")

    # ---- tsunami map
    tsu = tsunami_layout.build(cells, region_list, log)
    tsunami_layout.write(tsu, RES, CONTACT, log)
    write_text(os.path.join(RES, "table", "104.txt"),
               [f"{n},{x},{y}" for n, (x, y) in zip(coasts.COAST_NAMES, tsu["tiles"])], False)
    log("tsunami map done")

    # ---- remaining pictures
    main_land = (lab > 0) & ~np.isin(lab, list(raster.ISLAND_CODES - {305, 514, 630, 635, 680}))
    pictures.write_all(RES, CONTACT, rgb, main_land, log)
    write_cmake_list()
    log("done")


def write_cmake_list():
    files = []
    for sub in ("table", "bitmap", "custom", "icon"):
        d = os.path.join(RES, sub)
        if not os.path.isdir(d):
            continue
        for fn in sorted(os.listdir(d)):
            files.append(f"${{CMAKE_SOURCE_DIR}}/resources/{sub}/{fn}")
    with open(os.path.join(RES, "resources.cmake"), "w") as f:
        f.write("# Generated by tools/geo/gen.py: the files embedded under the prefix /orva.\n")
        f.write("set(ORVA_RESOURCE_FILES\n")
        for fn in files:
            f.write(f"  {fn}\n")
        f.write(")\n")


if __name__ == "__main__":
    main()
