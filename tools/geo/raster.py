"""Rasterising the labelled land grid through a map projection."""
import numpy as np
from scipy import ndimage

import geodata as gd


class LandCells:
    """All labelled land cells of the grid as flat arrays."""

    def __init__(self, region_grid, step=1):
        rr, cc = np.nonzero(region_grid)
        if step > 1:
            rr, cc = rr[::step], cc[::step]
        self.lon = gd.LAND_W + (cc + 0.5) * gd.LAND_STEP
        self.lat = gd.LAND_N - (rr + 0.5) * gd.LAND_STEP
        self.code = region_grid[rr, cc].astype(np.int32)


def rasterise(cells, proj, width, height, ss=4, min_cover=6):
    """Region code per pixel (0 = sea): cells splatted onto an ss-times finer
    canvas, then each pixel takes the most frequent code of its land subpixels
    when at least min_cover of the ss*ss subpixels are land."""
    x, y, valid = proj.project(cells.lon, cells.lat)
    xi = np.floor(x * ss).astype(np.int64)
    yi = np.floor(y * ss).astype(np.int64)
    ok = valid & (xi >= 0) & (xi < width * ss) & (yi >= 0) & (yi < height * ss)
    fine = np.zeros((height * ss, width * ss), dtype=np.int32)
    fine[yi[ok], xi[ok]] = cells.code[ok]
    # close pinholes between splatted cells (only sea subpixels surrounded by land)
    holes = (fine == 0) & (ndimage.uniform_filter((fine > 0).astype(float), 3) >= 0.75)
    if holes.any():
        mx = ndimage.maximum_filter(fine, 3)
        fine[holes] = mx[holes]
    blocks = fine.reshape(height, ss, width, ss).transpose(0, 2, 1, 3).reshape(height, width, ss * ss)
    land = (blocks > 0).sum(axis=2)
    srt = np.sort(blocks, axis=2)
    # mode of the non-zero values: run lengths on the sorted values
    best = np.zeros((height, width), dtype=np.int32)
    bestn = np.zeros((height, width), dtype=np.int32)
    run = np.ones((height, width), dtype=np.int32)
    for k in range(1, ss * ss + 1):
        if k < ss * ss:
            same = srt[:, :, k] == srt[:, :, k - 1]
        else:
            same = np.zeros((height, width), bool)
        end = ~same
        val = srt[:, :, k - 1]
        upd = end & (val > 0) & (run > bestn)
        best[upd] = val[upd]
        bestn[upd] = run[upd]
        run = np.where(same, run + 1, 1)
    best[land < min_cover] = 0
    return best


def bbox(labels, code):
    ys, xs = np.nonzero(labels == code)
    if len(xs) == 0:
        return None
    return xs.min(), ys.min(), xs.max() - xs.min() + 1, ys.max() - ys.min() + 1


# Regions made of small islands: their pixels count as land from a smaller
# share of covered subpixels, so that small islands stay on the map.
ISLAND_CODES = {255, 260, 265, 305, 514, 630, 635, 680, 685, 700, 701, 702, 705, 706, 710}


def rasterise_with_islands(cells, proj, width, height, ss=4, min_cover=6, island_cover=2,
                           island_codes=ISLAND_CODES):
    main = rasterise(cells, proj, width, height, ss, min_cover)
    loose = rasterise(cells, proj, width, height, ss, island_cover)
    add = (main == 0) & np.isin(loose, list(island_codes))
    main[add] = loose[add]
    return main
