"""The fitted geometry of the region map (600 x 450), reused by the quake map."""
import numpy as np

from projection import MapProjection, Bump, Inset
import raster

REGION_W, REGION_H = 600, 450

# Boxes that the map must reproduce: (code, x, y, w, h).
FIXED_BOXES = [(10, 448, 63, 28, 36), (250, 354, 311, 36, 12), (705, 227, 431, 20, 8)]


def keep_main(lon, lat):
    # Hokkaido's Kuril neighbours and Tokara and everything further south stay
    # off the main map; the insets take the southern islands.
    return ~((lon > 145.85) & (lat > 43.2)) & (lat >= 30.0)


def region_projection(bumps=None, south=None, ogasawara=None):
    if bumps is None:
        bumps = [Bump(372, 317, 32, 1.32, 0.85, 0, 0), Bump(462, 81, 45, 1.34, 1.05, 0, 0)]
    if south is None:
        # Sakishima, Okinawa, Daito and Amami; fitted to the Yaeyama box below.
        south = Inset((122.0, 132.0), (24.0, 29.0), 14.1, 14.0, 122.93, 24.61, 227.0, 431.0)
    if ogasawara is None:
        ogasawara = Inset((141.0, 143.0), (24.0, 28.5), 45.0, 45.0, 142.19, 27.09, 462.0, 405.0)
    return MapProjection(32.0, 9.0, 369.77, 312.30, bumps=bumps,
                         insets=[south, ogasawara], keep=keep_main)


def fit_region_projection(cells, log=print):
    """Adjust bumps and the southern inset until the fixed boxes come out."""
    proj = region_projection()
    b_t, b_i = proj.bumps
    south = proj.insets[0]
    targets = {c: (x, y, w, h) for c, x, y, w, h in FIXED_BOXES}
    for it in range(12):
        lab = raster.rasterise_with_islands(cells, proj, REGION_W, REGION_H)
        done = True
        for code, bump in ((250, b_t), (10, b_i)):
            x, y, w, h = raster.bbox(lab, code)
            tx, ty, tw, th = targets[code]
            if (x, y, w, h) != (tx, ty, tw, th):
                done = False
            bump.sx *= (tw / w) ** 0.8
            bump.sy *= (th / h) ** 0.8
            bump.tx += ((tx + tw / 2) - (x + w / 2)) * 0.8
            bump.ty += ((ty + th / 2) - (y + h / 2)) * 0.8
        x, y, w, h = raster.bbox(lab, 705)
        tx, ty, tw, th = targets[705]
        if (x, w) != (tx, tw) or y < ty or y + h != ty + th:
            done = False
        f = (tw / w) ** 0.8
        south.sx *= f
        south.sy *= f
        south.x_ref += (tx - x) * 0.8
        south.y_ref += ((ty + th) - (y + h)) * 0.8
        log(f"fit {it}: " + " ".join(str(raster.bbox(lab, c)) for c, *_ in FIXED_BOXES))
        if done:
            break
    _last_fitted[0] = proj
    return proj, lab


def inset_frames(proj=None):
    """Frames (x0, y0, x1, y1, label) around the insets of the region map."""
    if proj is None:
        proj = _last_fitted[0]
    south, ogasawara = proj.insets
    sx0, sy0 = south.project(122.6, 29.0)
    sx1, sy1 = south.project(131.6, 23.9)
    ox0, oy0 = ogasawara.project(141.9, 27.85)
    ox1, oy1 = ogasawara.project(142.45, 26.45)
    return [(int(sx0), int(sy0), int(sx1), min(int(sy1), REGION_H - 2), "奄美・沖縄"),
            (int(ox0), int(oy0), int(ox1), min(int(oy1), REGION_H - 2), "小笠原")]


_last_fitted = [None]
