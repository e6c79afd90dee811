#!/usr/bin/python3
"""Draws the editor's images into resources/img/.

Run with Debian's Python and python3-cairo (fonts: fonts-liberation,
fonts-dejavu-core):

    /usr/bin/python3 tools/artwork/make_artwork.py [--scale 1|1.5|2]

Every image is drawn at each scale of the editor (all three by default):
NAME.png at 100 %, NAME-150.png and NAME-200.png at 150 % and 200 %. The
scaled ones are drawn again at that size, not resampled, so text and edges
stay sharp.

The build never runs this: the PNGs it writes are committed. Output is always
8-bit RGBA (cairo's own writer drops the alpha channel of opaque images), and
every random texture is seeded, so a second run writes the same files.
"""

import argparse
import math
import os
import random
import struct
import subprocess
import sys
import zlib

import cairo

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
OUT = os.path.join(ROOT, "resources", "img")

W, H = 683, 174

# Layout of the editor (left, top, right, bottom); the code places the controls here.
PRESET_BUTTON = (10, 12, 40, 42)
ONLINE_AREA = (516, 12, 664, 40)
RANGE_RECT = (20, 96, 68, 156)
DELAY_SYNC_X = 83
LFO_SYNC_X = 333
SWITCH_TOP = 94
KNOB_TOP = 100
KNOBS = [(120, "TIME"), (186, "FEEDBACK"), (274, "LFO SPEED"), (372, "LFO DEPTH"), (460, "MIX"), (526, "QUALITY")]
BUTTON_X = 605
BUTTON_YS = (80, 108, 136)
RANGE_TEXTS = ("1-8", "4-31", "16-125", "63-500", "250-2000")

# Group inlays: (left, right, title). Each is centred on the controls it holds.
PANEL_TOP, PANEL_BOTTOM = 58, 169
GROUPS = [(12, 238, "DELAY"), (246, 440, "LFO"), (450, 576, "OUTPUT"), (597, 675, "TOOLS")]

# Palette
METAL_TOP = (0.205, 0.212, 0.226)
METAL_BOTTOM = (0.150, 0.155, 0.168)
INLAY = (0.085, 0.089, 0.098)
AMBER = (1.0, 0.62, 0.16)
AMBER_DIM = (0.30, 0.17, 0.06)
LEGEND = (0.86, 0.84, 0.79)
LEGEND_DIM = (0.60, 0.59, 0.56)

SANS = "Liberation Sans"
NARROW = "Liberation Sans Narrow"

# Editor scale -> file name suffix.
SCALES = {1: "", 1.5: "-150", 2: "-200"}


def D(v, s):
    """Device pixel of logical coordinate v at scale s, rounded as the editor rounds it."""
    return math.floor(v * s + 0.5)


def check_fonts():
    # fontconfig quietly substitutes a missing family, which would redraw every
    # legend in another face without a word.
    for family in (SANS, NARROW):
        try:
            got = subprocess.run(["fc-match", "-f", "%{family}", family], capture_output=True,
                                 text=True, check=True).stdout
        except (OSError, subprocess.CalledProcessError) as e:
            sys.exit("cannot ask fontconfig for %s: %s" % (family, e))
        if family not in got.split(","):
            sys.exit("font %r is missing (fontconfig offers %r): install fonts-liberation" % (family, got))


# --- output -------------------------------------------------------------------

