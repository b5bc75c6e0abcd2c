#!/usr/bin/env python3
# Writes the glyph-less font that the application registers and removes again to make Qt drop
# its cached font engines (resources/fonts/empty.ttf). Needs python3-fonttools.
# usage: scripts/make-empty-font.py resources/fonts/empty.ttf
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen

builder = FontBuilder(1000, isTTF=True)
builder.setupGlyphOrder([".notdef"])
builder.setupCharacterMap({})
builder.setupGlyf({".notdef": TTGlyphPen(None).glyph()})
builder.setupHorizontalMetrics({".notdef": (500, 0)})
builder.setupHorizontalHeader(ascent=800, descent=-200)
builder.setupNameTable({"familyName": "Vantorel Empty", "styleName": "Regular"})
builder.setupOS2(sTypoAscender=800, usWinAscent=800, usWinDescent=200)
builder.setupPost()
builder.save(sys.argv[1])
