#!/usr/bin/env python3
"""Builds the character bigram tables of the repair scorer from text shipped in
Debian packages, and the clean passages the benchmark corpus is made from.

Text sources (install the packages first, see repair/model/SOURCES.md):
  gettext catalogs under /usr/share/locale/<locale>/LC_MESSAGES (LOCALE_DIRS) of
  whatever packages are installed, and the manual pages, FAQs, reference
  manuals and fortune files of the packages in DOCUMENT_PACKAGES.

Beside the tables, the model holds for each language the script classes it
uses and its clean-text floors: the 0.5th percentile of the per-character
log-probability of clean text at several lengths, measured on training files
with tables built from the other training files.

Every source file goes wholly to the training half or to the benchmark half
(alternating within each language and source group, in path order), so no
benchmark sentence was seen in training.

Usage:
  build_model.py [--work DIR] [--new-manifest]
Writes repair/model/model.bin and repair/model/MANIFEST.txt, and DIR/passages.jsonl
(clean benchmark passages for tools/make_corpus). With an existing manifest it
refuses to run when a package version or a file's SHA-256 differs, unless
--new-manifest is given.
"""

import argparse
import collections
import functools
import glob
import gzip
import hashlib
import html
import json
import math
import os
import random
import re
import struct
import subprocess
import sys
import unicodedata

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MODEL_DIR = os.path.join(ROOT, "repair", "model")

# The order is the order of the tables in model.bin; repair/language_model.h names them.
LANGUAGES = ["zh_CN", "zh_TW", "ja", "ko", "ru", "de", "fr", "en",
             "el", "he", "ar", "fa", "pl", "cs", "tr", "uk", "vi", "th", "es", "it", "pt", "nl", "hu",
             "sv", "ro", "bg", "lt", "lv"]

LOCALE_DIRS = {
    "zh_CN": ["zh_CN"], "zh_TW": ["zh_TW", "zh_HK"], "ja": ["ja"], "ko": ["ko"], "ru": ["ru"],
    "de": ["de"], "fr": ["fr"],
    # en@shaw is English in the Shavian alphabet: not the English a user pastes.
    "en": ["en", "en@boldquot", "en@quot", "en_AU", "en_CA", "en_GB", "en_NZ", "en_US"],
    "el": ["el"], "he": ["he"], "ar": ["ar"], "fa": ["fa"], "pl": ["pl"], "cs": ["cs"], "tr": ["tr"],
    "uk": ["uk"], "vi": ["vi"], "th": ["th"], "es": ["es", "es_AR", "es_CL", "es_CO", "es_MX"],
    "it": ["it"], "pt": ["pt", "pt_BR", "pt_PT"], "nl": ["nl"], "hu": ["hu"], "sv": ["sv"], "ro": ["ro"],
    "bg": ["bg"], "lt": ["lt"], "lv": ["lv"],
}

# (language, package, glob of the files it holds, kind)
DOCUMENT_PACKAGES = [
    ("zh_CN", "manpages-zh", "/usr/share/man/zh_CN/man*/*.gz", "man"),
    ("zh_TW", "manpages-zh", "/usr/share/man/zh_TW/man*/*.gz", "man"),
    ("ja", "manpages-ja", "/usr/share/man/ja/man*/*.gz", "man"),
    ("ru", "manpages-ru", "/usr/share/man/ru/man*/*.gz", "man"),
    ("de", "manpages-de", "/usr/share/man/de/man*/*.gz", "man"),
    ("fr", "manpages-fr", "/usr/share/man/fr/man*/*.gz", "man"),
    ("ko", "debian-faq-ko", "/usr/share/doc/debian/FAQ/ko/*.html", "html"),
    ("zh_CN", "debian-faq-zh-cn", "/usr/share/doc/debian/FAQ/zh-cn/*.html", "html"),
    ("ja", "debian-faq-ja", "/usr/share/doc/debian/FAQ/ja/*.html", "html"),
    ("zh_CN", "debian-reference-zh-cn", "/usr/share/debian-reference/*.zh-cn.html", "html"),
    ("zh_TW", "debian-reference-zh-tw", "/usr/share/debian-reference/*.zh-tw.html", "html"),
    ("zh_CN", "fortunes-zh", "/usr/share/games/fortunes/*", "fortune"),
    ("ru", "fortunes-ru", "/usr/share/games/fortunes/ru/*", "fortune"),
    ("de", "fortunes-de", "/usr/share/games/fortunes/de/*", "fortune"),
    ("el", "manpages-el", "/usr/share/man/el/man*/*.gz", "man"),
    ("pl", "manpages-pl", "/usr/share/man/pl/man*/*.gz", "man"),
    ("cs", "manpages-cs", "/usr/share/man/cs/man*/*.gz", "man"),
    ("tr", "manpages-tr", "/usr/share/man/tr/man*/*.gz", "man"),
    ("uk", "manpages-uk", "/usr/share/man/uk/man*/*.gz", "man"),
    ("vi", "manpages-vi", "/usr/share/man/vi/man*/*.gz", "man"),
    ("es", "manpages-es", "/usr/share/man/es/man*/*.gz", "man"),
    ("it", "manpages-it", "/usr/share/man/it/man*/*.gz", "man"),
    ("pt", "manpages-pt-br", "/usr/share/man/pt_BR/man*/*.gz", "man"),
    ("nl", "manpages-nl", "/usr/share/man/nl/man*/*.gz", "man"),
    ("hu", "manpages-hu", "/usr/share/man/hu/man*/*.gz", "man"),
    ("sv", "manpages-sv", "/usr/share/man/sv/man*/*.gz", "man"),
    ("ro", "manpages-ro", "/usr/share/man/ro/man*/*.gz", "man"),
    ("es", "fortunes-es", "/usr/share/games/fortunes/es/*", "fortune"),
    ("pl", "fortunes-pl", "/usr/share/games/fortunes/pl/*", "fortune"),
    ("pt", "fortunes-br", "/usr/share/games/fortunes/brasil", "fortune"),
    ("bg", "fortunes-bg", "/usr/share/games/fortunes/bg/*", "fortune"),
]

