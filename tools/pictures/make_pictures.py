#!/usr/bin/python3
"""Draws the skin of the update dialogs: backgrounds, status pictures,
headline captions, button faces and the progress bar pieces.

Run with Debian's python3 and python3-pil; the captions need the WenQuanYi
Zen Hei font (fonts-wqy-zenhei). A caption's words are those of its string
in the resource script (IDS_CAPTION_*), which the dialog also gives the
caption's control as its window text. The results are committed, so
building the program needs neither:

    tools/pictures/make_pictures.py [output folder]   (default src/ui/res/pictures)
"""
import math
import os
import re
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

FONT = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"
RESOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "ui", "res")
SCALE = 4  # drawn large, then reduced: smooth edges without a vector library

TITLE_BAND = 30  # the top rows that drag the window
BLUE_TOP = (33, 150, 243)
BLUE_BOTTOM = (21, 101, 192)
BODY = (246, 249, 252)
STRIP = (233, 237, 242)
STRIP_LINE = (214, 220, 228)
HEADLINE = (21, 101, 192)


def big(size):
    return Image.new("RGBA", (size[0] * SCALE, size[1] * SCALE), (0, 0, 0, 0))


def reduce(image):
    return image.resize((image.width // SCALE, image.height // SCALE), Image.LANCZOS)


def s(value):
    return int(round(value * SCALE))


def vertical_gradient(draw, box, top, bottom):
    x0, y0, x1, y1 = box
    for y in range(y0, y1):
        t = (y - y0) / max(1, y1 - y0 - 1)
        color = tuple(int(a + (b - a) * t) for a, b in zip(top, bottom))
        draw.line([(x0, y), (x1 - 1, y)], fill=color + (255,))


def background(width, height, strip_height, emblem=False):
    image = Image.new("RGBA", (width, height), BODY + (255,))
    draw = ImageDraw.Draw(image)
    if emblem:
        # The notification's title is drawn in its dark text colour: a lighter band.
        vertical_gradient(draw, (0, 0, width, TITLE_BAND), (144, 202, 249), (100, 181, 246))
    else:
        vertical_gradient(draw, (0, 0, width, TITLE_BAND), BLUE_TOP, BLUE_BOTTOM)
    # a faint highlight under the band's top edge
    draw.line([(0, 0), (width - 1, 0)], fill=(100, 181, 246, 255))
    strip_top = height - strip_height
    vertical_gradient(draw, (0, strip_top, width, height), (238, 241, 245), STRIP)
    draw.line([(0, strip_top), (width - 1, strip_top)], fill=STRIP_LINE + (255,))
    # one-pixel frame so the window stands off any desktop
    draw.rectangle([0, 0, width - 1, height - 1], outline=(25, 118, 210, 255))
    if emblem:
        icon = globe(84)
        image.alpha_composite(icon, (14, 72))
    return image


def arrow_ring(draw, center, radius, width, color, start, sweep):
    """An arc with an arrowhead at its end, angles in degrees."""
    cx, cy = center
    box = [cx - radius, cy - radius, cx + radius, cy + radius]
    draw.arc(box, start, start + sweep, fill=color, width=width)
    end = math.radians(start + sweep)
    tip_x, tip_y = cx + radius * math.cos(end), cy + radius * math.sin(end)
    # the arrowhead points along the direction of travel (clockwise)
    tangent = end + math.pi / 2
    head = width * 1.9
    back_x, back_y = tip_x - head * math.cos(tangent), tip_y - head * math.sin(tangent)
    normal = end
    spread = width * 1.25
    points = [
        (tip_x + head * 0.55 * math.cos(tangent), tip_y + head * 0.55 * math.sin(tangent)),
        (back_x + spread * math.cos(normal), back_y + spread * math.sin(normal)),
        (back_x - spread * math.cos(normal), back_y - spread * math.sin(normal)),
    ]
    draw.polygon(points, fill=color)


def globe(size):
    image = big((size, size))
    draw = ImageDraw.Draw(image)
    c = s(size / 2)
    ring = s(size * 0.43)
    arrow_color = (25, 118, 210, 255)
    arrow_ring(draw, (c, c), ring, s(size * 0.07), arrow_color, 200, 130)
    arrow_ring(draw, (c, c), ring, s(size * 0.07), arrow_color, 20, 130)
    r = s(size * 0.29)
    # the globe: a shaded sphere with a light grid
    sphere = Image.new("RGBA", image.size, (0, 0, 0, 0))
    sd = ImageDraw.Draw(sphere)
    for i in range(r, 0, -1):
        t = i / r
        color = (int(66 + (30 - 66) * t), int(165 + (136 - 165) * t), int(245 + (229 - 245) * t), 255)
        offset = int((r - i) * 0.35)
        sd.ellipse([c - i - offset, c - i - offset, c + i - offset, c + i - offset], fill=color)
    mask = Image.new("L", image.size, 0)
    ImageDraw.Draw(mask).ellipse([c - r, c - r, c + r, c + r], fill=255)
    grid = ImageDraw.Draw(sphere)
    line = (227, 242, 253, 200)
    lw = max(1, s(size * 0.018))
    for k in (-0.55, 0, 0.55):
        y = c + int(k * r)
        half = int(math.sqrt(max(0.0, r * r - (y - c) ** 2)))
        grid.line([(c - half, y), (c + half, y)], fill=line, width=lw)
    for k in (0.35, 0.75):
        w = int(r * k)
        grid.ellipse([c - w, c - r, c + w, c + r], outline=line, width=lw)
    grid.line([(c, c - r), (c, c + r)], fill=line, width=lw)
    image.paste(sphere, (0, 0), mask)
    draw.ellipse([c - r, c - r, c + r, c + r], outline=(21, 101, 192, 255), width=lw)
    return reduce(image)


def warning_sign(size):
    image = big((size, size))
    draw = ImageDraw.Draw(image)
    c = s(size / 2)
    r = s(size * 0.46)
    shadow = big((size, size))
    ImageDraw.Draw(shadow).ellipse([c - r, c - r + s(2), c + r, c + r + s(2)], fill=(0, 0, 0, 60))
    shadow = shadow.filter(ImageFilter.GaussianBlur(s(1.5)))
    image.alpha_composite(shadow)
    for i in range(r, 0, -1):
        t = i / r
        color = (255, int(213 + (179 - 213) * t), int(79 + (0 - 79) * t), 255)
        offset = int((r - i) * 0.3)
        draw.ellipse([c - i - offset, c - i - offset, c + i - offset, c + i - offset], fill=color)
    draw.ellipse([c - r, c - r, c + r, c + r], outline=(230, 145, 0, 255), width=s(1.5))
    bar_w = s(size * 0.11)
    draw.rounded_rectangle([c - bar_w / 2, c - r * 0.58, c + bar_w / 2, c + r * 0.18], radius=bar_w / 2,
                           fill=(255, 255, 255, 255))
    dot = s(size * 0.075)
    dy = c + r * 0.45
    draw.ellipse([c - dot, dy - dot, c + dot, dy + dot], fill=(255, 255, 255, 255))
    return reduce(image)


def caption(text, width, height, color=HEADLINE, size=16):
    image = big((width, height))
    draw = ImageDraw.Draw(image)
    font = ImageFont.truetype(FONT, s(size))
    box = draw.textbbox((0, 0), text, font=font)
    y = (s(height) - (box[3] - box[1])) / 2 - box[1]
    # the font has no bold cut: a stroke in the same colour stands in
    draw.text((0, y), text, font=font, fill=color + (255,), stroke_width=s(0.35), stroke_fill=color + (255,))
    return reduce(image)


def caption_words():
    """The string table's IDS_CAPTION_* texts by name, from the GBK resource script."""
    with open(os.path.join(RESOURCES, "dialogs.rc"), "rb") as script:
        text = script.read().decode("gbk")
    return dict(re.findall(r'^\s*(IDS_CAPTION_\w+)\s+"([^"]*)"', text, re.M))


def button_face(top, bottom, border, width=73, height=28):
    image = big((width, height))
    face = big((width, height))
    fd = ImageDraw.Draw(face)
    vertical_gradient(fd, (0, 0, face.width, face.height), top, bottom)
    mask = Image.new("L", face.size, 0)
    radius = s(5)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, face.width - 1, face.height - 1], radius=radius, fill=255)
    image.paste(face, (0, 0), mask)
    ImageDraw.Draw(image).rounded_rectangle([s(0.5), s(0.5), face.width - s(0.5), face.height - s(0.5)],
                                            radius=radius, outline=border + (255,), width=s(1))
    return reduce(image)


