#!/usr/bin/env python3
"""Draws the program's icon set into resources/icons/*.svg.

The files are committed; run this again only to change the set. One dark style throughout, made to
sit over a projected picture: dark translucent plates, light strokes, amber for "under the pointer"
or "selected", green and red for focus. Everything is stroked or filled vector art in plain SVG
(no text, no filters, no masks), so Qt's SVG renderer draws it the same everywhere and it stays sharp
at any scale. Digits and signs come from a small stroke font below, so no system font is involved.
"""
import math
import os

INK = "#e8eaed"  # strokes on dark plates
DIM = "#9aa0a6"  # secondary strokes
PLATE = "#1c1e22"  # dark plates, drawn translucent
EDGE = "#4a505a"  # plate outlines
ACCENT = "#ffb020"  # under the pointer / selected
ON_ACCENT = "#1c1e22"
GREEN = "#3ddc84"
RED = "#ff5a4f"
MID = "#8a919b"  # strokes that must read on light and dark menus alike
HALO = "#000000"

# Stroke font: each glyph in a 10 x 16 box (y down), drawn with round caps.
GLYPHS = {
    "0": "M5 0.9 C1.6 0.9 0.9 4.6 0.9 8 C0.9 11.4 1.6 15.1 5 15.1 C8.4 15.1 9.1 11.4 9.1 8 "
         "C9.1 4.6 8.4 0.9 5 0.9 Z",
    "1": "M2.2 3.6 L6 0.9 V15.1",
    "2": "M1.1 4.1 C1.3 2 3 0.9 5 0.9 C7.3 0.9 8.9 2.3 8.9 4.4 C8.9 6.6 7.2 8.1 5.2 9.8 "
         "L1 15.1 H9.1",
    "3": "M1.2 3 C2 1.5 3.4 0.9 5 0.9 C7.2 0.9 8.6 2.2 8.6 4.1 C8.6 6 7 7.4 4.6 7.4 "
         "C7.4 7.4 9.1 8.9 9.1 11.1 C9.1 13.5 7.3 15.1 4.9 15.1 C3.1 15.1 1.6 14.3 0.9 12.8",
    "4": "M7.1 15.1 V0.9 L0.9 10.9 H9.3",
    "5": "M8.6 0.9 H2 L1.3 7.6 C2.3 6.7 3.5 6.3 4.8 6.3 C7.4 6.3 9.1 8.1 9.1 10.6 "
         "C9.1 13.3 7.3 15.1 4.8 15.1 C3 15.1 1.6 14.3 0.9 13",
    "6": "M8.2 2 C7.4 1.3 6.4 0.9 5.3 0.9 C2.4 0.9 0.9 3.9 0.9 8.6 C0.9 12.9 2.5 15.1 5 15.1 "
         "C7.5 15.1 9.1 13.2 9.1 10.6 C9.1 8.1 7.5 6.4 5.2 6.4 C3.2 6.4 1.6 7.6 0.9 9.4",
    "7": "M0.9 0.9 H9.1 L3.6 15.1",
    "8": "M5 7.5 C3 7.5 1.4 6.3 1.4 4.2 C1.4 2.2 3 0.9 5 0.9 C7 0.9 8.6 2.2 8.6 4.2 "
         "C8.6 6.3 7 7.5 5 7.5 Z M5 7.5 C7.4 7.5 9.1 9 9.1 11.2 C9.1 13.6 7.3 15.1 5 15.1 "
         "C2.7 15.1 0.9 13.6 0.9 11.2 C0.9 9 2.6 7.5 5 7.5 Z",
    "9": "M1.8 14 C2.6 14.7 3.6 15.1 4.7 15.1 C7.6 15.1 9.1 12.1 9.1 7.4 C9.1 3.1 7.5 0.9 5 0.9 "
         "C2.5 0.9 0.9 2.8 0.9 5.4 C0.9 7.9 2.5 9.6 4.8 9.6 C6.8 9.6 8.4 8.4 9.1 6.6",
    "+": "M1.5 8 H8.5 M5 4.5 V11.5",
    "-": "M1.5 8 H8.5",
}
GLYPH_W, GLYPH_H = 10.0, 16.0