# Character classes; repair/language_model.cpp assigns the same ones at run time.
(ASCII_LETTER, DIGIT, ASCII_OTHER, CONTROL, LATIN1_LETTER, LATIN_EXTENDED, LATIN_ADDITIONAL, LATIN1_SYMBOL,
 COMBINING, GREEK, CYRILLIC, HEBREW, ARABIC, PRESENTATION_FORM, THAI, HAN, HIRAGANA, KATAKANA,
 HALFWIDTH_KATAKANA, HANGUL, HANGUL_JAMO, CJK_PUNCT, BOPOMOFO, GENERAL_PUNCT, SYMBOL, OTHER_LETTER,
 PRIVATE_USE, UNASSIGNED, SURROGATE, ASTRAL) = range(30)
CLASS_COUNT = 30
# Classes real text almost never holds: mojibake is full of them.
IMPROBABLE = {CONTROL: 14.0, HALFWIDTH_KATAKANA: 12.0, PRIVATE_USE: 16.0, UNASSIGNED: 18.0, SURROGATE: 18.0}
# The classes that tell scripts apart. A language is scored only on a text that
# holds one of the script classes it uses (see script_mask), so that a text of
# one script does not pay for the models of every other.
SCRIPT_CLASSES = [LATIN1_LETTER, LATIN_EXTENDED, LATIN_ADDITIONAL, GREEK, CYRILLIC, HEBREW, ARABIC,
                  PRESENTATION_FORM, THAI, HAN, HIRAGANA, KATAKANA, HALFWIDTH_KATAKANA, HANGUL, HANGUL_JAMO,
                  CJK_PUNCT, BOPOMOFO]
# A script class counts as a language's own when it makes up this share of the
# language's characters of script classes in training.
SCRIPT_SHARE = 0.002

CLASS_PRIOR_WEIGHT = 50.0  # pseudo-counts of the class prior in each transition row
QUANT_STEP = 0.125  # nats per quantisation step; 255 steps reach 31.9 nats
ASCII = 128


