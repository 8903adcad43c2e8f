#!/usr/bin/python3
"""Builds assets/fonts/QuendraCJK.ttf: the part of Noto Sans CJK (Debian package
fonts-noto-cjk, SIL Open Font License 1.1) that the game's Chinese, Japanese and Korean texts
need, renamed to the family "Quendra CJK" so that it never stands in for the full font.

Run it again after any Chinese, Japanese or Korean text changes in src/i18n_catalog.cpp:
    /usr/bin/python3 tools/make_cjk_font.py
Needs python3-fonttools (with python3-munkres and python3-ufolib2) and fonts-noto-cjk.
"""

import os
import re
import subprocess
import sys
import tempfile

from fontTools.ttLib import TTFont

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
CATALOG = os.path.join(ROOT, "src", "i18n_catalog.cpp")
OUT = os.path.join(ROOT, "assets", "fonts", "QuendraCJK.ttf")
SOURCE = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"
# Face 2 of the collection is the Simplified Chinese one; every face holds Han, kana and
# Hangul, and this one suits the catalogue with the most Han characters.
FACE = 2
FAMILY = "Quendra CJK"
POSTSCRIPT = "QuendraCJK-Regular"
CJK_CODES = ("ja", "zh", "ko")

# Punctuation CJK texts commonly use, kept even when no catalogue needs it yet, and the
# full-width forms of ASCII.
EXTRA = ("、。，．・：；！？「」『』（）《》〈〉【】〔〕ー～〜…‥　“”‘’—―·"
         + "".join(chr(c) for c in range(0xFF01, 0xFF5F)))


def catalogue_text():
    """Every string literal of the CJK catalogues plus the language table's native names."""
    src = open(CATALOG, encoding="utf-8").read()
    text = []
    for code in CJK_CODES:
        m = re.search(r"kEntries_%s\[\] = \{(.*?)\n\};" % code, src, re.S)
        if not m:
            sys.exit(f"no catalogue {code} in {CATALOG}")
        text += re.findall(r'"((?:[^"\\]|\\.)*)"', m.group(1))
    m = re.search(r"kCatalogs\[kCatalogCount\] = \{(.*?)\n\};", src, re.S)
    text += re.findall(r'"((?:[^"\\]|\\.)*)"', m.group(1))
    return "".join(text)


def wanted_characters():
    chars = {c for c in catalogue_text() + EXTRA if ord(c) > 0x2000}
    return "".join(sorted(chars))


def rename(path):
    # Keeping the source's time stamp makes the file the same on every run.
    font = TTFont(path, recalcTimestamp=False)
    name = font["name"]
    name.names = [r for r in name.names if r.nameID not in (1, 2, 3, 4, 6, 16, 17, 18, 21, 22)]
    version = "Version 1.0; subset of Noto Sans CJK SC 2.004"
    for plat, enc, lang in ((3, 1, 0x409), (1, 0, 0)):
        name.setName(FAMILY, 1, plat, enc, lang)
        name.setName("Regular", 2, plat, enc, lang)
        name.setName(f"{POSTSCRIPT};Tarnwick", 3, plat, enc, lang)
        name.setName(f"{FAMILY} Regular", 4, plat, enc, lang)
        name.setName(version, 5, plat, enc, lang)
        name.setName(POSTSCRIPT, 6, plat, enc, lang)
    if "CFF " in font:
        cff = font["CFF "].cff
        cff.fontNames = [POSTSCRIPT]
        top = cff.topDictIndex[0]
        for attr, value in (("FamilyName", FAMILY), ("FullName", f"{FAMILY} Regular"),
                            ("CIDFontName", POSTSCRIPT)):
            if hasattr(top, attr):
                setattr(top, attr, value)
    font.save(path)


def main():
    chars = wanted_characters()
    with tempfile.TemporaryDirectory() as tmp:
        text_file = os.path.join(tmp, "chars.txt")
        with open(text_file, "w", encoding="utf-8") as f:
            f.write(chars)
        subset = os.path.join(tmp, "subset.otf")
        subprocess.run([
            "/usr/bin/python3", "-m", "fontTools.subset", SOURCE,
            f"--font-number={FACE}", f"--text-file={text_file}", f"--output-file={subset}",
            "--name-IDs=*", "--name-legacy", "--name-languages=*", "--notdef-outline",
        ], check=True)
        rename(subset)
        os.replace(subset, OUT)
    print(f"{OUT}: {len(chars)} characters, {os.path.getsize(OUT)} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
