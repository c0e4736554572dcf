"""Region labels on the land grid: every land cell gets the region code of the
nearest observation point of its own prefecture (on the same island when that
island carries any point), so the regions follow the places that belong to them."""
import csv
import math
import os

import numpy as np
from PIL import Image, ImageDraw
from scipy import ndimage
from scipy.spatial import cKDTree

import geodata as gd

HERE = gd.HERE


def read_regions():
    rows = []
    with open(os.path.join(HERE, "regions.csv"), encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            code, name = line.split(",", 1)
            rows.append((code, name))
    return rows


def read_points():
    rows = []
    with open(os.path.join(HERE, "points.csv"), encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            name, pref, lat, lon, flag, region = line.split(",")
            rows.append(dict(name=name, pref=pref, lat=float(lat), lon=float(lon),
                             flag=flag, region=int(region)))
    return rows


def _cell(lon, lat):
    c = np.floor((np.asarray(lon) - gd.LAND_W) / gd.LAND_STEP).astype(int)
    r = np.floor((gd.LAND_N - np.asarray(lat)) / gd.LAND_STEP).astype(int)
    return r, c


def prefecture_grid(land):
    """int8 grid of prefecture numbers (0 = sea) on the land grid."""
    cache = os.path.join(gd.CACHE, "pref_grid.npy")
    if os.path.exists(cache):
        return np.load(cache)
    ny, nx = land.shape
    img = Image.new("I", (nx, ny), 0)
    draw = ImageDraw.Draw(img)
    rings = gd.prefecture_rings()
    for jp in gd.PREF_ORDER:
        num = gd.pref_number(jp)
        for ring in rings[gd.PREF_EN[jp]]:
            if len(ring) < 3:
                continue
            pts = [((lon - gd.LAND_W) / gd.LAND_STEP, (gd.LAND_N - lat) / gd.LAND_STEP)
                   for lon, lat in ring]
            draw.polygon(pts, fill=num)
    pref = np.array(img, dtype=np.int32)
    # Land outside the (coarser) prefecture outlines takes the nearest prefecture.
    # Land further than 0.1 degree from every outline is not Japan.
    dist, (ri, ci) = ndimage.distance_transform_edt(pref == 0, return_indices=True)
    pref = pref[ri, ci]
    pref[(land == 0) | (dist > 0.1 / gd.LAND_STEP)] = 0
    pref = pref.astype(np.int8)
    np.save(cache, pref)
    return pref


def region_grid(land, pref, points):
    """int16 grid of region codes (0 = sea) on the land grid."""
    cache = os.path.join(gd.CACHE, "region_grid.npy")
    stamp = os.path.join(HERE, "points.csv")
    if os.path.exists(cache) and os.path.getmtime(cache) > os.path.getmtime(stamp):
        return np.load(cache)
    out = np.zeros(land.shape, dtype=np.int16)
    for jp in gd.PREF_ORDER:
        num = gd.pref_number(jp)
        seeds = [p for p in points if p["pref"] == jp]
        mask = pref == num
        rr, cc = np.nonzero(mask)
        if len(rr) == 0 or not seeds:
            continue
        lat0 = gd.LAND_N - rr.mean() * gd.LAND_STEP
        k = math.cos(math.radians(lat0))
        cells = np.column_stack([cc * k, rr]).astype(float)
        comp, _ = ndimage.label(mask, structure=np.ones((3, 3)))
        ccomp = comp[rr, cc]
        tree = cKDTree(cells)
        sr, sc = _cell([p["lon"] for p in seeds], [p["lat"] for p in seeds])
        sxy = np.column_stack([sc * k, sr]).astype(float)
        _, near = tree.query(sxy)
        seed_comp = ccomp[near]
        codes = np.array([p["region"] for p in seeds])
        label = np.zeros(len(rr), dtype=np.int16)
        all_tree = cKDTree(sxy)
        _, idx = all_tree.query(cells)
        label[:] = codes[idx]
        for comp_id in np.unique(seed_comp):
            sel = ccomp == comp_id
            own = seed_comp == comp_id
            t = cKDTree(sxy[own])
            _, j = t.query(cells[sel])
            label[sel] = codes[own][j]
        out[rr, cc] = label
    np.save(cache, out)
    return out