@functools.lru_cache(maxsize=None)
def char_class(cp):
    if cp < 0x80:
        if 0x41 <= cp <= 0x5A or 0x61 <= cp <= 0x7A:
            return ASCII_LETTER
        if 0x30 <= cp <= 0x39:
            return DIGIT
        if cp >= 0x20 and cp != 0x7F or cp in (9, 10, 13):
            return ASCII_OTHER
        return CONTROL
    if cp >= 0xFFFF:
        return ASTRAL  # U+FFFF stands for every character beyond the BMP
    if 0xD800 <= cp <= 0xDFFF:
        return SURROGATE
    ranges = [
        (0x00A0, 0x00BF, LATIN1_SYMBOL), (0x00D7, 0x00D7, LATIN1_SYMBOL), (0x00F7, 0x00F7, LATIN1_SYMBOL),
        (0x00C0, 0x00FF, LATIN1_LETTER), (0x0100, 0x024F, LATIN_EXTENDED), (0x1E00, 0x1EFF, LATIN_ADDITIONAL),
        (0x0300, 0x036F, COMBINING), (0x0370, 0x03FF, GREEK), (0x1F00, 0x1FFF, GREEK),
        (0x0400, 0x052F, CYRILLIC), (0x0590, 0x05FF, HEBREW), (0x0600, 0x06FF, ARABIC), (0x0750, 0x077F, ARABIC),
        (0x08A0, 0x08FF, ARABIC), (0xFB00, 0xFDFF, PRESENTATION_FORM), (0xFE70, 0xFEFE, PRESENTATION_FORM),
        (0x0E00, 0x0E7F, THAI),
        (0x3400, 0x4DBF, HAN), (0x4E00, 0x9FFF, HAN), (0xF900, 0xFAFF, HAN),
        (0x3040, 0x309F, HIRAGANA), (0x30A0, 0x30FF, KATAKANA), (0x31F0, 0x31FF, KATAKANA),
        (0xFF61, 0xFF9F, HALFWIDTH_KATAKANA), (0xAC00, 0xD7A3, HANGUL), (0x1100, 0x11FF, HANGUL_JAMO),
        (0x3130, 0x318F, HANGUL_JAMO), (0xFFA0, 0xFFDC, HANGUL_JAMO), (0x3000, 0x303F, CJK_PUNCT),
        (0xFF01, 0xFF60, CJK_PUNCT), (0xFFE0, 0xFFEE, CJK_PUNCT), (0x3200, 0x33FF, CJK_PUNCT),
        (0x3100, 0x312F, BOPOMOFO), (0x31A0, 0x31BF, BOPOMOFO), (0x2000, 0x206F, GENERAL_PUNCT),
    ]
    category = unicodedata.category(chr(cp))
    if category == "Cn":
        return UNASSIGNED
    for lo, hi, cls in ranges:
        if lo <= cp <= hi:
            return cls
    if category == "Co":
        return PRIVATE_USE
    if category == "Cc":
        return CONTROL
    if category[0] in "LM":
        return OTHER_LETTER
    return SYMBOL


def class_sizes():
    sizes = [0] * CLASS_COUNT
    for cp in range(0x10000):
        sizes[char_class(cp)] += 1
    sizes[ASTRAL] = 0x100000  # U+FFFF stands for all of them
    return sizes


# ---- reading the sources -------------------------------------------------------------

def read_mo(data):
    """The translated strings (and, for English catalogs, the source strings) of a .mo file."""
    if len(data) < 28:
        return [], []
    magic = struct.unpack("<I", data[:4])[0]
    order = "<" if magic == 0x950412DE else ">"
    _, count, orig_table, trans_table = struct.unpack(order + "4I", data[4:20])
    ids, strs = [], []
    for i in range(count):
        olen, ooff = struct.unpack(order + "2I", data[orig_table + 8 * i: orig_table + 8 * i + 8])
        tlen, toff = struct.unpack(order + "2I", data[trans_table + 8 * i: trans_table + 8 * i + 8])
        msgid = data[ooff:ooff + olen].decode("utf-8", "replace")
        if not msgid:
            continue  # the catalog header
        msgid = msgid.split("\x04")[-1]
        ids.extend(msgid.split("\x00"))
        strs.extend(data[toff:toff + tlen].decode("utf-8", "replace").split("\x00"))
    return ids, strs


FORMAT_SPEC = re.compile(r"%(\d+\$)?[-+ #0]*\d*(\.\d+)?(hh|h|ll|l|L|z|j|t|q)?[diouxXeEfgGcsSpn%]|\$\{?\w+\}?")


def clean_message(s):
    s = FORMAT_SPEC.sub(" ", s)
    return [line.strip() for line in s.split("\n") if line.strip()]


GROFF_ESCAPES = [
    (re.compile(r"\\f(\[[^\]]*\]|\(..|.)"), ""),
    (re.compile(r"\\\*(\(..|\[[^\]]*\]|.)"), ""),
    (re.compile(r"\\s[-+]?\d+"), ""),
    (re.compile(r"\\\(lq|\\\(rq"), "\""),
    (re.compile(r"\\\(em|\\\(en"), "-"),
    (re.compile(r"\\\(..|\\\[[^\]]*\]"), " "),
    (re.compile(r"\\[-]"), "-"),
    (re.compile(r"\\e"), "\\\\"),
    (re.compile(r"\\ "), " "),
    (re.compile(r"\\."), ""),
]
TEXT_MACROS = {"SH", "SS", "B", "I", "BI", "BR", "IR", "RB", "RI", "IB", "SM", "SB", "IP", "TP", "UR", "MT", "Nm", "Nd", "Sh"}


def read_man(data):
    text = gzip.decompress(data).decode("utf-8", "replace")
    if text.startswith(".so "):
        return []
    paragraphs, current = [], []
    for line in text.split("\n"):
        if line.startswith(".\\\"") or line.startswith("'\\\""):
            continue
        if line.startswith(".") or line.startswith("'"):
            parts = line[1:].split(None, 1)
            macro = parts[0] if parts else ""
            if macro in ("PP", "LP", "P", "SH", "SS", "TP", "IP", "br", "sp", "Pp", "Sh"):
                if current:
                    paragraphs.append(current)
                current = []
            if macro not in TEXT_MACROS or len(parts) < 2:
                continue
            line = parts[1].replace("\"", "")
        for pattern, replacement in GROFF_ESCAPES:
            line = pattern.sub(replacement, line)
        line = line.strip()
        if line:
            current.append(line)
        elif current:
            paragraphs.append(current)
            current = []
    if current:
        paragraphs.append(current)
    return ["\n".join(p) for p in paragraphs]


