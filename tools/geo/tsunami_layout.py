"""The tsunami map (400 x 240, 16 colours), its 66 coast tiles and the three
colour tiles."""
import os

import numpy as np
from PIL import Image, ImageDraw, ImageFont
from scipy import ndimage

import coasts
import geodata as gd
import raster
from layout import keep_main
from projection import MapProjection, Inset, ZoneScale

W, H = 400, 240
TILE_W, TILE_H = 50, 40
FONT = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"

# Tiles that the coast table fixes: coast slot (1-based) -> (x, y).
FIXED_TILES = {1: (350, 0), 2: (320, 0), 3: (310, 30), 66: (155, 200)}

LEVEL_COLOURS = {3: (176, 0, 224), 2: (240, 0, 0), 1: (255, 224, 0)}
LEVEL_NAMES = {3: "大津波警報", 2: "津波警報", 1: "津波注意報"}

SEA_PROBES = [(139.85, 35.45), (136.75, 34.85), (137.1, 34.72), (140.9, 41.0), (130.3, 32.9),
              (130.45, 32.4), (129.85, 32.97), (130.65, 31.45), (135.2, 34.5), (133.5, 34.3),
              (139.7, 35.1), (141.2, 41.9), (140.6, 42.3), (132.3, 34.1), (131.3, 33.4)]

PAL = [
    (16, 40, 96),      # 0 sea
    (168, 168, 160),   # 1 land
    (120, 120, 112),   # 2 prefecture border
    (232, 232, 224),   # 3 coast line
    (255, 255, 255),   # 4 text
    (96, 112, 152),    # 5 frame
    LEVEL_COLOURS[3],  # 6
    LEVEL_COLOURS[2],  # 7
    LEVEL_COLOURS[1],  # 8
    (0, 0, 0),         # 9
    (48, 72, 128),     # 10 legend panel
]


def coast_ids(cells):
    """Coast slot (1-66, 0 for none) for every land cell."""
    idx = {n: i + 1 for i, n in enumerate(coasts.COAST_NAMES)}
    out = np.zeros(len(cells.code), np.int32)
    for code in np.unique(cells.code):
        code = int(code)
        sel = np.nonzero(cells.code == code)[0]
        if code in coasts._SIMPLE:
            out[sel] = idx[coasts._SIMPLE[code]]
        elif _needs_split(code):
            for k in sel:
                n = coasts.coast_of(code, cells.lon[k], cells.lat[k])
                out[k] = idx[n] if n else 0
    return out


def _needs_split(code):
    return code in (45, 15, 55, 100, 105, 106, 240, 241, 242, 270, 420, 425, 430, 435, 475,
                    540, 541, 545, 600, 601, 605, 620, 625, 641, 646, 650, 651, 655, 656, 675)


def _coast_cells(reg_grid):
    land = reg_grid > 0
    edge = land & ndimage.binary_dilation(~land)
    rr, cc = np.nonzero(edge)
    lon = gd.LAND_W + (cc + 0.5) * gd.LAND_STEP
    lat = gd.LAND_N - (rr + 0.5) * gd.LAND_STEP
    return lon, lat, reg_grid[rr, cc]


def projection_for(s, theta, x0, y0, south, ogasawara):
    return MapProjection(s, theta, x0, y0, insets=[south, ogasawara], keep=keep_main)


