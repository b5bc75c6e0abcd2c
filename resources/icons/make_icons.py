#!/usr/bin/env python3
"""Writes the monochrome symbol set: one 24 x 24 SVG per symbol name, drawn in black strokes
(and a few filled shapes) that IconProvider recolours when it renders them. Run it from this
folder after changing a drawing; the SVG files are kept in the repository."""

HEAD = ('<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24">'
        '<g fill="none" stroke="#000" stroke-width="2" stroke-linecap="round" stroke-linejoin="round">')
TAIL = '</g></svg>\n'


def p(d):
    return f'<path d="{d}"/>'


def fill(d, rule="nonzero"):
    return f'<path d="{d}" fill="#000" stroke="none" fill-rule="{rule}"/>'


def circle(cx, cy, r):
    return f'<circle cx="{cx}" cy="{cy}" r="{r}"/>'


def dot(cx, cy, r=1.2):
    return f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="#000" stroke="none"/>'


def rect(x, y, w, h, rx=0):
    return f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{rx}"/>'


def frect(x, y, w, h, rx=0):
    return f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{rx}" fill="#000" stroke="none"/>'


def group(transform, *parts):
    return f'<g transform="{transform}">' + "".join(parts) + "</g>"


def star(cx, cy, outer, inner, points):
    import math
    coords = []
    for i in range(points * 2):
        r = outer if i % 2 == 0 else inner
        a = math.pi * i / points - math.pi / 2
        coords.append(f"{cx + r * math.cos(a):.2f} {cy + r * math.sin(a):.2f}")
    return "M" + " L".join(coords) + " Z"


SLASH = p("M4 3 L20 21")
CLOUD = "M7 18 A4 4 0 0 1 6.6 10.02 A6 6 0 0 1 18 9.52 A4 4 0 0 1 17.5 18 Z"
BELL = p("M6 16.5 V11 A6 6 0 0 1 18 11 V16.5 L19.5 18 H4.5 Z") + p("M10 20.5 A2 2 0 0 0 14 20.5")
SHIELD = "M12 2.8 L19.5 5.8 V11 C19.5 15.6 16.4 19.2 12 21.2 C7.6 19.2 4.5 15.6 4.5 11 V5.8 Z"
SEAL = star(12, 12, 10.2, 8.4, 12)
WIFI_ARCS = (p("M2.5 9.2 A13.5 13.5 0 0 1 21.5 9.2") + p("M5.6 12.7 A9 9 0 0 1 18.4 12.7")
             + p("M8.7 16.2 A4.7 4.7 0 0 1 15.3 16.2"))
CLOCK_ARROW = p("M20 12 A8 8 0 1 1 17.66 6.34") + p("M18.4 2.8 L17.9 6.6 L14.1 6.2")
PHONE = rect(7, 2.5, 10, 19, 2.5) + p("M11 5.2 H13")
PERSON = circle(9, 7.5, 3.5) + p("M2.5 20 A6.5 6.2 0 0 1 15.5 20")
DIGITS = {
    "1": p("M12 7.2 V16.8") + p("M9.6 9.2 L12 7.2"),
    "2": p("M9.2 9.6 A2.9 2.9 0 1 1 14.2 11.6 L9.2 16.8 H14.8"),
    "3": p("M9.4 7.4 H14.6 L11.6 11.2 A2.9 2.8 0 1 1 9.2 15.6"),
}
# A thick check drawn as an outline, so it can be cut out of filled shapes (even-odd rule).
CHECK_HOLE = "M7.2 12.3 L8.8 10.7 L10.9 12.8 L15.3 8.4 L16.9 10 L10.9 16 Z"