def svg(width, height, body):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
            f'viewBox="0 0 {width} {height}">\n{body}</svg>\n')


def fmt(v):
    return f"{v:.2f}".rstrip("0").rstrip(".")


def text(s, cx, cy, scale, color, weight=1.8, gap=2.0, halo=None):
    """The string `s` in the stroke font, centred on (cx, cy); `weight` in glyph units."""
    width = len(s) * GLYPH_W + (len(s) - 1) * gap
    x0 = cx - width * scale / 2
    y0 = cy - GLYPH_H * scale / 2
    paths = "".join(f'<path transform="translate({fmt(i * (GLYPH_W + gap))} 0)" d="{GLYPHS[c]}"/>'
                    for i, c in enumerate(s))
    out = ""
    if halo:
        out += (f'<g transform="translate({fmt(x0)} {fmt(y0)}) scale({fmt(scale)})" fill="none" '
                f'stroke="{halo}" stroke-opacity="0.55" stroke-width="{fmt(weight * 2.2)}" '
                f'stroke-linecap="round" stroke-linejoin="round">{paths}</g>\n')
    out += (f'<g transform="translate({fmt(x0)} {fmt(y0)}) scale({fmt(scale)})" fill="none" '
            f'stroke="{color}" stroke-width="{fmt(weight)}" stroke-linecap="round" '
            f'stroke-linejoin="round">{paths}</g>\n')
    return out


def glyph(d, x, y, scale, color, weight=1.8, extra=""):
    """A 24-unit line drawing placed at (x, y) and scaled."""
    return (f'<g transform="translate({fmt(x)} {fmt(y)}) scale({fmt(scale)})" fill="none" '
            f'stroke="{color}" stroke-width="{fmt(weight)}" stroke-linecap="round" '
            f'stroke-linejoin="round">{d}{extra}</g>\n')


def plate(x, y, w, h, r, fill=PLATE, edge=EDGE, edge_width=1.0, opacity=0.9):
    return (f'<rect x="{fmt(x)}" y="{fmt(y)}" width="{fmt(w)}" height="{fmt(h)}" rx="{fmt(r)}" '
            f'fill="{fill}" fill-opacity="{opacity}" stroke="{edge}" stroke-width="{fmt(edge_width)}"/>\n')


# Line drawings on a 24-unit grid.
CAMERA = ('<path d="M3 20.5 H21"/><path d="M6.5 20.5 V5.5 H13.5"/>'
          '<rect x="12.5" y="4" width="7" height="4.5" rx="1.2"/>'
          '<path d="M16 8.5 V10"/><path d="M10.5 17.5 H20" stroke-opacity="0.7"/>'
          '<path d="M14 12 L12 16 M18 12 L20 16" stroke-opacity="0.45"/>')
REVIEW = ('<path d="M7 4.5 V4 C7 3.4 7.4 3 8 3 H20 C20.6 3 21 3.4 21 4 V14 C21 14.6 20.6 15 20 15 H19.5" '
          'stroke-opacity="0.6"/>'
          '<rect x="3" y="7" width="16" height="13" rx="1.5"/>'
          '<path d="M5.5 17.5 L9.5 12.5 L12.5 15.5 L14.5 13.5 L17 16.5"/>'
          '<circle cx="14" cy="10.5" r="1.2"/>')
FULL_SCREEN = ('<path d="M3 9 V3 H9 M15 3 H21 V9 M21 15 V21 H15 M9 21 H3 V15"/>'
               '<rect x="8" y="9" width="8" height="6" rx="1" stroke-opacity="0.7"/>')
UPLOAD_QUEUE = ('<path d="M5.5 3 H14 L19 8 V21 H5.5 Z"/><path d="M14 3 V8 H19"/>'
                '<path d="M12.2 18 V11 M9.4 13.8 L12.2 11 L15 13.8"/>')
COLLAPSE = '<path d="M8 3 V8 H3 M16 3 V8 H21 M8 21 V16 H3 M16 21 V16 H21"/>'
SUN_RAYS = "".join(
    f'<path d="M{fmt(12 + 6.5 * math.cos(a))} {fmt(12 + 6.5 * math.sin(a))} '
    f'L{fmt(12 + 9 * math.cos(a))} {fmt(12 + 9 * math.sin(a))}"/>'
    for a in (i * math.pi / 4 for i in range(8)))