def close_face(fill, cross):
    width, height = 39, 22
    image = big((width, height))
    draw = ImageDraw.Draw(image)
    if fill is not None:
        draw.rectangle([0, 0, image.width, image.height], fill=fill + (255,))
    cx, cy, k = s(width / 2), s(height / 2), s(4.5)
    for a, b in (((cx - k, cy - k), (cx + k, cy + k)), ((cx - k, cy + k), (cx + k, cy - k))):
        draw.line([a, b], fill=cross + (255,), width=s(1.6))
    return reduce(image)


def bar_piece(width, height, fill_top, fill_bottom, round_left, round_right, behind):
    """A progress piece on an opaque background (bitmaps have no alpha)."""
    image = Image.new("RGB", (s(width), s(height)), behind)
    piece = Image.new("RGB", image.size)
    vertical_gradient(ImageDraw.Draw(piece), (0, 0, piece.width, piece.height), fill_top, fill_bottom)
    mask = Image.new("L", image.size, 0)
    md = ImageDraw.Draw(mask)
    radius = s(height / 2)
    left = 0 if round_left else -2 * radius
    right = image.width - 1 if round_right else image.width - 1 + 2 * radius
    md.rounded_rectangle([left, s(1), right, image.height - 1 - s(1)], radius=radius - s(1), fill=255)
    image.paste(piece, (0, 0), mask)
    return image.resize((width, height), Image.LANCZOS)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(RESOURCES, "pictures")
    os.makedirs(out, exist_ok=True)

    def save(name, image):
        image.save(os.path.join(out, name), optimize=True)

    save("update_background.png", background(430, 230, 48))         # 19536
    save("notify_background.png", background(350, 230, 48, True))   # 19523
    save("update_available.png", globe(84))                         # 19531
    save("up_to_date.png", warning_sign(80))                        # 19530
    words = caption_words()
    save("caption_found.png", caption(words["IDS_CAPTION_FOUND"], 132, 20))                  # 19533
    save("caption_none.png", caption(words["IDS_CAPTION_NONE"], 132, 20))                    # 19534
    save("caption_check_failed.png", caption(words["IDS_CAPTION_CHECK_FAILED"], 132, 20))    # 19537
    save("caption_downloading.png", caption(words["IDS_CAPTION_DOWNLOADING"], 214, 20))      # 19532
    save("caption_installing.png", caption(words["IDS_CAPTION_INSTALLING"], 214, 20))        # 19535
    save("caption_update_failed.png", caption(words["IDS_CAPTION_UPDATE_FAILED"], 132, 20))  # 19538
    save("button_normal.png", button_face((255, 255, 255), (236, 240, 244), (190, 199, 209)))  # 19525
    save("button_hover.png", button_face((66, 165, 245), (30, 136, 229), (25, 118, 210)))      # 19526
    save("button_pressed.png", button_face((25, 118, 210), (21, 101, 192), (13, 71, 161)))     # 19524
    save("close_normal.png", close_face(None, (255, 255, 255)))                # 19527
    save("close_hover.png", close_face((232, 17, 35), (255, 255, 255)))        # 19529
    save("close_pressed.png", close_face((176, 12, 26), (255, 255, 255)))      # 19528

    track = bar_piece(300, 12, (222, 228, 235), (233, 238, 243), True, True, BODY)
    save("progress_track.bmp", track)                                                          # 19500
    save("progress_left.bmp", bar_piece(10, 12, (100, 181, 246), (30, 136, 229), True, False, BODY))   # 19502
    save("progress_middle.bmp", bar_piece(5, 12, (100, 181, 246), (30, 136, 229), False, False, BODY))  # 19501
    save("progress_right.bmp", bar_piece(10, 12, (100, 181, 246), (30, 136, 229), False, True, BODY))  # 19503


if __name__ == "__main__":
    main()
