#!/usr/bin/python3
"""Builds the game's three CJK fonts, assets/fonts/QuendraCJK-JP.ttf, -SC.ttf and -KR.ttf:
the parts of the Japanese, Simplified Chinese and Korean faces of Noto Sans CJK (Debian
package fonts-noto-cjk, SIL Open Font License 1.1) that the game's Japanese, Chinese and
Korean texts need, renamed to the families "Quendra CJK JP", "Quendra CJK SC" and
"Quendra CJK KR" so that they never stand in for the full fonts.

The three languages share most Han characters but draw many of them differently (直, 骨,
角 ...), so each language gets the face made for it; the game picks the face by the language
of the text.

Run it again after any Chinese, Japanese or Korean text changes in src/i18n_catalog.cpp:
    /usr/bin/python3 tools/make_cjk_font.py
With --check it builds nothing and says which characters of which language the bundled
fonts lack (the tests run it): Latin, Greek and Cyrillic need the regular and the bold
face, everything else the regular face or the CJK face of the text's language (any CJK
face for the other languages); it exits 1 when anything is missing.
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
FONTS = os.path.join(ROOT, "assets", "fonts")
SOURCE = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"
# (catalogue code, face number in the collection, region tag of the face). The collection
# holds the Japanese, Korean, Simplified Chinese, Traditional Chinese and Hong Kong faces in
# this order; every face has Han, kana and Hangul, in its own region's forms.
FACES = (("ja", 0, "JP"), ("zh", 2, "SC"), ("ko", 1, "KR"))

# Punctuation CJK texts commonly use, kept even when no catalogue needs it yet, and the
# full-width forms of ASCII.
EXTRA = ("、。，．・：；！？「」『』（）《》〈〉【】〔〕ー～〜…‥　“”‘’—―·"
         + "".join(chr(c) for c in range(0xFF01, 0xFF5F)))


def strings(block):
    return re.findall(r'"((?:[^"\\]|\\.)*)"', block)


def catalogue_text(code):
    """Every string literal of one catalogue plus the language table's native names."""
    src = open(CATALOG, encoding="utf-8").read()
    m = re.search(r"kEntries_%s\[\] = \{(.*?)\n\};" % code, src, re.S)
    if not m:
        sys.exit(f"no catalogue {code} in {CATALOG}")
    table = re.search(r"kCatalogs\[kCatalogCount\] = \{(.*?)\n\};", src, re.S)
    if not table:
        sys.exit(f"no language table in {CATALOG}")
    return "".join(strings(m.group(1)) + strings(table.group(1)))


def wanted_characters(code):
    chars = {c for c in catalogue_text(code) + EXTRA if ord(c) > 0x2000}
    return "".join(sorted(chars))


def rename(path, region):
    # Keeping the source's time stamp makes the file the same on every run.
    font = TTFont(path, recalcTimestamp=False)
    family = f"Quendra CJK {region}"
    postscript = f"QuendraCJK{region}-Regular"
    name = font["name"]
    name.names = [r for r in name.names if r.nameID not in (1, 2, 3, 4, 6, 16, 17, 18, 21, 22)]
    version = f"Version 1.0; subset of Noto Sans CJK {region} 2.004"
    for plat, enc, lang in ((3, 1, 0x409), (1, 0, 0)):
        name.setName(family, 1, plat, enc, lang)
        name.setName("Regular", 2, plat, enc, lang)
        name.setName(f"{postscript};Tarnwick", 3, plat, enc, lang)
        name.setName(f"{family} Regular", 4, plat, enc, lang)
        name.setName(version, 5, plat, enc, lang)
        name.setName(postscript, 6, plat, enc, lang)
    if "CFF " in font:
        cff = font["CFF "].cff
        cff.fontNames = [postscript]
        top = cff.topDictIndex[0]
        for attr, value in (("FamilyName", family), ("FullName", f"{family} Regular"),
                            ("CIDFontName", postscript)):
            if hasattr(top, attr):
                setattr(top, attr, value)
    font.save(path)


def build(code, face, region, tmp):
    chars = wanted_characters(code)
    text_file = os.path.join(tmp, f"chars-{region}.txt")
    with open(text_file, "w", encoding="utf-8") as f:
        f.write(chars)
    subset = os.path.join(tmp, f"subset-{region}.otf")
    # Without the "locl" feature the face keeps only its own region's glyph forms: the
    # language decides the face, not a substitution inside it, and the file stays small.
    subprocess.run([
        "/usr/bin/python3", "-m", "fontTools.subset", SOURCE,
        f"--font-number={face}", f"--text-file={text_file}", f"--output-file={subset}",
        "--layout-features-=locl,vert,vrt2,vkna",
        "--name-IDs=*", "--name-legacy", "--name-languages=*", "--notdef-outline",
    ], check=True)
    rename(subset, region)
    out = os.path.join(FONTS, f"QuendraCJK-{region}.ttf")
    os.replace(subset, out)
    print(f"{out}: {len(chars)} characters, {os.path.getsize(out)} bytes")


def check():
    def chars(name):
        return set(TTFont(os.path.join(FONTS, name), fontNumber=0).getBestCmap())
    regular, bold = chars("DejaVuSans.ttf"), chars("DejaVuSans-Bold.ttf")
    cjk = {code: chars(f"QuendraCJK-{region}.ttf") for code, _, region in FACES}
    missing = 0
    codes = re.findall(r"kEntries_(\w+)\[\]", open(CATALOG, encoding="utf-8").read())
    for code in codes:
        faces = [cjk[code]] if code in cjk else list(cjk.values())
        for ch in sorted(set(catalogue_text(code)) - {"\n"}):
            cp = ord(ch)
            if cp not in regular and not any(cp in face for face in faces):
                print(f"{code}: no glyph for {ch} (U+{cp:04X})")
                missing += 1
            elif cp < 0x0590 and cp not in bold:
                print(f"{code}: no bold glyph for {ch} (U+{cp:04X})")
                missing += 1
    print(f"{len(codes)} catalogues, {missing} characters missing")
    return 1 if missing or len(codes) < 2 else 0


def main():
    if sys.argv[1:] == ["--check"]:
        return check()
    with tempfile.TemporaryDirectory() as tmp:
        for code, face, region in FACES:
            build(code, face, region, tmp)
    return 0


if __name__ == "__main__":
    sys.exit(main())