SUN = '<circle cx="12" cy="12" r="3.8"/>' + SUN_RAYS


def mode_button(d, up):
    """The mode chooser's buttons: 48 x 48 plates; "Up" is the selected or pointed-at one."""
    color = ACCENT if up else INK
    body = plate(1, 1, 46, 46, 10, edge=ACCENT if up else EDGE, edge_width=2 if up else 1)
    return svg(48, 48, body + glyph(d, 9, 9, 1.25, color))


# The focus ring, the snapshot button that sits in it and the focus button above that share one
# centre: ring 72 x 72 (band radii 31 to 35), snapshot disc radius 20 on the same canvas, focus pill
# 30 x 11 placed 5 points below the ring's top, between the band and the disc.
RING = 72
CENTRE = RING / 2


def snapshot(up):
    body = f'<circle cx="{CENTRE}" cy="{CENTRE}" r="20" fill="{PLATE}" fill-opacity="0.9"/>\n'
    body += f'<circle cx="{CENTRE}" cy="{CENTRE}" r="17.5" fill="none" stroke="{INK}" stroke-width="2.5"/>\n'
    body += f'<circle cx="{CENTRE}" cy="{CENTRE}" r="12.5" fill="{ACCENT if up else INK}"/>\n'
    return svg(RING, RING, body)


def arc(cx, cy, r, start, end):
    """An arc path from angle `start` to `end` (degrees, clockwise on screen)."""
    a0, a1 = math.radians(start), math.radians(end)
    x0, y0 = cx + r * math.cos(a0), cy + r * math.sin(a0)
    x1, y1 = cx + r * math.cos(a1), cy + r * math.sin(a1)
    large = 1 if (end - start) % 360 > 180 else 0
    return f"M{fmt(x0)} {fmt(y0)} A{fmt(r)} {fmt(r)} 0 {large} 1 {fmt(x1)} {fmt(y1)}"


def arrow_head(cx, cy, r, angle, size):
    """A filled arrow head on the circle at `angle`, pointing clockwise."""
    a = math.radians(angle)
    px, py = cx + r * math.cos(a), cy + r * math.sin(a)
    tx, ty = -math.sin(a), math.cos(a)  # clockwise tangent
    nx, ny = math.cos(a), math.sin(a)
    tip = (px + tx * size, py + ty * size)
    left = (px + nx * size * 0.8, py + ny * size * 0.8)
    right = (px - nx * size * 0.8, py - ny * size * 0.8)
    return (f'<path d="M{fmt(tip[0])} {fmt(tip[1])} L{fmt(left[0])} {fmt(left[1])} '
            f'L{fmt(right[0])} {fmt(right[1])} Z" fill="{INK}" stroke="none"/>')


def padlock(cx, cy):
    body = f'<circle cx="{fmt(cx)}" cy="{fmt(cy)}" r="7.5" fill="{ACCENT}"/>\n'
    body += (f'<path d="M{fmt(cx - 2.3)} {fmt(cy - 0.5)} V{fmt(cy - 2.2)} A2.3 2.3 0 0 1 {fmt(cx + 2.3)} '
             f'{fmt(cy - 2.2)} V{fmt(cy - 0.5)}" fill="none" stroke="{ON_ACCENT}" stroke-width="1.4"/>\n')
    body += (f'<rect x="{fmt(cx - 3.6)}" y="{fmt(cy - 0.8)}" width="7.2" height="5" rx="1" '
             f'fill="{ON_ACCENT}"/>\n')
    return body