BLOCK_TAGS = re.compile(r"<\s*/?\s*(p|div|br|li|ul|ol|h\d|pre|tr|td|th|table|dt|dd|dl|title|blockquote)\b[^>]*>", re.I)


def read_html(data):
    text = data.decode("utf-8", "replace")
    text = re.sub(r"<(script|style)\b.*?</\1>", " ", text, flags=re.S | re.I)
    text = BLOCK_TAGS.sub("\n\n", text)
    text = re.sub(r"<[^>]*>", "", text)
    text = html.unescape(text)
    paragraphs = []
    for block in re.split(r"\n\s*\n", text):
        lines = [re.sub(r"[ \t\u00a0]+", " ", line).strip() for line in block.split("\n")]
        lines = [line for line in lines if line]
        if lines:
            paragraphs.append("\n".join(lines))
    return paragraphs


ANSI = re.compile(r"\x1b\[[0-9;]*[A-Za-z]")


def read_fortune(data):
    text = ANSI.sub("", data.decode("utf-8", "replace"))
    paragraphs = []
    for block in re.split(r"^%\s*$", text, flags=re.M):
        lines = [line.rstrip() for line in block.strip("\n").split("\n")]
        lines = [line for line in lines if line.strip()]
        if lines:
            paragraphs.append("\n".join(lines))
    return paragraphs


def usable(paragraph):
    # Lines a decoding error of the source itself left marks in, and control
    # characters, are dropped: they are not real text.
    return "\ufffd" not in paragraph and not any(ord(c) < 32 and c not in "\n\t" for c in paragraph)


def package_of_files():
    owner = {}
    for listing in glob.glob("/var/lib/dpkg/info/*.list"):
        package = os.path.basename(listing)[:-5].split(":")[0]
        with open(listing, encoding="utf-8", errors="replace") as f:
            for path in f:
                owner[path.rstrip("\n")] = package
    return owner


def package_versions(packages):
    out = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Version}\\n"] + sorted(packages),
                         capture_output=True, text=True, check=False).stdout
    return dict(line.split(" ", 1) for line in out.splitlines() if " " in line)


def collect_sources():
    """[(language, group, path, kind, package)] in a fixed order."""
    owner = package_of_files()
    sources = []
    for language in LANGUAGES:
        for locale in LOCALE_DIRS[language]:
            for path in sorted(glob.glob(f"/usr/share/locale/{locale}/LC_MESSAGES/*.mo")):
                if os.path.islink(path):
                    continue
                sources.append((language, "gettext", path, "mo", owner.get(path, "?")))
    for language, package, pattern, kind in DOCUMENT_PACKAGES:
        for path in sorted(glob.glob(pattern)):
            if os.path.islink(path) or path.endswith(".dat") or not os.path.isfile(path):
                continue
            if owner.get(path) != package:
                continue
            if kind == "fortune" and os.path.isfile(path + ".u8"):
                continue  # the same sayings in a legacy encoding; the .u8 file holds them in UTF-8
            sources.append((language, package, path, kind, package))
    return sources


def read_source(kind, language, data):
    if kind == "mo":
        ids, strs = read_mo(data)
        texts = strs + ids if language == "en" else strs
        out = []
        for t in texts:
            out.extend(clean_message(t))
        return out, ids
    if kind == "man":
        return read_man(data), []
    if kind == "html":
        return read_html(data), []
    return read_fortune(data), []


# ---- the model -----------------------------------------------------------------------

def quantise(logp):
    return max(0, min(255, int(round(-logp / QUANT_STEP))))


def code_units(paragraph):
    """The paragraph as the scorer sees it: one symbol per code point (astral
    ones as U+FFFF, which no table holds), a line break before it."""
    return [0x0A] + [ord(c) if ord(c) <= 0xFFFF else 0xFFFF for c in paragraph]


def train(paragraphs, sizes):
    unigram = collections.Counter()
    bigram = collections.Counter()
    for p in paragraphs:
        units = code_units(p)
        unigram.update(units)
        bigram.update(zip(units, units[1:]))
    return unigram, bigram


