"""The smaller pictures: legend (106), wizard pages (103, 104, 107), tips
picture (105), the spare small region map (102), the tray and program icons;
and their contact sheet."""
import os

import numpy as np
from PIL import Image, ImageDraw, ImageFont

FONT = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"
FONT_P = "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf"


def font(size, prop=False):
    path = FONT_P if prop and os.path.exists(FONT_P) else FONT
    return ImageFont.truetype(path, size)


def confidence_colour(v):
    """The user-quake map's colour for confidence v (0-100)."""
    if v < 50:
        r, g, b = 255 - v / 50 * 11, 255 - v / 50 * 95, 255 - v / 50 * 191
    else:
        u = v - 50
        r, g, b = 244 - u / 50 * 4, 160 - u / 50 * 32, 64 - u / 50 * 64
    return tuple(int(round(c)) for c in (r, g, b))


def outlined(draw, xy, text, fnt, fill=(255, 255, 255), outline=(0, 0, 0)):
    x, y = xy
    for dx in (-1, 0, 1):
        for dy in (-1, 0, 1):
            draw.text((x + dx, y + dy), text, fill=outline, font=fnt)
    draw.text((x, y), text, fill=fill, font=fnt)


def save_gif(img, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    img.convert("RGB").quantize(colors=255, method=Image.MEDIANCUT, dither=Image.NONE).save(path)


# ------------------------------------------------------------------ legend

def legend():
    w, h = 54, 132
    img = Image.new("RGB", (w, h), (255, 255, 255))
    d = ImageDraw.Draw(img)
    d.rectangle([0, 0, w - 1, h - 1], outline=(96, 96, 96))
    d.text((6, 3), "信頼度", fill=(0, 0, 0), font=font(12))
    grades = [("A", 100, "高"), ("B", 80, ""), ("C", 60, ""), ("D", 40, ""), ("E", 20, ""),
              ("F", 0, "低")]
    f = font(12)
    fs = font(10)
    for i, (letter, v, note) in enumerate(grades):
        y = 20 + i * 18
        col = confidence_colour(v)
        d.rectangle([6, y, 27, y + 15], fill=col, outline=(128, 128, 128))
        outlined(d, (12, y + 1), letter, f)
        d.text((32, y + 2), note, fill=(0, 0, 0), font=fs)
    # a bar between 高 and 低
    d.line([(37, 37), (37, 108)], fill=(160, 160, 160), width=1)
    return img


# ----------------------------------------------------------- wizard/tips

def gradient(w, h, top, bottom):
    a = np.linspace(0, 1, h)[:, None, None]
    arr = (np.array(top)[None, None, :] * (1 - a) + np.array(bottom)[None, None, :] * a)
    return Image.fromarray(np.repeat(arr, w, axis=1).astype(np.uint8))


def japan_silhouette(land, size, colour):
    """Japan's main islands from the region map as a solid shape of the given size."""
    mask = Image.fromarray(np.where(land, 255, 0).astype(np.uint8)).crop((30, 0, 600, 450))
    mask = mask.resize(size, Image.LANCZOS)
    layer = Image.new("RGB", size, colour)
    return layer, mask


def wizard_page(land, title, sub, motif):
    w, h = 128, 200
    img = gradient(w, h, (28, 64, 128), (120, 176, 224))
    layer, mask = japan_silhouette(land, (120, 95), (236, 240, 244))
    img.paste(layer, (4, 52), mask)
    d = ImageDraw.Draw(img)
    d.text((8, 8), "Orvalis", fill=(255, 255, 255), font=font(18, True))
    d.line([(8, 32), (120, 32)], fill=(200, 220, 255))
    if motif == "region":
        # a marked place and ripples over Kanto
        cx, cy = 88, 106
        for r in (18, 12, 6):
            d.ellipse([cx - r, cy - r, cx + r, cy + r], outline=(240, 128, 0), width=2)
        d.ellipse([cx - 3, cy - 3, cx + 3, cy + 3], fill=(224, 32, 32))
    elif motif == "plugin":
        for (x, y, col) in ((14, 150, (255, 255, 255)), (46, 128, (255, 236, 160))):
            d.rounded_rectangle([x, y, x + 66, y + 26], radius=8, fill=col, outline=(60, 80, 120))
            d.polygon([(x + 12, y + 26), (x + 20, y + 26), (x + 10, y + 34)], fill=col,
                      outline=(60, 80, 120))
            for k in range(3):
                d.ellipse([x + 18 + k * 12, y + 11, x + 22 + k * 12, y + 15], fill=(60, 80, 120))
    elif motif == "done":
        d.ellipse([74, 138, 118, 182], fill=(255, 255, 255), outline=(40, 140, 60), width=3)
        d.line([(84, 160), (94, 170), (110, 148)], fill=(40, 140, 60), width=5)
    d.text((8, 36), title, fill=(255, 255, 255), font=font(12))
    if sub:
        d.text((8, 184), sub, fill=(20, 40, 80), font=font(10))
    return img


def tips_picture():
    w, h = 150, 50
    img = gradient(w, h, (220, 236, 255), (120, 170, 230))
    d = ImageDraw.Draw(img)
    # a wave and a hill with an arrow upwards
    pts = [(x, 34 + 6 * np.sin(x / 9.0)) for x in range(0, 70)]
    d.polygon(pts + [(70, 50), (0, 50)], fill=(30, 90, 180))
    d.polygon([(70, 50), (96, 20), (122, 50)], fill=(90, 150, 80))
    d.line([(96, 44), (96, 12)], fill=(224, 32, 32), width=3)
    d.polygon([(90, 16), (102, 16), (96, 6)], fill=(224, 32, 32))
    d.text((4, 4), "すぐに高台へ", fill=(10, 30, 80), font=font(13))
    return img


def small_region_map(region_rgb):
    return Image.fromarray(np.asarray(region_rgb)).resize((300, 225), Image.LANCZOS)


# ------------------------------------------------------------------- icons

CLIENT_STATES = [
    # index: (ring colour, badge, meaning)
    ((40, 190, 70), None, "参加中（ピア接続あり）"),
    ((150, 150, 150), "x", "未接続"),
    ((240, 190, 0), "dots", "サーバーへ接続中"),
    ((70, 160, 240), None, "サーバー接続済み"),
    ((40, 110, 230), "arrows", "サーバーと通信中"),
    ((0, 190, 190), "dots", "ピアへ接続中"),
    ((255, 140, 0), "!", "参加中・サーバー到達不能"),
    ((170, 210, 60), "hollow", "参加中・ピアなし"),
    ((220, 40, 40), "!", "サーバー到達不能・ピアなし"),
]

PLUGIN_STATES = [
    ((40, 190, 70), None, "参加中"),
    ((150, 150, 150), None, "未参加・接続中"),
    ((255, 140, 0), "!", "新着メッセージ"),
]


def _badge(d, kind, s, col):
    bx, by, br = int(s * 0.74), int(s * 0.74), int(s * 0.25)
    if kind is None or kind == "hollow":
        return
    d.ellipse([bx - br, by - br, bx + br, by + br], fill=(255, 255, 255), outline=(40, 40, 40),
              width=max(1, s // 32))
    lw = max(2, s // 14)
    if kind == "x":
        k = br * 0.5
        d.line([(bx - k, by - k), (bx + k, by + k)], fill=(90, 90, 90), width=lw)
        d.line([(bx - k, by + k), (bx + k, by - k)], fill=(90, 90, 90), width=lw)
    elif kind == "!":
        d.line([(bx, by - br * 0.6), (bx, by + br * 0.15)], fill=col, width=lw + 1)
        d.ellipse([bx - lw / 1.4, by + br * 0.35, bx + lw / 1.4, by + br * 0.35 + lw * 1.4], fill=col)
    elif kind == "dots":
        for k in (-1, 0, 1):
            cx = bx + k * br * 0.55
            d.ellipse([cx - lw / 1.5, by - lw / 1.5, cx + lw / 1.5, by + lw / 1.5], fill=col)
    elif kind == "arrows":
        k = br * 0.55
        d.line([(bx - k, by - k * 0.4), (bx + k, by - k * 0.4)], fill=col, width=lw)
        d.polygon([(bx + k, by - k * 0.9), (bx + k, by + k * 0.1), (bx + k * 1.5, by - k * 0.4)], fill=col)
        d.line([(bx - k, by + k * 0.5), (bx + k, by + k * 0.5)], fill=col, width=lw)
        d.polygon([(bx - k, by), (bx - k, by + k), (bx - k * 1.5, by + k * 0.5)], fill=col)


def client_icon(state, size):
    col, badge, _ = CLIENT_STATES[state]
    s = 128
    img = Image.new("RGBA", (s, s), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    # a disc with a seismic trace across it
    fill = col if badge != "hollow" else (255, 255, 255)
    d.ellipse([6, 6, s - 6, s - 6], fill=fill, outline=(30, 40, 60), width=7)
    if badge == "hollow":
        d.ellipse([18, 18, s - 18, s - 18], outline=col, width=12)
    trace = [(14, 64), (34, 64), (44, 40), (56, 92), (68, 28), (80, 84), (90, 56), (100, 64), (114, 64)]
    d.line(trace, fill=(255, 255, 255) if badge != "hollow" else (30, 40, 60), width=9, joint="curve")
    d.line(trace, fill=(30, 40, 60) if badge != "hollow" else col, width=3, joint="curve")
    _badge(d, badge, s, col)
    return img.resize((size, size), Image.LANCZOS)


def plugin_icon(state, size):
    col, badge, _ = PLUGIN_STATES[state]
    s = 128
    img = Image.new("RGBA", (s, s), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.rounded_rectangle([8, 14, s - 8, 92], radius=22, fill=col, outline=(30, 40, 60), width=7)
    d.polygon([(30, 88), (58, 88), (22, 120)], fill=col, outline=(30, 40, 60))
    d.line([(31, 86), (57, 86)], fill=col, width=8)
    for k in range(3):
        cx = 40 + k * 24
        d.ellipse([cx - 8, 45, cx + 8, 61], fill=(255, 255, 255))
    _badge(d, badge, s, col)
    return img.resize((size, size), Image.LANCZOS)


def write_all(res, contact, region_rgb, land, log):
    custom = os.path.join(res, "custom")
    icons = os.path.join(res, "icon")
    os.makedirs(icons, exist_ok=True)
    pics = {
        102: small_region_map(region_rgb),
        103: wizard_page(land, "地域を設定します", "地震感知情報", "region"),
        107: wizard_page(land, "情報共有プラグイン", "メッセージ", "plugin"),
        104: wizard_page(land, "設定が完了しました", "", "done"),
        105: tips_picture(),
        106: legend(),
    }
    for pid, img in pics.items():
        save_gif(img, os.path.join(custom, f"{pid}.gif"))
    for i in range(len(CLIENT_STATES)):
        client_icon(i, 32).save(os.path.join(icons, f"client_tray{i}.png"))
    for i in range(len(PLUGIN_STATES)):
        plugin_icon(i, 32).save(os.path.join(icons, f"plugin_tray{i}.png"))
    for size in (16, 32, 48):
        client_icon(0, size).save(os.path.join(icons, f"client_program{size}.png"))
        plugin_icon(0, size).save(os.path.join(icons, f"plugin_program{size}.png"))

    # contact sheet
    sheet = Image.new("RGB", (760, 560), (236, 236, 236))
    d = ImageDraw.Draw(sheet)
    f = font(11)
    x = 10
    for pid in (103, 107, 104):
        sheet.paste(Image.open(os.path.join(custom, f"{pid}.gif")).convert("RGB"), (x, 24))
        d.text((x, 6), f"{pid}", fill=(0, 0, 0), font=f)
        x += 140
    sheet.paste(Image.open(os.path.join(custom, "106.gif")).convert("RGB"), (440, 24))
    d.text((440, 6), "106", fill=(0, 0, 0), font=f)
    big = Image.open(os.path.join(custom, "106.gif")).convert("RGB").resize((108, 264), Image.NEAREST)
    sheet.paste(big, (510, 24))
    sheet.paste(Image.open(os.path.join(custom, "105.gif")).convert("RGB"), (10, 250))
    d.text((10, 234), "105", fill=(0, 0, 0), font=f)
    sheet.paste(Image.open(os.path.join(custom, "102.gif")).convert("RGB"), (170, 250))
    d.text((170, 234), "102", fill=(0, 0, 0), font=f)
    y = 300
    for i, (_, _, meaning) in enumerate(CLIENT_STATES):
        ix, iy = 490 + (i % 3) * 90, y + (i // 3) * 70 - 10
        ic = Image.open(os.path.join(icons, f"client_tray{i}.png"))
        sheet.paste(ic, (ix, iy), ic)
        sm = ic.resize((16, 16), Image.LANCZOS)
        sheet.paste(sm, (ix + 40, iy + 8), sm)
        d.text((ix - 10, iy + 36), f"{i} {meaning}"[:12], fill=(0, 0, 0), font=font(9))
    for i, (_, _, meaning) in enumerate(PLUGIN_STATES):
        ix, iy = 10 + i * 110, 500
        ic = Image.open(os.path.join(icons, f"plugin_tray{i}.png"))
        sheet.paste(ic, (ix, iy), ic)
        sm = ic.resize((16, 16), Image.LANCZOS)
        sheet.paste(sm, (ix + 40, iy + 8), sm)
        d.text((ix, iy + 36), f"plugin {i} {meaning}", fill=(0, 0, 0), font=font(9))
    sheet.save(os.path.join(contact, "pictures.png"))
    log("pictures done")