def build(cells, region_list, log):
    from labels import region_grid  # noqa: F401  (cells come from the region grid)
    reg = np.load(os.path.join(gd.CACHE, "region_grid.npy"))
    clon, clat, ccode = _coast_cells(reg)
    cid = np.zeros(len(ccode), np.int32)
    idx = {n: i + 1 for i, n in enumerate(coasts.COAST_NAMES)}
    for k in range(len(ccode)):
        n = coasts.coast_of(int(ccode[k]), clon[k], clat[k])
        cid[k] = idx[n] if n else 0
    main = keep_main(clon, clat) & ~((clat < 29.0) & (clon < 132)) & ~((clon > 141) & (clat < 28.5))
    sub = main & (np.arange(len(clon)) % 3 == 0)

    # Sakishima inset centred in its fixed tile; Okinawa, Daito and Amami get
    # an inset of their own in open sea (placed after the main islands).
    k = 16.0
    m = (cid == 66)
    sl, sa = clon[m], clat[m]
    sx0 = 155 + (TILE_W - (sl.max() - sl.min()) * k) / 2
    sy0 = 200 + (TILE_H - (sa.max() - sa.min()) * k) / 2
    saki = Inset((122.0, 126.0), (23.5, 26.0), k, k, sl.min(), sa.max(), sx0, sy0)
    ix0, iy0 = saki.project(122.8, 25.1)
    ix1 = saki.project(125.7, 24.0)[0]
    keep_out = (ix0 - 3, iy0 - 3, ix1 + 3, H)   # the main map stays clear of the inset
    # Main islands at the largest scale that fits; Hokkaido scaled about the
    # Tsugaru Strait by its own factor so that its coasts fill the fixed tiles.
    pivot = (140.6, 41.45)
    best = None
    mx, my = None, None
    for s in np.arange(22.0, 13.0, -0.25):
        for theta in np.arange(0.0, 24.01, 1.0):
            for f in np.arange(1.0, 0.79, -0.025):
                P = MapProjection(s, theta, 0, 0)
                px, py = P.base([pivot[0]], [pivot[1]])
                P.bumps = [ZoneScale(41.2, 41.7, px[0], py[0], f)]
                x, y = P.main(clon[sub], clat[sub])
                lo_x, hi_x = 1 - x.min(), W - 2 - x.max()
                lo_y, hi_y = -y.min(), H - 2 - y.max()
                for slot, (tx, ty) in FIXED_TILES.items():
                    if slot == 66:
                        continue
                    mm = cid[sub] == slot
                    lo_x = max(lo_x, tx - x[mm].min())
                    hi_x = min(hi_x, tx + TILE_W - 2 - x[mm].max())
                    lo_y = max(lo_y, ty - y[mm].min())
                    hi_y = min(hi_y, ty + TILE_H - 2 - y[mm].max())
                if lo_x > hi_x or lo_y > hi_y:
                    continue
                x0, y0 = (lo_x + hi_x) / 2, (lo_y + hi_y) / 2
                inside = ((x + x0 > keep_out[0]) & (x + x0 < keep_out[2]) &
                          (y + y0 > keep_out[1]))
                if inside.any():
                    continue
                best = (s, theta, f, x0, y0)
                break
            if best:
                break
        if best:
            break
    if not best:
        raise SystemExit("tsunami map: no layout holds the fixed tiles")
    s, theta, f, x0, y0 = best
    log(f"tsunami map: scale {s:.2f} px/deg, rotation {theta:.1f}, Hokkaido x{f:.3f}, "
        f"origin {x0:.1f},{y0:.1f}")
    proj = MapProjection(s, theta, x0, y0, keep=keep_main)
    px, py = proj.base([pivot[0]], [pivot[1]])
    proj.bumps = [ZoneScale(41.2, 41.7, px[0], py[0], f)]
    proj.insets = [saki]
    okinawa = _place_inset(proj, Inset((126.0, 132.0), (24.0, 29.0), k, k, 126.6, 28.7, 0, 0),
                           (126.5, 131.5, 25.6, 28.7), cells, log)
    ogasawara = _place_inset(proj, Inset((141.0, 143.0), (24.0, 28.5), 30.0, 30.0, 141.9, 27.85,
                                         0, 0), (141.95, 142.45, 26.5, 27.8), cells, log)
    proj.insets = [saki, okinawa, ogasawara]
    south = saki

    lab = raster.rasterise(cells, proj, W, H, min_cover=5)
    ccells = raster.LandCells(reg)
    ccells.code = coast_ids(ccells)
    ccells.code[ccells.code == 0] = 99  # land without a coast region
    clab = raster.rasterise(ccells, proj, W, H, min_cover=5)
    clab[lab == 0] = 0
    clab[(clab == 99)] = 0

    land = lab > 0
    # sea = water connected to the map's edge or to an inset frame edge (lakes stay out)
    water, n = ndimage.label(~land)
    border = set(np.unique(np.concatenate([water[0], water[-1], water[:, 0], water[:, -1]])))
    sea = np.isin(water, [b for b in border if b > 0])
    # enclosed bays and inland seas that the map closes off still count as sea
    for lon, lat in SEA_PROBES:
        px, py, ok = proj.project([lon], [lat])
        xi, yi = int(px[0]), int(py[0])
        if ok[0] and 0 <= xi < W and 0 <= yi < H:
            r = 4
            win = water[max(0, yi - r):yi + r + 1, max(0, xi - r):xi + r + 1]
            ids = [i for i in np.unique(win) if i > 0]
            sea |= np.isin(water, ids)
    edge = land & ndimage.binary_dilation(sea)
    band_src = np.where(edge, clab, 0)
    # widen the coast line one pixel out to sea
    _, (ri, ci) = ndimage.distance_transform_edt(band_src == 0, return_indices=True)
    near = band_src[ri, ci]
    dist = ndimage.distance_transform_edt(band_src == 0)
    band = np.where((band_src > 0) | (sea & (dist <= 2.3)), near, 0)

    tiles = []
    for slot in range(1, 67):
        ys, xs = np.nonzero(band == slot)
        if len(xs) == 0:
            raise SystemExit(f"coast {slot} {coasts.COAST_NAMES[slot - 1]}: no coast on the map")
        if slot in FIXED_TILES:
            tx, ty = FIXED_TILES[slot]
        else:
            cx = (xs.min() + xs.max() + 1) / 2
            cy = (ys.min() + ys.max() + 1) / 2
            tx = int(round(min(max(cx - TILE_W / 2, 0), W - TILE_W)))
            ty = int(round(min(max(cy - TILE_H / 2, 0), H - TILE_H)))
        inside = (xs >= tx) & (xs < tx + TILE_W) & (ys >= ty) & (ys < ty + TILE_H)
        if not inside.all():
            log(f"coast {slot:2d} {coasts.COAST_NAMES[slot - 1]}: {np.sum(~inside)} of "
                f"{len(xs)} coast pixels fall outside its tile")
        tiles.append((tx, ty))

    pref_of = {}
    for code_s, name in region_list:
        if int(code_s) < 900:
            pref_of[int(code_s)] = gd.pref_number(gd.pref_of_region_name(name))
    pref_lab = np.vectorize(lambda c: pref_of.get(int(c), 0))(lab)
    return dict(proj=proj, lab=lab, pref=pref_lab, band=band, tiles=tiles, sea=sea)