def class_model(unigram, bigram, sizes):
    """P(class2 | class1), smoothed toward the overall class frequencies (so a
    run of a class seldom seen stays improbable), with the improbable classes
    held down; and P(c | class) with Witten-Bell smoothing toward the unseen
    members."""
    counts = [[0.0] * CLASS_COUNT for _ in range(CLASS_COUNT)]
    overall = [0.5] * CLASS_COUNT
    for (a, b), n in bigram.items():
        counts[char_class(a)][char_class(b)] += n
        overall[char_class(b)] += n
    total = sum(overall)
    prior = [v / total for v in overall]
    logtrans = []
    for row in counts:
        row_total = sum(row)
        logrow = [math.log((row[k] + CLASS_PRIOR_WEIGHT * prior[k]) / (row_total + CLASS_PRIOR_WEIGHT))
                  for k in range(CLASS_COUNT)]
        for cls, floor in IMPROBABLE.items():
            logrow[cls] = min(logrow[cls], -floor)
        logtrans.append(logrow)
    in_class_total = [0] * CLASS_COUNT
    in_class_types = [0] * CLASS_COUNT
    for c, n in unigram.items():
        if n >= 2:
            in_class_total[char_class(c)] += n
            in_class_types[char_class(c)] += 1
    lam = [in_class_total[k] / (in_class_total[k] + in_class_types[k]) if in_class_total[k] else 0.0
           for k in range(CLASS_COUNT)]
    unseen = [math.log((1 - lam[k]) / max(1, sizes[k] - in_class_types[k])) for k in range(CLASS_COUNT)]

    def in_class(c):
        k = char_class(c)
        n = unigram.get(c, 0)
        if n < 2:
            return unseen[k]
        return math.log(lam[k] * n / in_class_total[k] + (1 - lam[k]) / sizes[k])

    return logtrans, unseen, in_class


def build_tables(unigram, bigram, sizes, ascii_only_followers=False):
    """Rows of (char, in-class log p, back-off log weight, [(follower, log p)])."""
    logtrans, unseen, in_class = class_model(unigram, bigram, sizes)
    followers = collections.defaultdict(list)
    totals = collections.Counter()
    types = collections.Counter()
    for (a, b), n in bigram.items():
        totals[a] += n
        types[a] += 1
        followers[a].append((b, n))
    vocab = sorted(c for c, n in unigram.items() if n >= 2 or c in followers)
    rows = []
    for c in vocab:
        k1 = char_class(c)
        n1, t1 = totals.get(c, 0), types.get(c, 0)
        lam = n1 / (n1 + t1) if n1 else 0.0
        backoff = math.log(1 - lam) if lam < 1 else -30.0
        kept = []
        for b, n in followers.get(c, []):
            if n < 2:
                continue  # seen once: left to the back-off
            if c < ASCII and b < ASCII:
                continue  # the shared ASCII table scores these
            p_back = math.exp(logtrans[k1][char_class(b)] + in_class(b))
            kept.append((b, math.log(lam * n / n1 + (1 - lam) * p_back)))
        kept.sort()
        rows.append((c, in_class(c), backoff, kept))
    return logtrans, unseen, rows


def ascii_table(unigram, bigram, sizes):
    """-log P(b | a) for two ASCII characters, from every language's text."""
    logtrans, _, in_class = class_model(unigram, bigram, sizes)
    totals = collections.Counter()
    types = collections.Counter()
    for (a, b), n in bigram.items():
        totals[a] += n
        types[a] += 1
    table = bytearray(ASCII * ASCII)
    for a in range(ASCII):
        n1, t1 = totals.get(a, 0), types.get(a, 0)
        lam = n1 / (n1 + t1) if n1 else 0.0
        for b in range(ASCII):
            p_back = math.exp(logtrans[char_class(a)][char_class(b)] + in_class(b))
            n = bigram.get((a, b), 0)
            p = (lam * n / n1 if n1 else 0.0) + (1 - lam) * p_back
            table[a * ASCII + b] = quantise(math.log(p))
    return table


def script_mask(unigram):
    """The script classes the language uses: each that makes up SCRIPT_SHARE of
    its characters of script classes, as bits (1 << class)."""
    counts = collections.Counter()
    for c, n in unigram.items():
        if char_class(c) in SCRIPT_CLASSES:
            counts[char_class(c)] += n
    total = sum(counts.values())
    mask = 0
    for cls, n in counts.items():
        if total and n >= SCRIPT_SHARE * total:
            mask |= 1 << cls
    return mask


