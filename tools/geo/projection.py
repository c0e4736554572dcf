"""Map geometry shared by the generated maps.

The main map is a rotated plate carree with longitudes compressed by K,
bent locally by smooth bumps so that named regions fill given boxes.  The
southern islands (Amami, Okinawa, Daito, Sakishima) and Ogasawara are drawn
as insets with their own scale.
"""
import math

import numpy as np

K = 0.90
LON0, LAT0 = 139.43, 35.70     # base origin


class Bump:
    """Blend towards an axis-aligned scale+shift around a centre (in base px)."""

    def __init__(self, cx, cy, sigma, sx=1.0, sy=1.0, tx=0.0, ty=0.0):
        self.cx, self.cy, self.sigma = cx, cy, sigma
        self.sx, self.sy, self.tx, self.ty = sx, sy, tx, ty

    def apply(self, x, y):
        w = np.exp(-((x - self.cx) ** 2 + (y - self.cy) ** 2) / (2 * self.sigma ** 2))
        dx = (self.cx + (x - self.cx) * self.sx + self.tx) - x
        dy = (self.cy + (y - self.cy) * self.sy + self.ty) - y
        return x + w * dx, y + w * dy


class ZoneScale:
    """Scales everything north of a latitude band about a pivot point (base px),
    blending smoothly across the band, e.g. a smaller Hokkaido."""

    def __init__(self, lat_lo, lat_hi, px, py, factor):
        self.lat_lo, self.lat_hi, self.px, self.py, self.factor = lat_lo, lat_hi, px, py, factor

    def apply_ll(self, x, y, lon, lat):
        t = np.clip((np.asarray(lat) - self.lat_lo) / (self.lat_hi - self.lat_lo), 0, 1)
        w = t * t * (3 - 2 * t)
        f = 1 + (self.factor - 1) * w
        return self.px + (x - self.px) * f, self.py + (y - self.py) * f


class Inset:
    def __init__(self, lon_range, lat_range, scale_x, scale_y, lon_ref, lat_ref, x_ref, y_ref):
        self.lon_range, self.lat_range = lon_range, lat_range
        self.sx, self.sy = scale_x, scale_y
        self.lon_ref, self.lat_ref, self.x_ref, self.y_ref = lon_ref, lat_ref, x_ref, y_ref

    def contains(self, lon, lat):
        return ((lon >= self.lon_range[0]) & (lon < self.lon_range[1]) &
                (lat >= self.lat_range[0]) & (lat < self.lat_range[1]))

    def project(self, lon, lat):
        return (self.x_ref + (lon - self.lon_ref) * self.sx,
                self.y_ref - (lat - self.lat_ref) * self.sy)


class MapProjection:
    def __init__(self, scale, theta_deg, x0, y0, bumps=(), insets=(), factor=1.0,
                 keep=None):
        self.scale, self.theta = scale, math.radians(theta_deg)
        self.x0, self.y0 = x0, y0
        self.bumps = list(bumps)
        self.insets = list(insets)
        self.factor = factor       # final uniform scaling (quake map = region map * 16/15)
        self.keep = keep           # optional predicate on (lon, lat) arrays for the main map

    def base(self, lon, lat):
        e = (np.asarray(lon, float) - LON0) * K
        n = np.asarray(lat, float) - LAT0
        c, s = math.cos(self.theta), math.sin(self.theta)
        x = self.x0 + self.scale * (e * c + n * s)
        y = self.y0 - self.scale * (-e * s + n * c)
        return x, y

    def main(self, lon, lat):
        x, y = self.base(lon, lat)
        for b in self.bumps:
            if hasattr(b, "apply_ll"):
                x, y = b.apply_ll(x, y, lon, lat)
            else:
                x, y = b.apply(x, y)
        return x, y

    def project(self, lon, lat):
        """(x, y, valid) arrays; invalid where a place lies on no part of the map."""
        lon = np.atleast_1d(np.asarray(lon, float))
        lat = np.atleast_1d(np.asarray(lat, float))
        x, y = self.main(lon, lat)
        valid = np.ones(lon.shape, bool) if self.keep is None else self.keep(lon, lat)
        for ins in self.insets:
            m = ins.contains(lon, lat)
            ix, iy = ins.project(lon[m], lat[m])
            x[m], y[m] = ix, iy
            valid[m] = True
        return x * self.factor, y * self.factor, valid