def _place_inset(proj, inset, frame_ll, cells, log):
    """Move an inset to the lowest open-sea spot, right of the inset before it."""
    lab = raster.rasterise(cells, proj, W, H, min_cover=5)
    occupied = lab > 0
    for other in proj.insets:
        if hasattr(other, "frame"):
            fx0, fy0, fx1, fy1 = other.frame
        else:
            fx0, fy0 = other.project(122.8, 25.1)
            fx1 = other.project(125.7, 24.0)[0]
        occupied[max(0, int(fy0)):H, max(0, int(fx0)):int(fx1) + 1] = True
    lon0, lon1, lat0, lat1 = frame_ll
    w = int((lon1 - lon0) * inset.sx) + 8
    h = int((lat1 - lat0) * inset.sy) + 8
    grown = ndimage.binary_dilation(occupied, iterations=3)
    for y in range(H - h, -1, -1):
        for x in range(W - w, -1, -1):
            if not grown[y:y + h, x:x + w].any():
                inset.lon_ref, inset.lat_ref = lon0, lat1
                inset.x_ref, inset.y_ref = x + 4, y + 4
                log(f"tsunami map: inset at {x},{y} ({w}x{h})")
                inset.frame = (x, y, x + w - 1, y + h - 1)
                return inset
    raise SystemExit("tsunami map: no room for an inset")


