#!/usr/bin/env python3
"""Makes the benchmark samples whose garbling needs Python's codecs, from the
clean passages build_model.py writes:
  garble_python.py PASSAGES.jsonl OUT.jsonl

- group "lossy": bytes read by a decoder that puts U+FFFD (or "?") where it
  cannot decode, as browsers and editors do (bytes.decode(errors="replace"));
  "锟斤拷" text, U+FFFD's UTF-8 bytes read as GBK. The sample keeps the
  "original" and "expects" it with each character whose bytes were lost as one
  U+FFFD.
- group "big5-ext": GBK read by a Big5 decoder with the ETEN and HKSCS
  extensions (Python's big5hkscs), and Big5 text using those extensions (or
  Microsoft's cp950 ETEN characters) read as GBK; these bytes are written as
  "input_bytes" with "read_as" 936, and make_corpus --decode shows them as the
  program's GBK does.
- group "single-byte": the Turkish and Baltic Windows code pages read as cp1252.

Passages are taken as make_corpus takes them: the clean samples' passages at
the end of each pool are left alone, the others in file order from the start.
"""

import codecs
import json
import random
import re
import sys

CLEAN_PLAN = {"short": 80, "medium": 60, "long": 20}  # as make_corpus's kCleanPlan
PLAN = {"short": 40, "medium": 30, "long": 10}

_errors = []


def _record(exc):
    _errors.append((exc.start, exc.end))
    return (_mark[0], exc.end)


_mark = ["\ufffd"]
codecs.register_error("mok_record", _record)


def decode_recording(data, encoding, mark="\ufffd"):
    """data decoded as errors="replace" does (mark for "?"), and the byte ranges lost."""
    _errors.clear()
    _mark[0] = mark
    text = data.decode(encoding, "mok_record")
    return text, list(_errors)


def spans(text, encoding):
    """The byte range of each character of text encoded with encoding."""
    out, at = [], 0
    for c in text:
        n = len(c.encode(encoding))
        out.append((at, at + n))
        at += n
    return out


def lost_as_replacement(text, encoding, lost):
    """text with every character whose bytes overlap a lost range as U+FFFD."""
    out = []
    for c, (start, end) in zip(text, spans(text, encoding)):
        hit = any(start < e and s < end for s, e in lost)
        out.append("\ufffd" if hit else c)
    return "".join(out)


def lossy(text, source, shown_as, mark="\ufffd"):
    """(input, expect) of text's bytes in source read with shown_as, or None
    when nothing or more than half of the characters were lost."""
    try:
        data = text.encode(source)
    except UnicodeEncodeError:
        return None
    shown, lost = decode_recording(data, shown_as, mark)
    if not lost:
        return None
    expect = lost_as_replacement(text, source, lost)
    if expect.count("\ufffd") * 2 > len(text.strip()):
        return None
    return shown, expect


def kun_jin_kao(text, rng):
    """Text in UTF-8 of which one to three characters lost a byte (a cut
    download, a truncated field), decoded with U+FFFD for what is broken, saved
    as UTF-8 again and read as GBK: the U+FFFD become 锟斤拷."""
    data = bytearray(text.encode("utf-8"))
    starts = [i for i, (s, e) in enumerate(spans(text, "utf-8")) if e - s >= 2]
    if not starts:
        return None
    broken = sorted(rng.sample(starts, min(len(starts), rng.randint(1, 3))), reverse=True)
    char_spans = spans(text, "utf-8")
    for i in broken:
        s, e = char_spans[i]
        del data[s + rng.randrange(e - s)]
    damaged = bytes(data).decode("utf-8", "replace")
    # Each damaged character is one U+FFFD when its remaining bytes form one
    # truncated sequence; otherwise the sample is not the case it stands for.
    if damaged.count("\ufffd") != len(broken) or len(damaged) != len(text):
        return None
    shown, lost = decode_recording(damaged.encode("utf-8"), "gbk")
    return shown, lost_as_replacement(damaged, "utf-8", lost)


def strict(text, source, shown_as):
    try:
        shown = text.encode(source).decode(shown_as)
    except (UnicodeEncodeError, UnicodeDecodeError):
        return None
    return None if shown == text else shown


def plain_big5_fails(text):
    try:
        text.encode("big5")
        return False
    except UnicodeEncodeError:
        return True


def gbk_read_as_hkscs(text, rng):
    shown = strict(text, "gbk", "big5hkscs")
    if shown is None:
        return None
    # Only text whose bytes reach the extensions: a plain Big5 decoder differs.
    if text.encode("gbk").decode("big5", "replace") == shown:
        return None
    return shown, text