def focus_ring(continuous, locked):
    r = 33
    halo = f'<circle cx="{CENTRE}" cy="{CENTRE}" r="{r}" fill="none" stroke="{HALO}" ' \
           f'stroke-opacity="0.35" stroke-width="7"/>\n'
    if continuous:
        # Two arcs chasing each other: the lens keeps focusing.
        body = halo + (f'<path d="{arc(CENTRE, CENTRE, r, -60, 95)} {arc(CENTRE, CENTRE, r, 120, 275)}" '
                       f'fill="none" stroke="{INK}" stroke-width="4" stroke-linecap="round"/>\n')
        body += arrow_head(CENTRE, CENTRE, r, 95, 6) + arrow_head(CENTRE, CENTRE, r, 275, 6) + "\n"
    else:
        body = halo + (f'<circle cx="{CENTRE}" cy="{CENTRE}" r="{r}" fill="none" stroke="{INK}" '
                       f'stroke-width="4"/>\n')
    if locked:
        body += padlock(CENTRE, RING - 8)
    return svg(RING, RING, body)


def focus_button(up):
    w, h = 30, 11
    body = plate(0.5, 0.5, w - 1, h - 1, 5, fill=ACCENT if up else PLATE, edge=ACCENT if up else EDGE)
    color = ON_ACCENT if up else INK
    cx, cy = w / 2, h / 2
    corners = "".join(
        f'<path d="M{fmt(cx + sx * 5)} {fmt(cy + sy * 1.3)} V{fmt(cy + sy * 3)} H{fmt(cx + sx * 3)}"/>'
        for sx in (-1, 1) for sy in (-1, 1))
    body += (f'<g fill="none" stroke="{color}" stroke-width="1.2" stroke-linecap="round" '
             f'stroke-linejoin="round">{corners}</g>\n')
    body += f'<circle cx="{fmt(cx)}" cy="{fmt(cy)}" r="1.1" fill="{color}"/>\n'
    return svg(w, h, body)


def esc_button(up):
    color = ACCENT if up else INK
    body = (f'<circle cx="20" cy="20" r="19" fill="{PLATE}" fill-opacity="0.9" '
            f'stroke="{ACCENT if up else EDGE}" stroke-width="{2 if up else 1}"/>\n')
    return svg(40, 40, body + glyph(COLLAPSE, 9.2, 9.2, 0.9, color, weight=2.2))


def target(color):
    """Corner brackets and a centre cross, 4:3, with a dark halo so they read over white paper."""
    w, h, arm, inset = 160, 120, 26, 4
    d = ""
    for sx, x in ((1, inset), (-1, w - inset)):
        for sy, y in ((1, inset), (-1, h - inset)):
            d += f"M{x + sx * arm} {y} H{x} V{y + sy * arm} "
    cx, cy = w / 2, h / 2
    d += f"M{cx - 9} {cy} H{cx + 9} M{cx} {cy - 9} V{cy + 9}"
    body = (f'<path d="{d}" fill="none" stroke="{HALO}" stroke-opacity="0.45" stroke-width="8" '
            f'stroke-linecap="round" stroke-linejoin="round"/>\n')
    body += (f'<path d="{d}" fill="none" stroke="{color}" stroke-width="4" stroke-linecap="round" '
             f'stroke-linejoin="round"/>\n')
    return svg(w, h, body)


def countdown_digit(n):
    w, h = 56, 64
    body = plate(1, 1, w - 2, h - 2, 12, edge=ACCENT, edge_width=2)
    s = str(n)
    scale = 2.5 if len(s) == 1 else 1.95
    return svg(w, h, body + text(s, w / 2, h / 2, scale, INK, weight=1.7))


def exposure_badge(label):
    w, h = 76, 28
    body = plate(0.5, 0.5, w - 1, h - 1, 13.5)
    body += glyph(SUN, 6, 4, 20 / 24, ACCENT, weight=2.0)
    body += text(label, 50, h / 2, 1.0, INK, weight=2.0, gap=1.5)
    return svg(w, h, body)


def exposure_item(level):
    """Menu image for a fixed exposure step: a disc filled from below to `level` (0..1)."""
    s, r = 16, 6.5
    c = s / 2
    y = c + r - 2 * r * level
    dx = math.sqrt(max(0.0, r * r - (y - c) ** 2))
    large = 1 if level > 0.5 else 0
    body = (f'<path d="M{fmt(c - dx)} {fmt(y)} A{r} {r} 0 {large} 0 {fmt(c + dx)} {fmt(y)} Z" '
            f'fill="{ACCENT}"/>\n')
    body += f'<circle cx="{c}" cy="{c}" r="{r}" fill="none" stroke="{MID}" stroke-width="1.5"/>\n'
    return svg(s, s, body)