def _save(path, idx, palette, bits):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    img = Image.fromarray(idx.astype(np.uint8), "P")
    flat = [c for rgb in palette for c in rgb]
    img.putpalette(flat + [0] * (768 - len(flat)))
    img.save(path, bits=bits)


def render_map(t):
    lab, pref = t["lab"], t["pref"]
    img = np.zeros((H, W), np.uint8)
    img[lab > 0] = 1
    e = np.zeros(lab.shape, bool)
    e[:, :-1] |= (pref[:, :-1] != pref[:, 1:]) & (pref[:, 1:] > 0)
    e[:-1, :] |= (pref[:-1, :] != pref[1:, :]) & (pref[1:, :] > 0)
    img[e & (lab > 0)] = 2
    land = lab > 0
    img[land & ndimage.binary_dilation(t["sea"])] = 3
    pil = Image.fromarray(img, "P")
    d = ImageDraw.Draw(pil)
    f = ImageFont.truetype(FONT, 11)
    fs = ImageFont.truetype(FONT, 10)
    # legend panel at the top left, where the map has only sea
    d.rectangle([6, 6, 104, 78], fill=10, outline=5)
    d.text((12, 10), "津波予報", fill=4, font=f)
    for i, lv in enumerate((3, 2, 1)):
        y = 28 + i * 16
        d.rectangle([12, y + 1, 30, y + 10], fill={3: 6, 2: 7, 1: 8}[lv],
                    outline=9)
        d.text((36, y), LEVEL_NAMES[lv], fill=4, font=fs)
    # inset frames
    for ins in t["proj"].insets:
        if hasattr(ins, "frame"):
            d.rectangle(list(ins.frame), outline=5)
        else:
            x0, y0 = ins.project(122.8, 25.1)
            x1 = ins.project(125.7, 24.0)[0]
            d.rectangle([int(x0) - 2, int(y0) - 2, int(x1) + 2, H - 1], outline=5)
    return np.array(pil)


def write(t, res, contact, log):
    mp = render_map(t)
    _save(os.path.join(res, "bitmap", "TW_MAP.png"), mp, PAL, 4)
    band = t["band"]
    for slot, (tx, ty) in enumerate(t["tiles"], start=1):
        m = band[ty:ty + TILE_H, tx:tx + TILE_W] == slot
        idx = np.where(m, 0, 1)
        _save(os.path.join(res, "bitmap", f"TW_{slot:03d}.png"), idx,
              [(0, 0, 0), (255, 255, 255)] + [(0, 0, 0)] * 14, 4)
    for lv, col in LEVEL_COLOURS.items():
        _save(os.path.join(res, "bitmap", f"TW_LV{lv}.png"), np.zeros((TILE_H, TILE_W)),
              [col], 8)
    # contact sheet: every coast in its own colour, tiles outlined and numbered
    rgb = np.array(PAL + [(0, 0, 0)] * (256 - len(PAL)), np.uint8)[mp]
    from gen import distinct_colours, outlined_text
    cols = distinct_colours(66, seed=3)
    for slot, (tx, ty) in enumerate(t["tiles"], start=1):
        sub = rgb[ty:ty + TILE_H, tx:tx + TILE_W]
        m = band[ty:ty + TILE_H, tx:tx + TILE_W] == slot
        sub[m] = cols[slot - 1]
    scale = 3
    big = Image.fromarray(rgb).resize((W * scale, H * scale), Image.NEAREST)
    d = ImageDraw.Draw(big)
    f = ImageFont.truetype(FONT, 11)
    for slot, (tx, ty) in enumerate(t["tiles"], start=1):
        ys, xs = np.nonzero(band == slot)
        cx, cy = xs.mean(), ys.mean()
        d.rectangle([tx * scale, ty * scale, (tx + TILE_W) * scale - 1, (ty + TILE_H) * scale - 1],
                    outline=cols[slot - 1])
        outlined_text(d, (int(cx * scale) + 2, int(cy * scale) - 6), str(slot), f)
    big.save(os.path.join(contact, "tsunami_map.png"))