def extension_read_as_gbk(encoding):
    """Big5 text that needs the extension, its bytes left for make_corpus to
    read with the program's GBK (936)."""
    def garble(text, rng):
        if not plain_big5_fails(text):
            return None
        try:
            return ProgramReads(text.encode(encoding), 936), text
        except UnicodeEncodeError:
            return None
    return garble


class ProgramReads:
    """Bytes to be shown as the program decodes them with a code page."""

    def __init__(self, data, code_page):
        self.data, self.code_page = data, code_page


def single_byte(source, shown_as):
    def garble(text, rng):
        shown = strict(text, source, shown_as)
        return None if shown is None else (shown, text)
    return garble


def lossy_garbling(source, shown_as, mark="\ufffd"):
    def garble(text, rng):
        return lossy(text, source, shown_as, mark)
    return garble


# Big5 text that needs the extensions is rare, most of it in long passages: all of it is taken.
RARE_PLAN = {"short": 40, "medium": 30, "long": 40}

# (group, garbling, steps, languages, garble[, plan])
GARBLINGS = [
    ("lossy", "utf8>gbk", "65001>936:replace", ["zh_CN", "zh_TW", "ja"], lossy_garbling("utf-8", "gbk")),
    ("lossy", "utf8>gbk ?", "65001>936:?", ["zh_CN", "zh_TW", "ja"], lossy_garbling("utf-8", "gbk", "?")),
    ("lossy", "utf8>cp1252", "65001>1252:replace", ["zh_CN", "ja", "ko", "ru", "el", "pl", "cs"],
     lossy_garbling("utf-8", "cp1252")),
    ("lossy", "gbk>big5", "936>950:replace", ["zh_CN"], lossy_garbling("gbk", "big5")),
    ("lossy", "锟斤拷", "65001:cut,65001:replace,65001>936:replace", ["zh_CN", "zh_TW", "ja"], kun_jin_kao),
    ("big5-ext", "gbk>big5hkscs", "936>big5hkscs", ["zh_CN"], gbk_read_as_hkscs),
    ("big5-ext", "big5hkscs>gbk", "big5hkscs>936", ["zh_TW"], extension_read_as_gbk("big5hkscs"), RARE_PLAN),
    ("big5-ext", "cp950eten>gbk", "cp950>936", ["zh_TW"], extension_read_as_gbk("cp950"), RARE_PLAN),
    ("single-byte", "cp1254>cp1252", "1254>1252", ["tr"], single_byte("cp1254", "cp1252")),
    ("single-byte", "cp1257>cp1252", "1257>1252", ["lt", "lv"], single_byte("cp1257", "cp1252")),
]

KEYS = ["group", "garbling", "steps", "class", "lang", "input", "input_bytes", "read_as", "expect", "original"]
SURROGATE = re.compile("[\ud800-\udfff]")


def line(record):
    text = json.dumps({k: record[k] for k in KEYS if k in record}, ensure_ascii=False, separators=(",", ":"))
    return SURROGATE.sub(lambda m: "\\u%04X" % ord(m.group()), text)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: garble_python.py PASSAGES.jsonl OUT.jsonl")
    pools = {}
    with open(sys.argv[1], encoding="utf-8") as f:
        for raw in f:
            p = json.loads(raw)
            pools.setdefault((p["lang"], p["class"]), []).append(p["text"])
    rng = random.Random(20261210)
    with open(sys.argv[2], "w", encoding="utf-8") as out:
        for cls in ("short", "medium", "long"):
            for group, name, steps, languages, garble, *plan in GARBLINGS:
                wanted = (plan[0] if plan else PLAN)[cls]
                usable = [pools.get((lang, cls), [])[:max(0, len(pools.get((lang, cls), [])) - CLEAN_PLAN[cls])]
                          for lang in languages]
                cursor = [0] * len(languages)
                made, turn = 0, 0
                while made < wanted and any(c < len(u) for c, u in zip(cursor, usable)):
                    which = turn % len(languages)
                    turn += 1
                    if cursor[which] >= len(usable[which]):
                        continue
                    text = usable[which][cursor[which]]
                    cursor[which] += 1
                    result = garble(text, rng)
                    if result is None or result[0] == text:
                        continue
                    shown, expect = result
                    record = {"group": group, "garbling": name, "steps": steps, "class": cls,
                              "lang": languages[which], "expect": expect}
                    if isinstance(shown, ProgramReads):
                        record["input_bytes"] = shown.data.hex()
                        record["read_as"] = str(shown.code_page)
                    else:
                        record["input"] = shown
                    if expect != text:
                        record["original"] = text
                    out.write(line(record) + "\n")
                    made += 1
                print(f"{group} {name} {cls}: {made} samples", file=sys.stderr)


if __name__ == "__main__":
    main()
