"""Packaged geographic data for the map and table generators.

Land/sea: the GSHHG shorelines of Debian's gmt-gshhg-high, rasterised by GMT's
grdlandmask on a 0.005 degree grid.  Prefectures: the 'japan' database of
Debian's r-cran-mapdata, exported by export_prefectures.R.  Both are produced
once into a cache folder (ORVA_GEO_CACHE, default /tmp/orva-geo).
"""
import os
import subprocess

import numpy as np
from shapely.geometry import Polygon, Point
from shapely.ops import unary_union
from shapely.prepared import prep

HERE = os.path.dirname(os.path.abspath(__file__))
CACHE = os.environ.get("ORVA_GEO_CACHE", "/tmp/orva-geo")

# Land grid: cell centres, west/east/south/north and step in degrees.
LAND_W, LAND_E, LAND_S, LAND_N, LAND_STEP = 122.0, 149.0, 24.0, 46.0, 0.005

PREF_EN = {
    "北海道": "Hokkaido", "青森": "Aomori", "岩手": "Iwate", "宮城": "Miyagi",
    "秋田": "Akita", "山形": "Yamagata", "福島": "Fukushima", "茨城": "Ibaraki",
    "栃木": "Tochigi", "群馬": "Gunma", "埼玉": "Saitama", "千葉": "Chiba",
    "東京": "Tokyo", "小笠原": "Tokyo", "神奈川": "Kanagawa", "新潟": "Niigata",
    "富山": "Toyama", "石川": "Ishikawa", "福井": "Fukui", "山梨": "Yamanashi",
    "長野": "Nagano", "岐阜": "Gifu", "静岡": "Shizuoka", "愛知": "Aichi",
    "三重": "Mie", "滋賀": "Shiga", "京都": "Kyoto", "大阪": "Osaka",
    "兵庫": "Hyogo", "奈良": "NARA", "和歌山": "Wakayama", "鳥取": "Tottori",
    "島根": "Shimane", "岡山": "Okayama", "広島": "Hiroshima", "山口": "Yamaguchi",
    "徳島": "Tokushima", "香川": "Kagawa", "愛媛": "Ehime", "高知": "Kochi",
    "福岡": "Fukuoka", "佐賀": "Saga", "長崎": "Nagasaki", "熊本": "Kumamoto",
    "大分": "Oita", "宮崎": "Miyazaki", "鹿児島": "Kagoshima", "沖縄": "Okinawa",
}
# Prefecture numbers (JIS order) used in the prefecture rasters.
PREF_ORDER = ["北海道", "青森", "岩手", "宮城", "秋田", "山形", "福島", "茨城", "栃木",
              "群馬", "埼玉", "千葉", "東京", "神奈川", "新潟", "富山", "石川", "福井",
              "山梨", "長野", "岐阜", "静岡", "愛知", "三重", "滋賀", "京都", "大阪",
              "兵庫", "奈良", "和歌山", "鳥取", "島根", "岡山", "広島", "山口", "徳島",
              "香川", "愛媛", "高知", "福岡", "佐賀", "長崎", "熊本", "大分", "宮崎",
              "鹿児島", "沖縄"]


def pref_of_region_name(name):
    p = name.split(" ")[0]
    return "東京" if p == "小笠原" else p


def pref_number(pref):
    return PREF_ORDER.index(pref) + 1


def _cache(name):
    os.makedirs(CACHE, exist_ok=True)
    return os.path.join(CACHE, name)


def land_grid():
    """uint8 array [row from north, column from west], 1 on land."""
    raw = _cache("land.raw")
    if not os.path.exists(raw):
        nc = _cache("land.nc")
        subprocess.run(["gmt", "grdlandmask",
                        f"-R{LAND_W:g}/{LAND_E:g}/{LAND_S:g}/{LAND_N:g}",
                        f"-I{LAND_STEP:g}", "-Dh", "-N0/1/0/1/0", "-r", "-G" + nc],
                       check=True, cwd=CACHE)
        with open(raw, "wb") as f:
            subprocess.run(["gmt", "grd2xyz", nc, "-ZTLc"], check=True, stdout=f, cwd=CACHE)
    nx = round((LAND_E - LAND_W) / LAND_STEP)
    ny = round((LAND_N - LAND_S) / LAND_STEP)
    return np.fromfile(raw, dtype=np.uint8).reshape(ny, nx)


def land_at(grid, lon, lat):
    """Vectorised land lookup (nearest cell); outside the grid is sea."""
    lon = np.asarray(lon, dtype=float)
    lat = np.asarray(lat, dtype=float)
    c = np.floor((lon - LAND_W) / LAND_STEP).astype(int)
    r = np.floor((LAND_N - lat) / LAND_STEP).astype(int)
    ok = (c >= 0) & (c < grid.shape[1]) & (r >= 0) & (r < grid.shape[0])
    out = np.zeros(lon.shape, dtype=np.uint8)
    out[ok] = grid[r[ok], c[ok]]
    return out


def prefecture_rings():
    """{English name: [list of (lon, lat) rings]} from the mapdata database."""
    txt = _cache("prefs.txt")
    if not os.path.exists(txt):
        subprocess.run(["Rscript", os.path.join(HERE, "export_prefectures.R"), txt],
                       check=True, cwd=CACHE)
    rings = {}
    cur = None
    with open(txt) as f:
        for line in f:
            if line.startswith(">"):
                cur = []
                rings.setdefault(line[1:].strip(), []).append(cur)
            else:
                x, y = line.split()
                cur.append((float(x), float(y)))
    return rings


def prefecture_shapes():
    """{Japanese prefecture: shapely geometry}."""
    rings = prefecture_rings()
    out = {}
    for jp in PREF_ORDER:
        polys = [Polygon(r).buffer(0) for r in rings[PREF_EN[jp]] if len(r) >= 3]
        out[jp] = unary_union(polys)
    return out