def knob(color):
    body = (f'<rect x="0.5" y="0.5" width="17" height="6" rx="2" fill="{color}" stroke="{HALO}" '
            f'stroke-opacity="0.5" stroke-width="1"/>\n')
    body += f'<path d="M4 3.5 H14" stroke="{ON_ACCENT}" stroke-opacity="0.55" stroke-width="1"/>\n'
    return svg(18, 7, body)


def exposure_background():
    """The exposure slider's face, 100 x 200: values 0..14 run up the track at x = 77, 10 points
    apart, value 0's knob centre 41.5 points above the lower edge; the bottom 30 points hold the
    "Default" button, whose title the control draws."""
    w, h = 100, 200
    body = plate(0.5, 0.5, w - 1, h - 1, 10)
    body += (f'<path d="M1 170 H99 V190 A9.5 9.5 0 0 1 89.5 199.5 H10.5 A9.5 9.5 0 0 1 1 190 Z" '
             f'fill="#2a2d33" fill-opacity="0.9"/>\n')
    body += f'<path d="M1 170 H99" stroke="{EDGE}" stroke-width="1"/>\n'
    top, bottom = h - (38 + 14 * 10 + 3.5), h - (38 + 3.5)
    body += (f'<path d="M77 {fmt(top)} V{fmt(bottom)}" stroke="{DIM}" stroke-width="2" '
             f'stroke-linecap="round"/>\n')
    ticks = ""
    for v in range(15):
        y = h - (38 + v * 10 + 3.5)
        major = v in (0, 7, 14)
        ticks += f'<path d="M{54 if major else 59} {fmt(y)} H64" stroke="{ACCENT if v == 7 else DIM}"/>'
    body += f'<g stroke-width="1.5" stroke-linecap="round">{ticks}</g>\n'
    body += glyph(SUN, 14, 8, 28 / 24, INK, weight=1.8)
    body += glyph(SUN, 20, 134, 16 / 24, DIM, weight=2.2)
    return svg(w, h, body)


def app_icon():
    s = 256
    body = ('<defs><linearGradient id="face" x1="0" y1="0" x2="0" y2="1">'
            '<stop offset="0" stop-color="#2f3540"/><stop offset="1" stop-color="#15171b"/>'
            '</linearGradient></defs>\n')
    body += f'<rect x="8" y="8" width="240" height="240" rx="54" fill="url(#face)" stroke="{EDGE}" stroke-width="2"/>\n'
    body += (f'<path d="M150 112 L112 196 H236 L198 112 Z" fill="{ACCENT}" fill-opacity="0.22"/>\n')
    body += f'<rect x="104" y="186" width="120" height="14" rx="3" fill="{INK}" fill-opacity="0.9"/>\n'
    body += (f'<g transform="translate(16 16) scale(9.33)" fill="none" stroke="{INK}" stroke-width="1.3" '
             f'stroke-linecap="round" stroke-linejoin="round">'
             f'<path d="M3 20.5 H21"/><path d="M6.5 20.5 V5.5 H13.5"/>'
             f'<rect x="12.5" y="4" width="7" height="4.5" rx="1.2" fill="{PLATE}"/></g>\n')
    body += f'<circle cx="165" cy="74" r="7" fill="{ACCENT}"/>\n'
    return svg(s, s, body)


def pane_icon(d):
    """Preferences toolbar images, 32 x 32, in mid grey so they read on light and dark windows."""
    return svg(32, 32, glyph(d, 2, 2, 28 / 24, MID, weight=1.7))


PROGRAMMABLE_KEY = (f'<rect x="3" y="3" width="18" height="18" rx="3.5"/>'
                    f'<path d="M7 9 H17 M7 15 H17"/>'
                    f'<circle cx="10" cy="9" r="1.6" fill="{ACCENT}" stroke="{ACCENT}"/>'
                    f'<circle cx="14.5" cy="15" r="1.6" fill="{ACCENT}" stroke="{ACCENT}"/>')
