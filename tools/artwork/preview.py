#!/usr/bin/python3
"""Composes the editor from the committed images the way the plug-in places
them, with sample read-outs in the label style, so the artwork can be judged
as a whole:

    /usr/bin/python3 tools/artwork/preview.py [--scale 1|1.5|2] [OUT.png]

Writes build/artwork-preview.png (artwork-preview-150.png, -200.png for the
other scales) and a 2x enlargement beside it by default. The second row shows
the disabled range selector (half opacity) and the pressed/lit frames.
"""

import argparse
import math
import os

import cairo

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
IMG = os.path.join(ROOT, "resources", "img")
SCALES = {1: "", 1.5: "-150", 2: "-200"}


def D(v, s):
    """Device pixel of logical coordinate v, as the plug-in rounds it."""
    return math.floor(v * s + 0.5)


def load(name, s):
    return cairo.ImageSurface.create_from_png(os.path.join(IMG, name + SCALES[s] + ".png"))


def frame(ctx, img, index, frames, x, y, s, alpha=1.0):
    """Frame index of a strip of frames, blitted at the device spot of logical (x, y)."""
    frame_h = img.get_height() // frames
    x, y = D(x, s), D(y, s)
    ctx.save()
    ctx.rectangle(x, y, img.get_width(), frame_h)
    ctx.clip()
    ctx.set_source_surface(img, x, y - index * frame_h)
    ctx.paint_with_alpha(alpha)
    ctx.restore()


def label(ctx, text, rect, s, colour=(1, 1, 1)):
    """White (or warning) text at alpha 192, 13 px, centred in rect (logical units)."""
    l, t, r, b = (v * s for v in rect)
    ctx.select_font_face("Liberation Sans", cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(13 * s)
    fe = ctx.font_extents()
    w = ctx.text_extents(text).x_advance
    x = (l + r - w) / 2
    y = (t + b - (fe[0] + fe[1])) / 2 + fe[0]
    ctx.set_source_rgba(*colour, 192 / 255)
    ctx.move_to(round(x), round(y))
    ctx.show_text(text)


def compose(ctx, state, s):
    back, knob, switch, button, ranges = (load(n, s) for n in ("back", "knob", "switch", "button", "ranges"))
    ctx.set_source_surface(back, 0, 0)
    ctx.paint()
    fo = cairo.FontOptions()
    fo.set_antialias(cairo.ANTIALIAS_GRAY)
    ctx.set_font_options(fo)

    sync = state["sync"]
    frame(ctx, ranges, state["range"], 5, 20, 96, s, 0.5 if sync else 1.0)
    for x, on in ((83, sync), (333, state["lfo_sync"])):
        frame(ctx, switch, 1 if on else 0, 2, x, 94, s)
        label(ctx, "ON" if on else "OFF", (x, 148, x + 20, 167), s)
    for x, value, text, warn in state["knobs"]:
        frame(ctx, knob, int(64 * value + 0.5), 65, x, 100, s)
        label(ctx, text, (x, 148, x + 40, 162), s, (1, 64 / 255, 0) if warn else (1, 1, 1))
    for y, pressed, text in state["buttons"]:
        frame(ctx, button, 1 if pressed else 0, 2, 605, y, s)
        label(ctx, text, (605, y + 4, 667, y + 20), s)


DEFAULT = {
    "sync": False, "lfo_sync": False, "range": 3,
    "knobs": [(120, 0.6, "312ms", False), (186, 0.5, "0.0%", False), (274, 0.077, "0.15Hz", False),
              (372, 0.0, "0.0%", False), (460, 0.5, "50:50", False), (526, 1.0, "100%", False)],
    "buttons": [(80, False, "LEARN"), (108, False, "save config"), (136, False, "FREEZE")],
}
OTHER = {
    "sync": True, "lfo_sync": True, "range": 0,
    "knobs": [(120, 0.85, "2/1", True), (186, 0.2, "-60%", False), (274, 0.9, "1/8.", False),
              (372, 0.7, "49%", False), (460, 1.0, "Wet", False), (526, 0.35, "35%", False)],
    "buttons": [(80, True, "UNLEARN"), (108, True, "save config"), (136, True, "FREEZE")],
}


def main():
    parser = argparse.ArgumentParser(description="Composes the editor from the committed images.")
    parser.add_argument("--scale", type=float, choices=sorted(SCALES), default=1)
    parser.add_argument("out", nargs="?")
    args = parser.parse_args()
    s = int(args.scale) if args.scale == int(args.scale) else args.scale
    out = args.out or os.path.join(ROOT, "build", "artwork-preview%s.png" % SCALES[s])
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    w, h, gap = D(683, s), D(174, s), 8
    surf = cairo.ImageSurface(cairo.FORMAT_RGB24, w, h * 2 + gap)
    ctx = cairo.Context(surf)
    ctx.set_source_rgb(0.5, 0.5, 0.5)
    ctx.paint()
    compose(ctx, DEFAULT, s)
    ctx.translate(0, h + gap)
    compose(ctx, OTHER, s)
    surf.write_to_png(out)

    big = cairo.ImageSurface(cairo.FORMAT_RGB24, surf.get_width() * 2, surf.get_height() * 2)
    bctx = cairo.Context(big)
    bctx.scale(2, 2)
    bctx.set_source_surface(surf, 0, 0)
    bctx.get_source().set_filter(cairo.FILTER_NEAREST)
    bctx.paint()
    root, ext = os.path.splitext(out)
    big.write_to_png(root + "-2x" + ext)
    print(out)


if __name__ == "__main__":
    main()