class Scorer:
    """The run-time scorer of repair/language_model.cpp on the quantised tables
    of one language, for measuring what clean text scores."""

    def __init__(self, ascii, model):
        logtrans, unseen, rows = model
        self.ascii = ascii
        self.trans = [[quantise(v) for v in row] for row in logtrans]
        self.unseen = [quantise(v) for v in unseen]
        self.rows = {r[0]: (quantise(r[1]), quantise(r[2]), {f: quantise(v) for f, v in r[3]}) for r in rows}

    def cost(self, a, b):
        """Quantisation steps of character b after character a."""
        if a < ASCII and b < ASCII:
            return self.ascii[a * ASCII + b]
        row_b = self.rows.get(b)
        back = self.trans[char_class(a)][char_class(b)] + (row_b[0] if row_b else self.unseen[char_class(b)])
        row_a = self.rows.get(a)
        if row_a is None:
            return back
        found = row_a[2].get(b)
        return found if found is not None else row_a[1] + back

    def per_character(self, text):
        """Natural log-probability per character, as ScoreText counts them."""
        units = code_units(text)
        return -sum(self.cost(a, b) for a, b in zip(units, units[1:])) * QUANT_STEP / (len(units) - 1)


# Text lengths (in characters) at which what clean text scores is measured;
# repair/language_model.cpp takes the floor of the longest one not above a text's length.
FLOOR_LENGTHS = [5, 10, 20, 50, 100, 200, 500, 1000, 2000]
FLOOR_PERCENTILE = 0.005


def windows(documents, length, count, rng):
    """count stretches of exactly length characters, each from one document:
    consecutive paragraphs joined by line breaks, from a random paragraph on."""
    docs = [d for d in documents if sum(len(p) + 1 for p in d) > length]
    out = []
    if not docs:
        return out
    for _ in range(count * 3):
        if len(out) == count:
            break
        doc = rng.choice(docs)
        start = rng.randrange(len(doc))
        text = ""
        for p in doc[start:]:
            text = text + "\n" + p if text else p
            if len(text) >= length:
                break
        if len(text) >= length:
            out.append(text[:length])
    return out