def write_rgba_png(surface, path):
    """Writes an ARGB32 surface as an 8-bit RGBA PNG with straight alpha."""
    surface.flush()
    w, h, stride = surface.get_width(), surface.get_height(), surface.get_stride()
    data = bytes(surface.get_data())
    little = sys.byteorder == "little"
    rows = bytearray()
    for y in range(h):
        rows.append(0)  # filter: none
        row = data[y * stride:y * stride + 4 * w]
        for x in range(w):
            if little:
                b, g, r, a = row[4 * x:4 * x + 4]
            else:
                a, r, g, b = row[4 * x:4 * x + 4]
            if 0 < a < 255:
                r = min(255, (r * 255 + a // 2) // a)
                g = min(255, (g * 255 + a // 2) // a)
                b = min(255, (b * 255 + a // 2) // a)
            elif a == 0:
                r = g = b = 0
            rows += bytes((r, g, b, a))

    def chunk(kind, payload):
        c = kind + payload
        return struct.pack(">I", len(payload)) + c + struct.pack(">I", zlib.crc32(c) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# --- drawing helpers ------------------------------------------------------------

def font_options(ctx):
    fo = cairo.FontOptions()
    fo.set_antialias(cairo.ANTIALIAS_GRAY)
    fo.set_hint_style(cairo.HINT_STYLE_SLIGHT)
    fo.set_hint_metrics(cairo.HINT_METRICS_ON)
    ctx.set_font_options(fo)


def rounded(ctx, x, y, w, h, r):
    ctx.new_sub_path()
    ctx.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    ctx.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    ctx.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    ctx.arc(x + r, y + r, r, math.pi, 3 * math.pi / 2)
    ctx.close_path()


# The toy text API does not kern; these capital pairs look gappy without it.
KERN_PAIRS = {"LA", "AY", "AT", "TA", "AV", "VA", "LT", "LY", "PA", "FA"}
KERN = -0.07  # em


def advance(ctx, text, i, spacing):
    a = ctx.text_extents(text[i]).x_advance + spacing
    if text[i:i + 2] in KERN_PAIRS:
        a += KERN * ctx.get_font_matrix().xx
    return a


def text_width(ctx, text, spacing):
    return sum(advance(ctx, text, i, spacing) for i in range(len(text))) - spacing


def spaced_text(ctx, text, cx, baseline, spacing=0.0, align="center"):
    """Draws text with extra letter spacing, centred on cx (or left/right aligned)."""
    width = text_width(ctx, text, spacing)
    if align == "center":
        x = cx - width / 2
    elif align == "right":
        x = cx - width
    else:
        x = cx
    dx, dy = ctx.user_to_device(x, baseline)
    x = ctx.device_to_user(round(dx * 2) / 2, dy)[0]
    for i, ch in enumerate(text):
        ctx.move_to(x, baseline)
        ctx.show_text(ch)
        x += advance(ctx, text, i, spacing)
    return width


def engraved_text(ctx, text, cx, baseline, size, colour, spacing=0.0, bold=True, family=SANS,
                  align="center", alpha=1.0):
    """Light legend with a dark cut above and a faint highlight below, as if engraved and filled."""
    ctx.select_font_face(family, cairo.FONT_SLANT_NORMAL,
                         cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(size)
    ctx.set_source_rgba(0, 0, 0, 0.55 * alpha)
    spaced_text(ctx, text, cx, baseline - 0.6, spacing, align)
    ctx.set_source_rgba(1, 1, 1, 0.06 * alpha)
    spaced_text(ctx, text, cx, baseline + 0.8, spacing, align)
    ctx.set_source_rgba(*colour, alpha)
    spaced_text(ctx, text, cx, baseline, spacing, align)


def screw(ctx, cx, cy, r, angle):
    g = cairo.RadialGradient(cx - r * 0.3, cy - r * 0.4, 0.5, cx, cy, r)
    g.add_color_stop_rgb(0, 0.78, 0.79, 0.80)
    g.add_color_stop_rgb(0.6, 0.45, 0.46, 0.48)
    g.add_color_stop_rgb(1, 0.22, 0.23, 0.24)
    ctx.arc(cx, cy + 0.6, r + 0.6, 0, 2 * math.pi)
    ctx.set_source_rgba(0, 0, 0, 0.6)
    ctx.fill()
    ctx.arc(cx, cy, r, 0, 2 * math.pi)
    ctx.set_source(g)
    ctx.fill()
    # Cross recess
    ctx.set_line_width(1.1)
    ctx.set_line_cap(cairo.LINE_CAP_BUTT)
    for a in (angle, angle + math.pi / 2):
        dx, dy = math.cos(a) * r * 0.72, math.sin(a) * r * 0.72
        ctx.move_to(cx - dx, cy - dy)
        ctx.line_to(cx + dx, cy + dy)
    ctx.set_source_rgba(0.08, 0.08, 0.09, 0.9)
    ctx.stroke()


def led(ctx, cx, cy, r, lit):
    """A round amber LED in a dark bezel."""
    ctx.arc(cx, cy, r + 1.0, 0, 2 * math.pi)
    ctx.set_source_rgba(0, 0, 0, 0.85)
    ctx.fill()
    if lit:
        glow = cairo.RadialGradient(cx, cy, 0, cx, cy, r + 3.5)
        glow.add_color_stop_rgba(0, *AMBER, 0.55)
        glow.add_color_stop_rgba(1, *AMBER, 0.0)
        ctx.arc(cx, cy, r + 3.5, 0, 2 * math.pi)
        ctx.set_source(glow)
        ctx.fill()
        body = cairo.RadialGradient(cx - r * 0.3, cy - r * 0.35, 0.2, cx, cy, r)
        body.add_color_stop_rgb(0, 1.0, 0.96, 0.80)
        body.add_color_stop_rgb(0.45, 1.0, 0.72, 0.25)
        body.add_color_stop_rgb(1, 0.85, 0.40, 0.05)
    else:
        body = cairo.RadialGradient(cx - r * 0.3, cy - r * 0.35, 0.2, cx, cy, r)
        body.add_color_stop_rgb(0, 0.42, 0.28, 0.16)
        body.add_color_stop_rgb(0.5, 0.24, 0.14, 0.07)
        body.add_color_stop_rgb(1, 0.13, 0.08, 0.05)
    ctx.arc(cx, cy, r, 0, 2 * math.pi)
    ctx.set_source(body)
    ctx.fill()
    # Lens highlight
    ctx.arc(cx - r * 0.3, cy - r * 0.35, r * 0.32, 0, 2 * math.pi)
    ctx.set_source_rgba(1, 1, 1, 0.55 if lit else 0.18)
    ctx.fill()


# --- background -------------------------------------------------------------------

def brushed_metal(ctx, rng, pw, ph):
    """The plate, pw x ph: the layout's W x H, or a fraction more where the
    window's pixel size rounds up at this scale, so the plate still fills it."""
    g = cairo.LinearGradient(0, 0, 0, H)
    g.add_color_stop_rgb(0, *METAL_TOP)
    g.add_color_stop_rgb(1, *METAL_BOTTOM)
    ctx.rectangle(0, 0, pw, ph)
    ctx.set_source(g)
    ctx.fill()
    # Fine horizontal grain: short streaks of slightly lighter or darker metal.
    ctx.set_line_width(1.0)
    for _ in range(1400):
        y = rng.randrange(H) + 0.5
        x = rng.uniform(-60, W)
        length = rng.uniform(30, 220)
        shade = rng.choice((0.0, 1.0))
        a = rng.uniform(0.012, 0.035)
        ctx.move_to(x, y)
        ctx.line_to(x + length, y)
        ctx.set_source_rgba(shade, shade, shade, a)
        ctx.stroke()
    # Soft sheen across the plate
    sheen = cairo.LinearGradient(0, 0, W, 0)
    sheen.add_color_stop_rgba(0, 1, 1, 1, 0.0)
    sheen.add_color_stop_rgba(0.35, 1, 1, 1, 0.035)
    sheen.add_color_stop_rgba(0.7, 1, 1, 1, 0.0)
    sheen.add_color_stop_rgba(1, 1, 1, 1, 0.02)
    ctx.rectangle(0, 0, pw, ph)
    ctx.set_source(sheen)
    ctx.fill()
    # Bevel at the plate's edges
    ctx.set_line_width(1)
    ctx.rectangle(0.5, 0.5, pw - 1, ph - 1)
    ctx.set_source_rgba(1, 1, 1, 0.10)
    ctx.stroke()
    ctx.move_to(0, ph - 0.5)
    ctx.line_to(pw, ph - 0.5)
    ctx.move_to(pw - 0.5, 0)
    ctx.line_to(pw - 0.5, ph)
    ctx.set_source_rgba(0, 0, 0, 0.6)
    ctx.stroke()


def inlay(ctx, x0, y0, x1, y1, r, depth=1.0):
    """A recessed dark panel: shadow along the top edge, highlight along the bottom."""
    rounded(ctx, x0 - 0.5, y0 - 0.5, x1 - x0 + 1, y1 - y0 + 1.6, r + 0.5)
    ctx.set_source_rgba(1, 1, 1, 0.07 * depth)
    ctx.fill()
    rounded(ctx, x0, y0, x1 - x0, y1 - y0, r)
    g = cairo.LinearGradient(0, y0, 0, y1)
    g.add_color_stop_rgb(0, INLAY[0] * 0.8, INLAY[1] * 0.8, INLAY[2] * 0.8)
    g.add_color_stop_rgb(0.12, *INLAY)
    g.add_color_stop_rgb(1, INLAY[0] * 1.25, INLAY[1] * 1.25, INLAY[2] * 1.25)
    ctx.set_source(g)
    ctx.fill()
    # Inner shadow at the top
    ctx.save()
    rounded(ctx, x0, y0, x1 - x0, y1 - y0, r)
    ctx.clip()
    sh = cairo.LinearGradient(0, y0, 0, y0 + 5)
    sh.add_color_stop_rgba(0, 0, 0, 0, 0.55 * depth)
    sh.add_color_stop_rgba(1, 0, 0, 0, 0)
    ctx.rectangle(x0, y0, x1 - x0, 5)
    ctx.set_source(sh)
    ctx.fill()
    ctx.restore()


def group_title(ctx, x0, x1, y, title):
    cx = (x0 + x1) / 2
    ctx.select_font_face(SANS, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    ctx.set_font_size(8.5)
    w = text_width(ctx, title, 1.3)
    ctx.set_source_rgba(*AMBER, 0.92)
    spaced_text(ctx, title, cx, y + 3, 1.3)
    # Hairlines either side of the title
    ctx.set_line_width(1)
    for a, b in ((x0 + 8, cx - w / 2 - 6), (cx + w / 2 + 6, x1 - 8)):
        if b - a < 4:
            continue
        ctx.move_to(a, y - 0.5)
        ctx.line_to(b, y - 0.5)
        ctx.set_source_rgba(*AMBER, 0.28)
        ctx.stroke()


def knob_scale(ctx, x, centre_mark=False):
    cx, cy = x + 20, KNOB_TOP + 20
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    for i in range(11):
        a = math.radians(-135 + 27 * i) - math.pi / 2
        major = i in (0, 10) or (centre_mark and i == 5)
        r0 = 16.2 if major else 17.0
        r1 = 19.3
        ctx.set_line_width(1.3 if major else 1.0)
        ctx.move_to(cx + r0 * math.cos(a), cy + r0 * math.sin(a))
        ctx.line_to(cx + r1 * math.cos(a), cy + r1 * math.sin(a))
        ctx.set_source_rgba(*LEGEND, 0.85 if major else 0.5)
        ctx.stroke()
    # Dark well the knob sits in
    well = cairo.RadialGradient(cx, cy + 1, 12, cx, cy + 1, 16.5)
    well.add_color_stop_rgba(0, 0, 0, 0, 0.55)
    well.add_color_stop_rgba(1, 0, 0, 0, 0)
    ctx.arc(cx, cy + 1, 16.5, 0, 2 * math.pi)
    ctx.set_source(well)
    ctx.fill()


def switch_bezel(ctx, x):
    """Mounting plate behind a toggle switch; the switch frames draw the switch itself."""
    y = SWITCH_TOP
    rounded(ctx, x + 1, y + 13, 18, 36, 4)
    ctx.set_source_rgba(0, 0, 0, 0.35)
    ctx.fill()


def preset_button(ctx):
    x0, y0, x1, y1 = PRESET_BUTTON
    w, h = x1 - x0, y1 - y0
    rounded(ctx, x0 - 1, y0 - 1, w + 2, h + 2.5, 5.5)
    ctx.set_source_rgba(0, 0, 0, 0.75)
    ctx.fill()
    rounded(ctx, x0, y0, w, h, 4.5)
    g = cairo.LinearGradient(0, y0, 0, y1)
    g.add_color_stop_rgb(0, 0.33, 0.34, 0.37)
    g.add_color_stop_rgb(0.5, 0.22, 0.23, 0.25)
    g.add_color_stop_rgb(1, 0.15, 0.155, 0.17)
    ctx.set_source(g)
    ctx.fill()
    rounded(ctx, x0 + 0.5, y0 + 0.5, w - 1, h - 1, 4)
    hl = cairo.LinearGradient(0, y0, 0, y1)
    hl.add_color_stop_rgba(0, 1, 1, 1, 0.28)
    hl.add_color_stop_rgba(0.5, 1, 1, 1, 0.04)
    hl.add_color_stop_rgba(1, 1, 1, 1, 0.0)
    ctx.set_source(hl)
    ctx.set_line_width(1)
    ctx.stroke()
    # List glyph: three lines with bullets, and a small drop-down caret
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    for i, dy in enumerate((-5, 0, 5)):
        yy = cy + dy - 1
        ctx.arc(cx - 7, yy, 1.3, 0, 2 * math.pi)
        ctx.set_source_rgba(*AMBER, 0.95)
        ctx.fill()
        ctx.move_to(cx - 3.5, yy)
        ctx.line_to(cx + 7.5, yy)
        ctx.set_line_width(1.6)
        ctx.set_source_rgba(*LEGEND, 0.92)
        ctx.stroke()
    ctx.move_to(cx - 2.5, cy + 8)
    ctx.line_to(cx + 2.5, cy + 8)
    ctx.line_to(cx, cy + 10.5)
    ctx.close_path()
    ctx.set_source_rgba(*LEGEND, 0.6)
    ctx.fill()


def online_plate(ctx):
    x0, y0, x1, y1 = ONLINE_AREA
    inlay(ctx, x0, y0, x1, y1, 4, depth=0.8)
    # Globe icon
    cx, cy, r = x0 + 15, (y0 + y1) / 2, 6.5
    ctx.set_line_width(1.1)
    ctx.set_source_rgba(*AMBER, 0.9)
    ctx.arc(cx, cy, r, 0, 2 * math.pi)
    ctx.stroke()
    ctx.save()
    ctx.translate(cx, cy)
    ctx.scale(0.45, 1)
    ctx.arc(0, 0, r, 0, 2 * math.pi)
    ctx.restore()
    ctx.stroke()
    ctx.move_to(cx - r, cy)
    ctx.line_to(cx + r, cy)
    ctx.move_to(cx - r * 0.85, cy - 3.2)
    ctx.line_to(cx + r * 0.85, cy - 3.2)
    ctx.move_to(cx - r * 0.85, cy + 3.2)
    ctx.line_to(cx + r * 0.85, cy + 3.2)
    ctx.stroke()
    # Domain, link style
    ctx.select_font_face(SANS, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(12)
    text = "quorvel.example"
    tx = x0 + 28
    base = cy + 4
    ctx.set_source_rgba(*LEGEND, 0.95)
    ctx.move_to(tx, base)
    ctx.show_text(text)
    tw = ctx.text_extents(text).x_advance
    ctx.set_line_width(1)
    ctx.move_to(tx, base + 2.5)
    ctx.line_to(tx + tw, base + 2.5)
    ctx.set_source_rgba(*AMBER, 0.55)
    ctx.stroke()
    # Small caret: the plate opens a menu
    ax = x1 - 11
    ctx.move_to(ax - 3, cy - 1.5)
    ctx.line_to(ax + 3, cy - 1.5)
    ctx.line_to(ax, cy + 2)
    ctx.close_path()
    ctx.set_source_rgba(*LEGEND, 0.55)
    ctx.fill()


def header(ctx):
    # Product name: maker in a lighter weight, model in bold.
    x = 54
    base = 32
    ctx.select_font_face(SANS, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(21)
    ctx.set_source_rgba(0, 0, 0, 0.6)
    ctx.move_to(x, base + 1)
    ctx.show_text("Quorvel")
    ctx.set_source_rgba(*LEGEND_DIM, 1)
    ctx.move_to(x, base)
    ctx.show_text("Quorvel")
    x += ctx.text_extents("Quorvel ").x_advance
    ctx.select_font_face(SANS, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    ctx.set_font_size(21)
    ctx.set_source_rgba(0, 0, 0, 0.6)
    ctx.move_to(x, base + 1)
    ctx.show_text("Brigade Delay")
    ctx.set_source_rgba(0.95, 0.93, 0.88, 1)
    ctx.move_to(x, base)
    ctx.show_text("Brigade Delay")
    name_end = x + ctx.text_extents("Brigade Delay").x_advance
    # Subtitle
    engraved_text(ctx, "BUCKET-BRIGADE ANALOG DELAY", 55, 45, 7.5, LEGEND_DIM, spacing=1.55,
                  align="left")
    # Amber rule under the name
    ctx.set_line_width(1.2)
    ctx.move_to(name_end + 12, 25.5)
    ctx.line_to(396, 25.5)
    ctx.set_source_rgba(*AMBER, 0.45)
    ctx.stroke()
    # Maker's badge
    bx, by = 404, 26
    ctx.arc(bx + 6, by, 7, 0, 2 * math.pi)
    ctx.set_source_rgba(*AMBER, 0.9)
    ctx.set_line_width(1.4)
    ctx.stroke()
    ctx.select_font_face(SANS, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    ctx.set_font_size(9.5)
    ext = ctx.text_extents("Q")
    ctx.move_to(bx + 6 - ext.x_advance / 2, by + 3.4)
    ctx.show_text("Q")
    engraved_text(ctx, "Quorvel Music", bx + 17, 30, 11.5, LEGEND, spacing=0.3, bold=True,
                  align="left")


def build_background(s, range_picture):
    surf = cairo.ImageSurface(cairo.FORMAT_ARGB32, D(W, s), D(H, s))
    ctx = cairo.Context(surf)
    font_options(ctx)
    ctx.scale(s, s)
    rng = random.Random(20261208)
    brushed_metal(ctx, rng, D(W, s) / s, D(H, s) / s)

    for (x, y, a) in ((5, 5, 0.4), (W - 5, 5, 1.1), (5, H - 5, 0.9), (W - 5, H - 5, 0.2)):
        screw(ctx, x, y, 3.0, a)

    header(ctx)
    preset_button(ctx)
    online_plate(ctx)

    # Separator between header and the control groups
    ctx.set_line_width(1)
    ctx.move_to(12, 52.5)
    ctx.line_to(W - 12, 52.5)
    ctx.set_source_rgba(0, 0, 0, 0.45)
    ctx.stroke()
    ctx.move_to(12, 53.5)
    ctx.line_to(W - 12, 53.5)
    ctx.set_source_rgba(1, 1, 1, 0.06)
    ctx.stroke()

    for x0, x1, title in GROUPS:
        inlay(ctx, x0, PANEL_TOP, x1, PANEL_BOTTOM, 6)
        group_title(ctx, x0, x1, PANEL_TOP + 8, title)

    label_base = 91
    # Range selector: the same picture as the selector's frames with no band lit,
    # so the half-transparent (disabled) selector still reads as one.
    # The picture is drawn for the selector's device position, as its frames are.
    ctx.save()
    ctx.identity_matrix()
    ctx.set_source_surface(range_picture, D(RANGE_RECT[0], s), D(RANGE_RECT[1], s))
    ctx.paint()
    ctx.restore()
    engraved_text(ctx, "RANGE", (RANGE_RECT[0] + RANGE_RECT[2]) / 2, label_base, 8.5, LEGEND, spacing=1.0)
    engraved_text(ctx, "ms", (RANGE_RECT[0] + RANGE_RECT[2]) / 2, 165, 8, LEGEND_DIM, spacing=0.0,
                  bold=False)

    for x, (line1, line2) in ((DELAY_SYNC_X, ("DELAY", "SYNC")), (LFO_SYNC_X, ("LFO", "SYNC"))):
        switch_bezel(ctx, x)
        engraved_text(ctx, line1, x + 10, 81, 8.5, LEGEND, spacing=1.0)
        engraved_text(ctx, line2, x + 10, label_base, 8.5, LEGEND, spacing=1.0)

    for x, label in KNOBS:
        knob_scale(ctx, x, centre_mark=(label == "FEEDBACK"))
        engraved_text(ctx, label, x + 20, label_base, 8.5, LEGEND, spacing=0.6 if len(label) > 7 else 1.0)

    # Tools: a shallow tray behind the three buttons
    for y in BUTTON_YS:
        rounded(ctx, BUTTON_X - 1.5, y - 1.5, 65, 23.5, 4)
        ctx.set_source_rgba(0, 0, 0, 0.5)
        ctx.fill()
    return surf


# --- control strips ----------------------------------------------------------------

def strip(s, name, places, size, states, draw, fonts=False):
    """Frames of one control, stacked vertically, each drawn for scale s.

    The editor blits the strip at (D(x), D(y)) for every place (x, y), each
    frame D(x + w) - D(x) by D(y + h) - D(y) pixels. The frames are drawn with
    the sub-pixel remainder s*x - D(x) so they meet the background's drawing of
    the same spot; that only works if every place has the same size and
    remainder.
    """
    w, h = size
    sizes = {(D(x + w, s) - D(x, s), D(y + h, s) - D(y, s)) for x, y in places}
    offsets = {(s * x - D(x, s), s * y - D(y, s)) for x, y in places}
    if len(sizes) != 1 or len(offsets) != 1:
        sys.exit("%s at %g: its places %s give frame sizes %s and offsets %s; move them so one "
                 "strip fits all" % (name, s, places, sorted(sizes), sorted(offsets)))
    (fw, fh), (ox, oy) = sizes.pop(), offsets.pop()
    surf = cairo.ImageSurface(cairo.FORMAT_ARGB32, fw, fh * len(states))
    ctx = cairo.Context(surf)
    if fonts:
        font_options(ctx)
    for k, state in enumerate(states):
        ctx.save()
        ctx.rectangle(0, fh * k, fw, fh)
        ctx.clip()
        # The drawing code places frame k at logical y = h*k.
        ctx.translate(ox, fh * k + oy - s * h * k)
        ctx.scale(s, s)
        draw(ctx, h * k, state)
        ctx.restore()
    return surf


KNOB_PLACES = [(x, KNOB_TOP) for x, _ in KNOBS]
SWITCH_PLACES = [(DELAY_SYNC_X, SWITCH_TOP), (LFO_SYNC_X, SWITCH_TOP)]
BUTTON_PLACES = [(BUTTON_X, y) for y in BUTTON_YS]
RANGE_PLACES = [RANGE_RECT[:2]]


# --- knob --------------------------------------------------------------------------

def knob_frame(ctx, oy, value):
    cx, cy = 20, oy + 20
    angle = math.radians(-135 + 270 * value) - math.pi / 2  # 0 = pointing right
    r_skirt, r_cap = 14.6, 10.2
    # Drop shadow
    sh = cairo.RadialGradient(cx, cy + 1.8, r_skirt - 2, cx, cy + 1.8, r_skirt + 2.5)
    sh.add_color_stop_rgba(0, 0, 0, 0, 0.7)
    sh.add_color_stop_rgba(1, 0, 0, 0, 0)
    ctx.arc(cx, cy + 1.8, r_skirt + 2.5, 0, 2 * math.pi)
    ctx.set_source(sh)
    ctx.fill()
    # Knurled skirt: dark body, grooves turn with the knob
    body = cairo.LinearGradient(cx - r_skirt, cy - r_skirt, cx + r_skirt, cy + r_skirt)
    body.add_color_stop_rgb(0, 0.30, 0.31, 0.33)
    body.add_color_stop_rgb(0.5, 0.13, 0.135, 0.145)
    body.add_color_stop_rgb(1, 0.06, 0.06, 0.07)
    ctx.arc(cx, cy, r_skirt, 0, 2 * math.pi)
    ctx.set_source(body)
    ctx.fill()
    ctx.save()
    ctx.arc(cx, cy, r_skirt - 0.3, 0, 2 * math.pi)
    ctx.clip()
    ctx.set_line_width(0.9)
    n = 36
    for i in range(n):
        a = angle + 2 * math.pi * i / n
        ctx.move_to(cx + (r_cap + 1.2) * math.cos(a), cy + (r_cap + 1.2) * math.sin(a))
        ctx.line_to(cx + (r_skirt + 1) * math.cos(a), cy + (r_skirt + 1) * math.sin(a))
    ctx.set_source_rgba(0, 0, 0, 0.55)
    ctx.stroke()
    for i in range(n):
        a = angle + 2 * math.pi * (i + 0.5) / n
        ctx.move_to(cx + (r_cap + 1.2) * math.cos(a), cy + (r_cap + 1.2) * math.sin(a))
        ctx.line_to(cx + (r_skirt + 1) * math.cos(a), cy + (r_skirt + 1) * math.sin(a))
    ctx.set_source_rgba(1, 1, 1, 0.07)
    ctx.stroke()
    ctx.restore()
    # Rim light on the skirt
    ctx.arc(cx, cy, r_skirt - 0.5, 0, 2 * math.pi)
    rim = cairo.LinearGradient(cx, cy - r_skirt, cx, cy + r_skirt)
    rim.add_color_stop_rgba(0, 1, 1, 1, 0.35)
    rim.add_color_stop_rgba(0.45, 1, 1, 1, 0.0)
    rim.add_color_stop_rgba(1, 0, 0, 0, 0.5)
    ctx.set_source(rim)
    ctx.set_line_width(1)
    ctx.stroke()
    # Cap: satin black with a soft top-left highlight (fixed: the light does not turn)
    ctx.arc(cx, cy + 0.6, r_cap + 0.8, 0, 2 * math.pi)
    ctx.set_source_rgba(0, 0, 0, 0.6)
    ctx.fill()
    cap = cairo.RadialGradient(cx - 3.5, cy - 4.5, 0.5, cx, cy, r_cap + 1)
    cap.add_color_stop_rgb(0, 0.40, 0.41, 0.44)
    cap.add_color_stop_rgb(0.55, 0.18, 0.185, 0.20)
    cap.add_color_stop_rgb(1, 0.09, 0.09, 0.10)
    ctx.arc(cx, cy, r_cap, 0, 2 * math.pi)
    ctx.set_source(cap)
    ctx.fill()
    ctx.arc(cx, cy, r_cap - 0.5, 0, 2 * math.pi)
    edge = cairo.LinearGradient(cx, cy - r_cap, cx, cy + r_cap)
    edge.add_color_stop_rgba(0, 1, 1, 1, 0.30)
    edge.add_color_stop_rgba(0.5, 1, 1, 1, 0.03)
    edge.add_color_stop_rgba(1, 1, 1, 1, 0.10)
    ctx.set_source(edge)
    ctx.set_line_width(1)
    ctx.stroke()
    # Pointer: a cream line from near the centre across the skirt, dark-edged
    ca, sa = math.cos(angle), math.sin(angle)
    p0, p1 = 3.5, r_skirt - 1.2
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    ctx.move_to(cx + p0 * ca, cy + p0 * sa)
    ctx.line_to(cx + p1 * ca, cy + p1 * sa)
    ctx.set_line_width(3.6)
    ctx.set_source_rgba(0, 0, 0, 0.55)
    ctx.stroke()
    ctx.move_to(cx + p0 * ca, cy + p0 * sa)
    ctx.line_to(cx + p1 * ca, cy + p1 * sa)
    ctx.set_line_width(2.0)
    ctx.set_source_rgb(0.97, 0.95, 0.90)
    ctx.stroke()
    # Amber tip where the pointer meets the scale
    ctx.arc(cx + (r_skirt - 2.2) * ca, cy + (r_skirt - 2.2) * sa, 1.25, 0, 2 * math.pi)
    ctx.set_source_rgba(*AMBER, 1)
    ctx.fill()


def build_knob(s):
    return strip(s, "knob", KNOB_PLACES, (40, 40), [i / 64 for i in range(65)], knob_frame)


# --- switch ------------------------------------------------------------------------

def switch_frame(ctx, oy, on):
    cx = 10
    led(ctx, cx, oy + 7, 2.6, on)
    cy = oy + 31
    # Hex nut
    ctx.save()
    ctx.translate(cx, cy)
    ctx.new_path()
    for i in range(6):
        a = math.pi / 6 + i * math.pi / 3
        ctx.line_to(8.2 * math.cos(a), 8.2 * math.sin(a))
    ctx.close_path()
    ctx.restore()
    nut = cairo.LinearGradient(cx - 8, cy - 8, cx + 8, cy + 8)
    nut.add_color_stop_rgb(0, 0.78, 0.79, 0.81)
    nut.add_color_stop_rgb(0.5, 0.45, 0.46, 0.48)
    nut.add_color_stop_rgb(1, 0.22, 0.22, 0.24)
    ctx.set_source(nut)
    ctx.fill_preserve()
    ctx.set_source_rgba(0, 0, 0, 0.7)
    ctx.set_line_width(0.8)
    ctx.stroke()
    # Bushing
    ctx.arc(cx, cy, 4.6, 0, 2 * math.pi)
    bush = cairo.RadialGradient(cx - 1.5, cy - 1.5, 0.5, cx, cy, 4.6)
    bush.add_color_stop_rgb(0, 0.55, 0.56, 0.58)
    bush.add_color_stop_rgb(1, 0.12, 0.12, 0.13)
    ctx.set_source(bush)
    ctx.fill()
    # Bat lever: tapered shaft from the bushing towards the tip, ball at the end
    tip_y = cy - 15 if on else cy + 15
    sgn = -1 if on else 1
    ctx.move_to(cx - 2.0, cy)
    ctx.line_to(cx - 2.8, tip_y - sgn * 1.0)
    ctx.line_to(cx + 2.8, tip_y - sgn * 1.0)
    ctx.line_to(cx + 2.0, cy)
    ctx.close_path()
    shaft = cairo.LinearGradient(cx - 3, 0, cx + 3, 0)
    shaft.add_color_stop_rgb(0, 0.35, 0.36, 0.38)
    shaft.add_color_stop_rgb(0.35, 0.95, 0.96, 0.97)
    shaft.add_color_stop_rgb(1, 0.30, 0.31, 0.33)
    ctx.set_source(shaft)
    ctx.fill_preserve()
    ctx.set_source_rgba(0, 0, 0, 0.5)
    ctx.set_line_width(0.6)
    ctx.stroke()
    ctx.arc(cx, tip_y, 3.6, 0, 2 * math.pi)
    ball = cairo.RadialGradient(cx - 1.2, tip_y - 1.3, 0.3, cx, tip_y, 3.6)
    ball.add_color_stop_rgb(0, 1.0, 1.0, 1.0)
    ball.add_color_stop_rgb(0.5, 0.70, 0.71, 0.73)
    ball.add_color_stop_rgb(1, 0.25, 0.26, 0.28)
    ctx.set_source(ball)
    ctx.fill_preserve()
    ctx.set_source_rgba(0, 0, 0, 0.6)
    ctx.set_line_width(0.6)
    ctx.stroke()


def build_switch(s):
    return strip(s, "switch", SWITCH_PLACES, (20, 57), (False, True), switch_frame)


# --- button ------------------------------------------------------------------------

def button_frame(ctx, oy, pressed):
    x, y, w, h = 0, oy, 62, 20
    rounded(ctx, x + 0.5, y + 0.5, w - 1, h - 1, 3)
    ctx.set_source_rgb(0.03, 0.03, 0.035)
    ctx.fill()
    if not pressed:
        rounded(ctx, x + 1, y + 1, w - 2, h - 2, 2.5)
        g = cairo.LinearGradient(0, y, 0, y + h)
        g.add_color_stop_rgb(0, 0.30, 0.31, 0.33)
        g.add_color_stop_rgb(0.5, 0.20, 0.205, 0.22)
        g.add_color_stop_rgb(1, 0.13, 0.135, 0.145)
        ctx.set_source(g)
        ctx.fill()
        ctx.move_to(x + 3, y + 1.5)
        ctx.line_to(x + w - 3, y + 1.5)
        ctx.set_source_rgba(1, 1, 1, 0.22)
        ctx.set_line_width(1)
        ctx.stroke()
        ctx.move_to(x + 3, y + h - 1.5)
        ctx.line_to(x + w - 3, y + h - 1.5)
        ctx.set_source_rgba(0, 0, 0, 0.4)
        ctx.stroke()
    else:
        rounded(ctx, x + 1, y + 1, w - 2, h - 2, 2.5)
        g = cairo.LinearGradient(0, y, 0, y + h)
        g.add_color_stop_rgb(0, 0.16, 0.09, 0.04)
        g.add_color_stop_rgb(0.5, 0.24, 0.13, 0.05)
        g.add_color_stop_rgb(1, 0.20, 0.11, 0.045)
        ctx.set_source(g)
        ctx.fill()
        # Pressed-in shadow at the top, then a lit amber bar above the caption
        # (the caption's own white text may run past the sides, so they stay dark).
        ctx.save()
        rounded(ctx, x + 1, y + 1, w - 2, h - 2, 2.5)
        ctx.clip()
        sh = cairo.LinearGradient(0, y + 1, 0, y + 5)
        sh.add_color_stop_rgba(0, 0, 0, 0, 0.6)
        sh.add_color_stop_rgba(1, 0, 0, 0, 0)
        ctx.rectangle(x, y + 1, w, 4)
        ctx.set_source(sh)
        ctx.fill()
        glow = cairo.LinearGradient(0, y + 2, 0, y + 10)
        glow.add_color_stop_rgba(0, *AMBER, 0.35)
        glow.add_color_stop_rgba(1, *AMBER, 0.0)
        ctx.rectangle(x + 4, y + 2, w - 8, 8)
        ctx.set_source(glow)
        ctx.fill()
        rounded(ctx, x + 9, y + 2.5, w - 18, 2, 1)
        ctx.set_source_rgba(1.0, 0.80, 0.45, 1)
        ctx.fill()
        ctx.move_to(x + 3, y + h - 1.5)
        ctx.line_to(x + w - 3, y + h - 1.5)
        ctx.set_source_rgba(*AMBER, 0.25)
        ctx.set_line_width(1)
        ctx.stroke()
        ctx.restore()


def build_button(s):
    return strip(s, "button", BUTTON_PLACES, (62, 20), (False, True), button_frame)


# --- range selector ------------------------------------------------------------------

def ranges_frame(ctx, oy, lit):
    """One 48 x 60 picture of the selector; lit is the band (0 = top) or None."""
    w, h = 48, 60
    rounded(ctx, 0, oy, w, h, 4)
    ctx.set_source_rgb(0.035, 0.037, 0.042)
    ctx.fill()
    rounded(ctx, 0.5, oy + 0.5, w - 1, h - 1, 3.5)
    ctx.set_source_rgba(1, 1, 1, 0.10)
    ctx.set_line_width(1)
    ctx.stroke()
    for k, text in enumerate(RANGE_TEXTS):
        by = oy + 12 * k
        if k:
            ctx.move_to(3, by + 0.5)
            ctx.line_to(w - 3, by + 0.5)
            ctx.set_source_rgba(1, 1, 1, 0.055)
            ctx.stroke()
        on = lit == k
        if on:
            rounded(ctx, 1.5, by + 1.5, w - 3, 10, 2)
            g = cairo.LinearGradient(0, 0, w, 0)
            g.add_color_stop_rgba(0, *AMBER, 0.30)
            g.add_color_stop_rgba(1, *AMBER, 0.08)
            ctx.set_source(g)
            ctx.fill()
        led(ctx, 7, by + 6, 2.3, on)
        ctx.select_font_face(NARROW, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
        ctx.set_font_size(9)
        if on:
            ctx.set_source_rgb(1.0, 0.93, 0.80)
        else:
            ctx.set_source_rgb(0.72, 0.70, 0.66)
        spaced_text(ctx, text, w - 4, by + 9, 0.0, align="right")


def build_ranges(s, lit_frames=True):
    states = range(5) if lit_frames else [None]
    return strip(s, "ranges", RANGE_PLACES, (RANGE_RECT[2] - RANGE_RECT[0], RANGE_RECT[3] - RANGE_RECT[1]),
                 states, ranges_frame, fonts=True)


def main():
    parser = argparse.ArgumentParser(description="Draws the editor's images into resources/img/.")
    parser.add_argument("--scale", type=float, choices=sorted(SCALES), action="append",
                        help="draw only this scale (repeatable; default: all)")
    args = parser.parse_args()
    check_fonts()
    os.makedirs(OUT, exist_ok=True)
    for s in args.scale or sorted(SCALES):
        s = int(s) if s == int(s) else s
        images = {  # name: (surface, frames)
            "back": (build_background(s, build_ranges(s, lit_frames=False)), 1),
            "knob": (build_knob(s), 65),
            "switch": (build_switch(s), 2),
            "button": (build_button(s), 2),
            "ranges": (build_ranges(s), 5),
        }
        for name, (surf, frames) in images.items():
            path = os.path.join(OUT, name + SCALES[s] + ".png")
            write_rgba_png(surf, path)
            w, h = surf.get_width(), surf.get_height()
            each = " (%d frames of %dx%d)" % (frames, w, h // frames) if frames > 1 else ""
            print("%s %dx%d%s" % (os.path.relpath(path, ROOT), w, h, each))


if __name__ == "__main__":
    main()