SYSTEM = ('<rect x="6" y="6" width="12" height="12" rx="2"/>'
          '<path d="M9 6 V3 M12 6 V3 M15 6 V3 M9 21 V18 M12 21 V18 M15 21 V18 '
          'M6 9 H3 M6 12 H3 M6 15 H3 M21 9 H18 M21 12 H18 M21 15 H18"/>'
          f'<rect x="9.5" y="9.5" width="5" height="5" rx="1" stroke="{ACCENT}"/>')
GENERAL = ('<rect x="3" y="5" width="18" height="6" rx="3"/><rect x="3" y="13" width="18" height="6" rx="3"/>'
           f'<circle cx="17.5" cy="8" r="1.7" fill="{ACCENT}" stroke="{ACCENT}"/>'
           '<circle cx="6.5" cy="16" r="1.7"/>')
UPLOADING = ('<path d="M7 18 H6.5 C4.5 18 3 16.5 3 14.5 C3 12.6 4.4 11.1 6.2 11 C6.6 8 9 6 12 6 '
             'C15 6 17.3 8 17.8 10.8 C19.6 11 21 12.5 21 14.4 C21 16.4 19.4 18 17.4 18 H17"/>'
             f'<path d="M12 20 V12.5 M9.5 15 L12 12.5 L14.5 15" stroke="{ACCENT}"/>')
SENT = f'<circle cx="12" cy="12" r="9"/><path d="M7.8 12.3 L10.8 15.2 L16.4 9.2" stroke="{GREEN}"/>'


def icons():
    out = {}
    for name, d in (("Camera", CAMERA), ("Review", REVIEW), ("Full-Screen", FULL_SCREEN),
                    ("Evernote", UPLOAD_QUEUE)):
        out[f"{name}-Down"] = mode_button(d, up=False)
        out[f"{name}-Up"] = mode_button(d, up=True)
    for up, state in ((False, "Down"), (True, "Up")):
        out[f"Snapshot-{state}"] = snapshot(up)
        out[f"Put-On-Focus-{state}"] = focus_button(up)
        out[f"Esc-{state}"] = esc_button(up)
    out["Target-Green"] = target(GREEN)
    out["Target-Red"] = target(RED)
    out["Target-White"] = target("#ffffff")
    out["Background-Single"] = focus_ring(continuous=False, locked=False)
    out["Background-Single-lock"] = focus_ring(continuous=False, locked=True)
    out["Background-Continuos"] = focus_ring(continuous=True, locked=False)
    out["Background-Continuos-lock"] = focus_ring(continuous=True, locked=True)
    for n in range(11):
        out[str(n)] = countdown_digit(n)
    # Badges: the five fixed steps signed, the slider's positions 1 to 15 either way.
    for v in range(-2, 16):
        out[f"Exp-{v}"] = exposure_badge(str(v))
    for v in range(1, 16):
        out[f"Exp-+{v}"] = exposure_badge(f"+{v}")
    for title, level in (("+2", 0.9), ("+1", 0.7), ("0", 0.5), ("-1", 0.3), ("-2", 0.12)):
        out[f"Exposure_{title}"] = exposure_item(level)
    out["ManualExposureBackground"] = exposure_background()
    out["Cursor"] = knob(INK)
    out["CursorOver"] = knob(ACCENT)
    out["AppIcon"] = app_icon()
    out["ProgrammableKey"] = pane_icon(PROGRAMMABLE_KEY)
    out["System"] = pane_icon(SYSTEM)
    out["General"] = pane_icon(GENERAL)
    out["uploading"] = svg(20, 20, glyph(UPLOADING, 0, 0, 20 / 24, MID, weight=1.8))
    out["sent"] = svg(20, 20, glyph(SENT, 0, 0, 20 / 24, MID, weight=1.8))
    return out


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "icons")
    os.makedirs(folder, exist_ok=True)
    for old in os.listdir(folder):
        if old.endswith(".svg"):
            os.remove(os.path.join(folder, old))
    for name, content in icons().items():
        with open(os.path.join(folder, name + ".svg"), "w", encoding="utf-8") as f:
            f.write(content)


if __name__ == "__main__":
    main()
