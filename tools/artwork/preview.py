#!/usr/bin/python3
"""Composes the editor from the committed images the way the plug-in places
them, with sample read-outs in the label style, so the artwork can be judged
as a whole:

    /usr/bin/python3 tools/artwork/preview.py [OUT.png]

Writes build/artwork-preview.png (and a 2x enlargement beside it) by default.
The second row shows the disabled range selector (half opacity) and the
pressed/lit frames.
"""

import os
import sys

import cairo

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
IMG = os.path.join(ROOT, "resources", "img")


def load(name):
    return cairo.ImageSurface.create_from_png(os.path.join(IMG, name))


def frame(ctx, img, index, frame_h, x, y, alpha=1.0):
    ctx.save()
    ctx.rectangle(x, y, img.get_width(), frame_h)
    ctx.clip()
    ctx.set_source_surface(img, x, y - index * frame_h)
    ctx.paint_with_alpha(alpha)
    ctx.restore()


def label(ctx, text, rect, colour=(1, 1, 1)):
    """White (or warning) text at alpha 192, 13 px, centred in rect."""
    l, t, r, b = rect
    ctx.select_font_face("Liberation Sans", cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(13)
    fe = ctx.font_extents()
    w = ctx.text_extents(text).x_advance
    x = (l + r - w) / 2
    y = (t + b - (fe[0] + fe[1])) / 2 + fe[0]
    ctx.set_source_rgba(*colour, 192 / 255)
    ctx.move_to(round(x), round(y))
    ctx.show_text(text)


def compose(ctx, state):
    back, knob, switch, button, ranges = (load(n) for n in
                                          ("back.png", "knob.png", "switch.png", "button.png", "ranges.png"))
    ctx.set_source_surface(back, 0, 0)
    ctx.paint()
    fo = cairo.FontOptions()
    fo.set_antialias(cairo.ANTIALIAS_GRAY)
    ctx.set_font_options(fo)

    sync = state["sync"]
    frame(ctx, ranges, state["range"], 60, 20, 96, 0.5 if sync else 1.0)
    for x, on in ((83, sync), (333, state["lfo_sync"])):
        frame(ctx, switch, 1 if on else 0, 57, x, 94)
        label(ctx, "ON" if on else "OFF", (x, 148, x + 20, 167))
    for x, value, text, warn in state["knobs"]:
        frame(ctx, knob, int(64 * value + 0.5), 40, x, 100)
        label(ctx, text, (x, 148, x + 40, 162), (1, 64 / 255, 0) if warn else (1, 1, 1))
    for y, pressed, text in state["buttons"]:
        frame(ctx, button, 1 if pressed else 0, 20, 605, y)
        label(ctx, text, (605, y + 4, 667, y + 20))


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
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "artwork-preview.png")
    os.makedirs(os.path.dirname(out), exist_ok=True)
    gap = 8
    surf = cairo.ImageSurface(cairo.FORMAT_RGB24, 683, 174 * 2 + gap)
    ctx = cairo.Context(surf)
    ctx.set_source_rgb(0.5, 0.5, 0.5)
    ctx.paint()
    compose(ctx, DEFAULT)
    ctx.translate(0, 174 + gap)
    compose(ctx, OTHER)
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