def clean_text_floors(scorer, documents, rng):
    """Per FLOOR_LENGTHS, the FLOOR_PERCENTILE point of the per-character
    log-probability of stretches of clean text (documents the scorer's tables
    were not built from); None where no document is long enough."""
    measured = []
    for length in FLOOR_LENGTHS:
        count = max(300, min(1500, 600000 // length))
        scores = sorted(scorer.per_character(w) for w in windows(documents, length, count, rng))
        measured.append(scores[int(FLOOR_PERCENTILE * len(scores))] if scores else None)
    # A length without text of its own keeps the floor of the shorter one.
    for i, floor in enumerate(measured):
        if floor is None:
            measured[i] = measured[i - 1] if i > 0 else -30.0
    # Few documents are long enough for the longest stretches, so one length's
    # point scatters: each length takes the lower of its own and the next shorter one's.
    return [min(measured[max(0, i - 1):i + 1]) for i in range(len(measured))]


def write_model(path, languages, ascii, models, masks, floors):
    """Layout (little-endian), read in place by repair/language_model.cpp:
      "MOKLM002", u32 language count, u32 class count, f32 nats per step,
      u32 F, u32[F] floor lengths,
      u8[128*128] shared ASCII table, u32 offset of each language block;
      per language: char[8] name, u32 script classes (bit per class), f32[F] clean-text
      floors (nats per character), u8[K*K] class transitions, u8[K] unseen-in-class,
      u32 V, u32 E, u16[V] chars (sorted), u8[V] in-class, u8[V] back-off,
      u32[V+1] row starts, u16[E] followers, u8[E] bigram values, padding to 4."""
    blocks = []
    for name, (logtrans, unseen, rows), mask, floor in zip(languages, models, masks, floors):
        b = bytearray(name.encode().ljust(8, b"\0"))
        b += struct.pack("<I", mask)
        b += struct.pack(f"<{len(floor)}f", *floor)
        for row in logtrans:
            b += bytes(quantise(v) for v in row)
        b += bytes(quantise(v) for v in unseen)
        b += b"\0" * (-len(b) % 4)
        edges = sum(len(r[3]) for r in rows)
        b += struct.pack("<2I", len(rows), edges)
        b += struct.pack(f"<{len(rows)}H", *(r[0] for r in rows))
        b += bytes(quantise(r[1]) for r in rows)
        b += bytes(quantise(r[2]) for r in rows)
        b += b"\0" * (-len(b) % 4)
        starts, total = [], 0
        for r in rows:
            starts.append(total)
            total += len(r[3])
        starts.append(total)
        b += struct.pack(f"<{len(starts)}I", *starts)
        b += struct.pack(f"<{edges}H", *(f for r in rows for f, _ in r[3]))
        b += bytes(quantise(v) for r in rows for _, v in r[3])
        b += b"\0" * (-len(b) % 4)
        blocks.append(bytes(b))
    header = bytearray(b"MOKLM002")
    header += struct.pack("<2If", len(languages), CLASS_COUNT, QUANT_STEP)
    header += struct.pack(f"<I{len(FLOOR_LENGTHS)}I", len(FLOOR_LENGTHS), *FLOOR_LENGTHS)
    header += ascii
    offsets_at = len(header)
    header += b"\0" * (4 * len(blocks))
    offset = len(header)
    for i, block in enumerate(blocks):
        struct.pack_into("<I", header, offsets_at + 4 * i, offset)
        offset += len(block)
    with open(path, "wb") as f:
        f.write(header)
        for block in blocks:
            f.write(block)


# ---- benchmark passages --------------------------------------------------------------

CJK = {"zh_CN", "zh_TW", "ja", "ko", "th"}  # short passages cut by characters, not words
CLASSES = {"short": (5, 20), "medium": (50, 300), "long": (1000, 4000)}

# Passages holding words that the repository's text checks reserve are left
# out, so the corpus never trips them. The words are spelled with character
# classes so that this file does not hold them either. The word edges count
# only ASCII letters and digits as word characters, and the case folding is
# Unicode's, so whatever grep -i finds, in the C locale or a UTF-8 one, is
# found here too.
_EDGE_BEFORE, _EDGE_AFTER = r"(?<![0-9A-Za-z_])", r"(?![0-9A-Za-z_])"
RESERVED = re.compile(_EDGE_BEFORE + r"s[p]ec(ification)?s?" + _EDGE_AFTER + "|"
                      + _EDGE_BEFORE + r"P[a]rt [0-9]+\.[0-9]+", re.I)


def unseen_lines(documents, trained):
    """The benchmark documents without the lines that occur in the training
    half too: many catalogs share messages, and man pages their boilerplate,
    so a file of the benchmark half still holds lines the model was built on."""
    seen = {line.strip() for p in trained for line in p.split("\n")}
    out = []
    for doc in documents:
        kept = []
        for p in doc:
            lines = [line for line in p.split("\n") if line.strip() not in seen]
            if lines:
                kept.append("\n".join(lines))
        if kept:
            out.append(kept)
    return out


def passages(language, documents, rng, count):
    """count passages of each length class from the benchmark half: a stretch of
    one paragraph (short), of consecutive lines (medium), of one document (long)."""
    out = []
    docs = [d for d in documents if sum(len(p) for p in d) >= 20]
    lines = [line for d in docs for p in d for line in p.split("\n") if len(line) >= 5]
    for cls, (lo, hi) in CLASSES.items():
        made, tries = 0, 0
        while made < count and tries < count * 50:
            tries += 1
            target = rng.randint(lo, hi)
            if cls == "short":
                line = rng.choice(lines)
                if len(line) < lo:
                    continue
                if language in CJK:
                    start = rng.randrange(0, max(1, len(line) - target + 1))
                    text = line[start:start + target]
                else:
                    words = line.split(" ")
                    start = rng.randrange(len(words))
                    text = ""
                    for w in words[start:]:
                        if len(text) + len(w) + 1 > target and text:
                            break
                        text = (text + " " + w).strip()
                text = text.strip()
            else:
                doc = rng.choice(docs)
                flat = [line for p in doc for line in p.split("\n")]
                start = rng.randrange(len(flat))
                text = ""
                for line in flat[start:]:
                    if len(text) >= target:
                        break
                    text = text + "\n" + line if text else line
                text = text[:hi].strip()
            if not (lo <= len(text) <= hi) or not usable(text) or RESERVED.search(text):
                continue
            out.append({"lang": language, "class": cls, "text": text})
            made += 1
    return out


# ---- main ----------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--work", default=os.path.join(ROOT, "build-model"))
    parser.add_argument("--new-manifest", action="store_true")
    parser.add_argument("--passages-per-class", type=int, default=700)
    args = parser.parse_args()

    sources = collect_sources()
    versions = package_versions({s[4] for s in sources if s[4] != "?"})
    manifest_path = os.path.join(MODEL_DIR, "MANIFEST.txt")
    old = {}
    if os.path.exists(manifest_path) and not args.new_manifest:
        with open(manifest_path, encoding="utf-8") as f:
            for line in f:
                fields = line.rstrip("\n").split("\t")
                if len(fields) == 4 and fields[0] == "file":
                    old[fields[3]] = fields[1]
                elif len(fields) == 3 and fields[0] == "package":
                    old["package:" + fields[1]] = fields[2]
        if not old:
            sys.exit("build_model: the manifest lists no file")

    manifest = [f"# Sources of repair/model/model.bin, written by repair/tools/build_model.py.\n"
                "# package<TAB>name<TAB>version, then file<TAB>sha256<TAB>half<TAB>path.\n"]
    for package in sorted(versions):
        manifest.append(f"package\t{package}\t{versions[package]}\n")
    paragraphs = {lang: {"train": [], "bench": []} for lang in LANGUAGES}
    documents = {lang: [] for lang in LANGUAGES}
    train_documents = {lang: [] for lang in LANGUAGES}
    counter = collections.Counter()
    english_domains = set()
    problems = []
    for language, group, path, kind, package in sources:
        with open(path, "rb") as f:
            data = f.read()
        digest = hashlib.sha256(data).hexdigest()
        half = "train" if counter[(language, group)] % 2 == 0 else "bench"
        counter[(language, group)] += 1
        if old:
            if old.get(path) != digest:
                problems.append(f"{path}: {'not in the manifest' if path not in old else 'checksum differs'}")
            if old.get("package:" + package, versions.get(package)) != versions.get(package):
                problems.append(f"{package}: version {versions.get(package)} differs from the manifest")
        manifest.append(f"file\t{digest}\t{half}\t{path}\n")
        try:
            texts, source_strings = read_source(kind, language, data)
        except (OSError, ValueError, struct.error, EOFError):
            texts, source_strings = [], []
        paras = [p for p in texts if usable(p)]
        paragraphs[language][half].extend(paras)
        # The source strings of a catalog are English; each text domain counts once.
        domain = os.path.basename(path)
        if kind == "mo" and language != "en" and domain not in english_domains:
            english_domains.add(domain)
            english = [p for s in source_strings for p in clean_message(s) if usable(p)]
            paragraphs["en"][half].extend(english)
            if half == "train" and english:
                train_documents["en"].append(english)
        if half == "bench" and paras:
            documents[language].append(paras)
        if half == "train" and paras:
            train_documents[language].append(paras)
    if old:
        seen = {s[2] for s in sources}
        problems += [f"{p}: in the manifest but not found" for p in old if not p.startswith("package:") and p not in seen]
    if problems:
        sys.exit("build_model: the sources differ from repair/model/MANIFEST.txt:\n  " + "\n  ".join(sorted(set(problems))[:40]))

    # What clean text scores is measured on training files that tables built
    # from the other training files never saw: the even-numbered files of each
    # language build the tables, the odd-numbered ones are scored.
    sizes = class_sizes()
    counts = {}
    held_out_ascii_unigram, held_out_ascii_bigram = collections.Counter(), collections.Counter()
    for language in LANGUAGES:
        docs = train_documents[language]
        even = train([p for d in docs[0::2] for p in d], sizes)
        odd = train([p for d in docs[1::2] for p in d], sizes)
        counts[language] = (even, odd)
        held_out_ascii_unigram.update(even[0])
        held_out_ascii_bigram.update(even[1])
    held_out_ascii = ascii_table(held_out_ascii_unigram, held_out_ascii_bigram, sizes)
    rng = random.Random(20261208)
    floors = []
    for language in LANGUAGES:
        (even_unigram, even_bigram), _ = counts[language]
        scorer = Scorer(held_out_ascii, build_tables(even_unigram, even_bigram, sizes))
        floors.append(clean_text_floors(scorer, train_documents[language][1::2], rng))
        print(f"{language}: clean-text floors " + " ".join(f"{n}:{f:.2f}" for n, f in zip(FLOOR_LENGTHS, floors[-1])),
              file=sys.stderr)

    models, masks = [], []
    all_unigram, all_bigram = collections.Counter(), collections.Counter()
    for language in LANGUAGES:
        (even_unigram, even_bigram), (odd_unigram, odd_bigram) = counts[language]
        unigram, bigram = even_unigram + odd_unigram, even_bigram + odd_bigram
        all_unigram.update(unigram)
        all_bigram.update(bigram)
        models.append(build_tables(unigram, bigram, sizes))
        masks.append(script_mask(unigram))
        chars = sum(len(p) for p in paragraphs[language]["train"])
        print(f"{language}: {chars} characters trained, {len(models[-1][2])} rows, "
              f"{sum(len(r[3]) for r in models[-1][2])} bigrams kept, script classes "
              f"{[k for k in range(CLASS_COUNT) if masks[-1] >> k & 1]}", file=sys.stderr)
    ascii = ascii_table(all_unigram, all_bigram, sizes)

    os.makedirs(MODEL_DIR, exist_ok=True)
    write_model(os.path.join(MODEL_DIR, "model.bin"), LANGUAGES, ascii, models, masks, floors)
    with open(manifest_path, "w", encoding="utf-8") as f:
        f.writelines(manifest)

    os.makedirs(args.work, exist_ok=True)
    rng = random.Random(20261207)
    with open(os.path.join(args.work, "passages.jsonl"), "w", encoding="utf-8") as f:
        for language in LANGUAGES:
            unseen = unseen_lines(documents[language], paragraphs[language]["train"])
            for p in passages(language, unseen, rng, args.passages_per_class):
                f.write(json.dumps(p, ensure_ascii=False) + "\n")
    print(f"model: {os.path.getsize(os.path.join(MODEL_DIR, 'model.bin'))} bytes", file=sys.stderr)


if __name__ == "__main__":
    main()