ICONS = {
    "1.circle": circle(12, 12, 9.5) + DIGITS["1"],
    "2.circle": circle(12, 12, 9.5) + DIGITS["2"],
    "3.circle": circle(12, 12, 9.5) + DIGITS["3"],
    "arrow.clockwise": CLOCK_ARROW,
    "arrow.counterclockwise": group("matrix(-1 0 0 1 24 0)", CLOCK_ARROW),
    "arrow.left": p("M20 12 H4") + p("M10 6 L4 12 L10 18"),
    "arrow.left.arrow.right": p("M20 7.5 H4 M8 3.5 L4 7.5 L8 11.5") + p("M4 16.5 H20 M16 12.5 L20 16.5 L16 20.5"),
    "arrow.triangle.2.circlepath": p("M4.6 11 A7.5 7.5 0 0 1 18 7.4") + fill("M20 4.2 L20.2 10 L15.2 8.2 Z")
    + p("M19.4 13 A7.5 7.5 0 0 1 6 16.6") + fill("M4 19.8 L3.8 14 L8.8 15.8 Z"),
    "arrow.up.right": p("M6.5 17.5 L17 7") + p("M9 7 H17 V15"),
    "arrow.up.right.square": rect(3.5, 3.5, 17, 17, 3.5) + p("M9 15 L15 9") + p("M10.5 9 H15 V13.5"),
    "battery.100percent": rect(2, 7, 18, 10, 2.5) + p("M22.3 10.3 V13.7") + frect(4.3, 9.3, 13.4, 5.4, 1),
    "battery.25": rect(2, 7, 18, 10, 2.5) + p("M22.3 10.3 V13.7") + frect(4.3, 9.3, 3.4, 5.4, 1),
    "battery.50": rect(2, 7, 18, 10, 2.5) + p("M22.3 10.3 V13.7") + frect(4.3, 9.3, 6.7, 5.4, 1),
    "bell": BELL,
    "bell.badge": BELL + dot(18.5, 5.5, 3.5),
    "bell.slash": BELL + SLASH,
    "book.pages": p("M12 6.2 C9 4.6 6 4.5 3 5.5 V19 C6 18 9 18.1 12 19.6 C15 18.1 18 18 21 19 V5.5 C18 4.5 15 4.6 12 6.2 Z")
    + p("M12 6.2 V19.6"),
    "bubble.left.and.bubble.right": p("M3 4.5 H13 A1.5 1.5 0 0 1 14.5 6 V11 A1.5 1.5 0 0 1 13 12.5 H7.5 L4.5 15 V12.5 H3 A1.5 1.5 0 0 1 1.5 11 V6 A1.5 1.5 0 0 1 3 4.5 Z")
    + p("M17.5 8.5 H21 A1.5 1.5 0 0 1 22.5 10 V15 A1.5 1.5 0 0 1 21 16.5 H19.5 V19 L16.5 16.5 H11 A1.5 1.5 0 0 1 9.5 15 V15"),
    "calendar.badge.clock": p("M12 19 H5 A2 2 0 0 1 3 17 V7 A2 2 0 0 1 5 5 H17 A2 2 0 0 1 19 7 V10.5") + p("M3 9.5 H19 M7.5 3 V6.5 M14.5 3 V6.5")
    + circle(17.5, 17.5, 4.5) + p("M17.5 15.3 V17.6 L19 18.7"),
    "chart.line.downtrend.xyaxis": p("M3.5 3.5 V20.5 H20.5") + p("M7 7.5 L11 12 L14 10 L19.5 16"),
    "chart.xyaxis.line": p("M3.5 3.5 V20.5 H20.5") + p("M7 15.5 L11 11 L14 13 L19.5 7"),
    "checklist": p("M10 6.5 H21 M10 12 H21 M10 17.5 H21") + p("M3 6.5 L4.5 8 L7 5 M3 12 L4.5 13.5 L7 10.5 M3 17.5 L4.5 19 L7 16"),
    "checkmark": p("M4.5 12.5 L9.5 17.5 L19.5 6.5"),
    "checkmark.circle": circle(12, 12, 9.5) + p("M8 12.3 L11 15.3 L16.3 9"),
    "checkmark.message": p("M5 3.5 H19 A2 2 0 0 1 21 5.5 V14.5 A2 2 0 0 1 19 16.5 H11 L6.5 20.5 V16.5 H5 A2 2 0 0 1 3 14.5 V5.5 A2 2 0 0 1 5 3.5 Z")
    + p("M8.5 10 L11 12.5 L15.5 7.8"),
    "checkmark.seal": p(SEAL) + p("M8.3 12.2 L11 14.9 L15.9 9.4"),
    "checkmark.seal.fill": fill(SEAL + " " + CHECK_HOLE, "evenodd"),
    "checkmark.shield": p(SHIELD) + p("M8.6 11.8 L11.1 14.3 L15.6 9.4"),
    "chevron.left": p("M15 4.5 L7.5 12 L15 19.5"),
    "chevron.right": p("M9 4.5 L16.5 12 L9 19.5"),
    "clock": circle(12, 12, 9.5) + p("M12 6.5 V12 L15.5 14.5"),
    "clock.badge.checkmark": p("M19.6 10.2 A8.2 8.2 0 1 0 10.5 19.6") + p("M11.5 7 V11.8 L14.3 13.6")
    + circle(17.5, 17.5, 4.5) + p("M15.4 17.6 L17 19.1 L19.6 16"),
    "desktopcomputer": rect(2.5, 3.5, 19, 13, 2) + p("M12 16.5 V20.5 M7.5 20.5 H16.5"),
    "doc.on.clipboard": p("M8.5 4.5 H7 A2 2 0 0 0 5 6.5 V19.5 A2 2 0 0 0 7 21.5 H17 A2 2 0 0 0 19 19.5 V6.5 A2 2 0 0 0 17 4.5 H15.5")
    + rect(8.5, 2.5, 7, 4, 1.2) + p("M8.5 11.5 H15.5 M8.5 15.5 H13.5"),
    "doc.on.doc": rect(8.5, 2.5, 12, 15, 2) + p("M5 7 V19.5 A2 2 0 0 0 7 21.5 H15.5"),
    "doc.text.magnifyingglass": p("M11 21 H6 A2 2 0 0 1 4 19 V5 A2 2 0 0 1 6 3 H13.5 L19 8.5 V11") + p("M13.5 3 V8.5 H19")
    + p("M7.5 9 H11 M7.5 13 H10") + circle(15.5, 16, 3) + p("M17.7 18.2 L20.5 21"),
    "exclamationmark.icloud": p(CLOUD) + p("M12 10.5 V13.6") + dot(12, 16.1, 1.1),
    "exclamationmark.octagon.fill": fill("M8.1 2.5 H15.9 L21.5 8.1 V15.9 L15.9 21.5 H8.1 L2.5 15.9 V8.1 Z "
                                          "M10.9 6.5 H13.1 L12.8 13.6 H11.2 Z M10.8 15.6 H13.2 V18 H10.8 Z", "evenodd"),
    "exclamationmark.triangle": p("M12 3.5 L21.5 20 H2.5 Z") + p("M12 9.5 V14") + dot(12, 16.9, 1.1),
    "exclamationmark.triangle.fill": fill("M12 2 L22.8 21 H1.2 Z M10.9 8.5 H13.1 L12.8 15 H11.2 Z M10.8 16.4 H13.2 V18.8 H10.8 Z", "evenodd"),
    "eye.slash": p("M2 12 C5 6.5 19 6.5 22 12 C19 17.5 5 17.5 2 12 Z") + circle(12, 12, 3) + SLASH,
    "gauge.with.dots.needle.50percent": p("M3.5 17.5 A9 9 0 0 1 20.5 17.5") + dot(5.9, 12.6, 1) + dot(8.2, 9.2, 1)
    + dot(15.8, 9.2, 1) + dot(18.1, 12.6, 1) + p("M12 17.5 V9.5") + dot(12, 17.5, 1.8),
    "gearshape": circle(12, 12, 3) + circle(12, 12, 6.8)
    + "".join(group(f"rotate({a} 12 12)", p("M12 2.6 V5.2")) for a in range(0, 360, 45)),
    "hand.raised": p("M8 12.5 V6 A1.4 1.4 0 0 1 10.8 6 V11 M10.8 11 V4.6 A1.4 1.4 0 0 1 13.6 4.6 V11 M13.6 11 V5.8 "
                     "A1.4 1.4 0 0 1 16.4 5.8 V12.5 M16.4 9.5 A1.4 1.4 0 0 1 19.2 9.5 V14.5 C19.2 18.5 16.5 21 13 21 "
                     "C10 21 8.6 19.6 7 17.4 L4.6 13.8 A1.4 1.4 0 0 1 7 12.3 L8 13.5"),
    "hourglass": p("M6 2.5 H18 M6 21.5 H18") + p("M7.5 2.5 C7.5 8 12 9.5 12 12 C12 14.5 7.5 16 7.5 21.5")
    + p("M16.5 2.5 C16.5 8 12 9.5 12 12 C12 14.5 16.5 16 16.5 21.5"),
    "icloud": p(CLOUD),
    "icloud.and.arrow.up": p(CLOUD) + p("M12 16 V10.8 M9.8 12.8 L12 10.6 L14.2 12.8"),
    "icloud.slash": p(CLOUD) + SLASH,
    "info.circle": circle(12, 12, 9.5) + p("M12 11 V16.5") + dot(12, 7.9, 1.2),
    "iphone": PHONE,
    "iphone.and.arrow.forward": rect(3, 2.5, 10, 19, 2.5) + p("M7 5.2 H9") + p("M15 12 H22 M19 9 L22 12 L19 15"),
    "iphone.slash": PHONE + SLASH,
    "key": circle(7.5, 12, 4) + p("M11.5 12 H21.5 M18.5 12 V15.5 M21.5 12 V14.5"),
    "laptopcomputer": rect(4.5, 4.5, 15, 10.5, 1.5) + p("M2 18.5 H22"),
    "lock": rect(5, 10.5, 14, 10.5, 2) + p("M8 10.5 V7.5 A4 4 0 0 1 16 7.5 V10.5"),
    "lock.shield": p(SHIELD) + frect(8.8, 11, 6.4, 5, 1) + p("M10.3 11 V9.6 A1.7 1.7 0 0 1 13.7 9.6 V11"),
    "macbook": p("M5 15.5 V5.5 A1 1 0 0 1 6 4.5 H18 A1 1 0 0 1 19 5.5 V15.5") + p("M2 17 H22 L21 19.5 H3 Z"),
    "menubar.rectangle": rect(2.5, 4.5, 19, 15, 2) + p("M2.5 8.5 H21.5") + dot(5.5, 6.5, 0.9) + dot(8.3, 6.5, 0.9),
    "moon.zzz": p("M11.5 5 A8 8 0 1 0 19 15.5 A6.5 6.5 0 0 1 11.5 5 Z") + p("M15 3 H19 L15 7.5 H19"),
    "network": circle(12, 12, 9.5) + '<ellipse cx="12" cy="12" rx="4" ry="9.5"/>' + p("M2.5 12 H21.5 M4 7 H20 M4 17 H20"),
    "paperplane": p("M2.5 11 L21.5 2.5 L14.5 21.5 L11 13 Z") + p("M11 13 L21.5 2.5"),
    "pause.circle": circle(12, 12, 9.5) + p("M10 8.5 V15.5 M14 8.5 V15.5"),
    "pause.circle.fill": fill("M12 1.5 A10.5 10.5 0 1 1 11.99 1.5 Z M8.8 7.6 H11 V16.4 H8.8 Z M13 7.6 H15.2 V16.4 H13 Z", "evenodd"),
    "percent": p("M5.5 18.5 L18.5 5.5") + circle(7.5, 7.5, 2.6) + circle(16.5, 16.5, 2.6),
    "person.badge.key": PERSON + circle(17.5, 13, 2.2) + p("M17.5 15.2 V21 M17.5 18.8 H19.5"),
    "person.crop.circle.badge.checkmark": p("M20.5 11 A9.5 9.5 0 1 0 11 20.5") + circle(11, 9, 3)
    + p("M5.3 17.2 A6.5 5 0 0 1 14 15") + circle(18, 18, 4) + p("M16.2 18.1 L17.6 19.4 L19.9 16.7"),
    "power": p("M12 2.5 V11") + p("M7 5.8 A8.5 8.5 0 1 0 17 5.8"),
    "powersleep": p("M10 4.5 A7.8 7.8 0 1 0 19.5 14") + p("M10 4.5 V11") + p("M14 3 H18.5 L14 8 H18.5"),
    "qrcode": rect(3.5, 3.5, 6.5, 6.5, 1) + rect(14, 3.5, 6.5, 6.5, 1) + rect(3.5, 14, 6.5, 6.5, 1)
    + frect(5.6, 5.6, 2.3, 2.3) + frect(16.1, 5.6, 2.3, 2.3) + frect(5.6, 16.1, 2.3, 2.3)
    + frect(13.5, 13.5, 2.5, 2.5) + frect(18, 13.5, 2.5, 2.5) + frect(15.8, 15.8, 2.5, 2.5)
    + frect(13.5, 18, 2.5, 2.5) + frect(18, 18, 2.5, 2.5),
    "qrcode.viewfinder": p("M3 8 V4.5 A1.5 1.5 0 0 1 4.5 3 H8 M16 3 H19.5 A1.5 1.5 0 0 1 21 4.5 V8 "
                           "M21 16 V19.5 A1.5 1.5 0 0 1 19.5 21 H16 M8 21 H4.5 A1.5 1.5 0 0 1 3 19.5 V16")
    + frect(7, 7, 4, 4, 0.6) + frect(13, 7, 4, 4, 0.6) + frect(7, 13, 4, 4, 0.6) + frect(13.5, 13.5, 3, 3, 0.5),
    "questionmark.circle": circle(12, 12, 9.5) + p("M9.4 9.4 A2.6 2.6 0 1 1 13.2 11.7 C12.4 12.2 12 12.8 12 13.9") + dot(12, 17, 1.2),
    "rectangle.3.group": rect(3, 3, 8, 8, 1.8) + rect(13, 3, 8, 8, 1.8) + rect(3, 13, 18, 8, 1.8),
    "restart": p("M4.3 13 A7.8 7.8 0 1 0 6.5 6.5") + p("M3.2 3.6 L6.4 6.7 L9.8 3.9") + p("M10.5 9.5 L14.5 12 L10.5 14.5 Z"),
    "slider.horizontal.3": p("M3 6 H21 M3 12 H21 M3 18 H21") + circle(8, 6, 2.2) + circle(15.5, 12, 2.2) + circle(10, 18, 2.2),
    "sparkles": fill("M10 3 C10.6 8 12 9.4 17 10 C12 10.6 10.6 12 10 17 C9.4 12 8 10.6 3 10 C8 9.4 9.4 8 10 3 Z")
    + fill("M18 14 C18.3 16.2 18.8 16.7 21 17 C18.8 17.3 18.3 17.8 18 20 C17.7 17.8 17.2 17.3 15 17 C17.2 16.7 17.7 16.2 18 14 Z"),
    "speedometer": p("M4.5 18.5 A9 9 0 1 1 19.5 18.5") + p("M12 14 L16.2 8.6") + dot(12, 14, 1.8)
    + p("M12 4.5 V6.3 M5.3 8 L6.8 9 M18.7 8 L17.2 9"),
    "square.and.arrow.down": p("M8 9.5 H6.5 A2 2 0 0 0 4.5 11.5 V19 A2 2 0 0 0 6.5 21 H17.5 A2 2 0 0 0 19.5 19 V11.5 A2 2 0 0 0 17.5 9.5 H16")
    + p("M12 2.5 V14.5 M8.5 11 L12 14.5 L15.5 11"),
    "square.and.pencil": p("M11 4.5 H6 A2 2 0 0 0 4 6.5 V18 A2 2 0 0 0 6 20 H17.5 A2 2 0 0 0 19.5 18 V13")
    + p("M17.6 3.4 A1.9 1.9 0 0 1 20.6 6.4 L12.5 14.5 L9.5 15.5 L10.5 12.5 Z"),
    "switch.2": rect(2.5, 3.5, 19, 7.5, 3.75) + dot(17.75, 7.25, 2.2) + rect(2.5, 13, 19, 7.5, 3.75) + circle(6.25, 16.75, 1.9),
    "terminal": rect(2.5, 4, 19, 16, 2.5) + p("M6.5 9.5 L9.5 12 L6.5 14.5") + p("M12 15 H17"),
    "text.bubble": p("M5 3.5 H19 A2 2 0 0 1 21 5.5 V14.5 A2 2 0 0 1 19 16.5 H11 L6.5 20.5 V16.5 H5 A2 2 0 0 1 3 14.5 V5.5 A2 2 0 0 1 5 3.5 Z")
    + p("M7.5 8 H16.5 M7.5 12 H13.5"),
    "ticket": p("M3 6 H21 V9.8 A2.2 2.2 0 0 0 21 14.2 V18 H3 V14.2 A2.2 2.2 0 0 0 3 9.8 Z")
    + p("M15 7.5 V9 M15 11.3 V12.7 M15 15 V16.5"),
    "timer": circle(12, 13.5, 8) + p("M12 13.5 L15.2 10.3") + p("M9.5 2.5 H14.5 M12 2.5 V5.5"),
    "trash": p("M3.5 6.5 H20.5 M9 6.5 V4.5 A1 1 0 0 1 10 3.5 H14 A1 1 0 0 1 15 4.5 V6.5")
    + p("M5.8 6.5 L6.8 19.6 A1.5 1.5 0 0 0 8.3 21 H15.7 A1.5 1.5 0 0 0 17.2 19.6 L18.2 6.5") + p("M10 10.5 V17 M14 10.5 V17"),
    "waveform.path.ecg": p("M1.5 12 H6 L8.3 7 L11.2 18.5 L14.2 4 L16.6 12 H22.5"),
    "wifi": WIFI_ARCS + dot(12, 19.6, 1.5),
    "wifi.exclamationmark": group("translate(-2 0)", WIFI_ARCS, dot(12, 19.6, 1.5)) + p("M21 11.5 V16.5") + dot(21, 19.6, 1.2),
    "wifi.slash": WIFI_ARCS + dot(12, 19.6, 1.5) + SLASH,
    "xmark": p("M6 6 L18 18 M18 6 L6 18"),
    "xmark.circle": circle(12, 12, 9.5) + p("M8.7 8.7 L15.3 15.3 M15.3 8.7 L8.7 15.3"),
}

if __name__ == "__main__":
    import pathlib
    folder = pathlib.Path(__file__).resolve().parent
    for name, body in ICONS.items():
        (folder / f"{name}.svg").write_text(HEAD + body + TAIL)
    print(len(ICONS), "icons")
