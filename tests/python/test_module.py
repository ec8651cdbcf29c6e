"""The module's functions: repairs, names, bytes, bad arguments, lone
surrogates, the confidence states and threads."""
import sys
import threading
from concurrent.futures import ThreadPoolExecutor

import pytest

import mokrin

CHINESE = "中文乱码的修复，这是一段用来测试的简体中文文字。"
TRADITIONAL = "這是一段用來測試的繁體中文文字，說明亂碼是怎麼產生的。"
JAPANESE = "これは文字化けを直すためのテストの文章です。"
RUSSIAN = "Это русский текст, который был прочитан в неверной кодировке."


@pytest.mark.parametrize(
    "clean, wrote_as, read_as, explanation, menu",
    [
        (CHINESE, 65001, 936, "原为 UTF-8 编码，被当作 GBK 读出", "GB--Utf8"),
        (CHINESE, 936, 950, "原为 GBK 编码，被当作 Big5 读出", "Big5--GB"),
        (TRADITIONAL, 950, 936, "原为 Big5 编码，被当作 GBK 读出", "GB--Big5"),
        (JAPANESE, 932, 936, "原为 Shift-JIS 编码，被当作 GBK 读出", "GB--日文"),
        (RUSSIAN, 1251, 20866, None, None),
        (CHINESE, 65001, 1252, None, None),
    ],
)
def test_a_garbled_text_is_repaired_by_the_step_that_undoes_it(clean, wrote_as, read_as, explanation, menu):
    garbled = mokrin.reinterpret(clean, wrote_as, read_as)
    assert garbled != clean
    assert mokrin.repair(garbled) == clean
    best = mokrin.suggest(garbled)[0]
    assert best.text == clean
    assert best.steps == [(read_as, wrote_as)]
    assert best.changes_text and best.passages == [] and best.lost == 0
    if explanation:
        assert best.explanation == explanation
        assert best.menu == menu


def test_clean_text_comes_back_as_the_same_object():
    assert mokrin.repair(CHINESE) is CHINESE
    best = mokrin.suggest(CHINESE)[0]
    assert not best.changes_text and best.steps == [] and best.menu is None
    assert best.explanation == "不改动"
    assert (best.language, best.language_name) == ("zh_CN", "简体中文")


def test_suggestions_are_limited_and_only_the_first_has_a_confidence():
    garbled = mokrin.reinterpret(CHINESE, 936, 950)
    rows = mokrin.suggest(garbled, max_results=3)
    assert len(rows) == 3
    assert rows[0].confidence is not None
    assert [row.confidence for row in rows[1:]] == [None, None]
    assert rows[0].score >= rows[1].score >= rows[2].score
    assert mokrin.suggest("") == [] and mokrin.repair("") == ""


@pytest.mark.parametrize("name", sorted(set(mokrin.MAKE_NAMES) & set(mokrin.DECODE_NAMES)))
def test_each_maker_is_undone_by_the_decoder_of_the_same_name(name):
    text = "中文 ABC 123"
    made = mokrin.make(name, text)
    assert made != text
    assert mokrin.decode(name, made) == text
    assert mokrin.decode(name.lower(), made) == text


@pytest.mark.parametrize(
    "call, expected",
    [
        (lambda: mokrin.decode("QP-GBK", "=D6=D0=CE=C4 QP"), "中文 QP"),
        (lambda: mokrin.decode("Trans-CP", "=A4=A4=A4=E5", format="QP", cp=950), "中文"),
        (lambda: mokrin.decode("Trans-CP", "=A4=A4=A4=E5", format=1, cp="中文繁(Big5)"), "中文"),
        (lambda: mokrin.decode("Trans-LCID", "%D6%D0%CE%C4", format="URL", lcid="GB"), "中文"),
        (lambda: mokrin.decode("CP--CP", "笢恅", cp=(950, 936)), "中文"),
        (lambda: mokrin.decode("LCID--LCID", "笢恅", lcid=("Big5", "GB")), "中文"),
        (lambda: mokrin.decode("Big5--GB", "笢恅"), "中文"),
        (lambda: mokrin.reinterpret("笢恅", "Big5", "GB"), "中文"),
        (lambda: mokrin.reinterpret("笢恅", "中文繁(Big5)", 936), "中文"),
        (lambda: mokrin.reinterpret(mokrin.reinterpret("中文", "Utf8", "GB"), "gb", "UTF8"), "中文"),
        (lambda: mokrin.make("HZ-GB", "中文乱码"), "~{VPNDBRBk~}"),
        (lambda: mokrin.decode("Esc+日文(ISO-2022)", "\x1b$B$3$l\x1b(B"), "これ"),
    ],
)
def test_menu_items_and_reinterpretations_by_name(call, expected):
    assert call() == expected


@pytest.mark.parametrize(
    "data, encoding, text",
    [
        (b"\xd6\xd0\xce\xc4", "gbk", "中文"),
        (b"\xd6\xd0\xce\xc4", "GBK", "中文"),
        (b"\xa4\xa4\xa4\xe5", 950, "中文"),
        (b"\xa4\xa4\xa4\xe5", "950", "中文"),
        (b"\xef\xbb\xbf\xe4\xb8\xad", "utf8-bom", "中"),
        (b"\xff\xfe\x2d\x4e", None, "中"),
        (b"\xd6\xd0\x00\xd6", "gbk", "中 \udcd6"),
        (bytearray(b"\xd6\xd0"), "gbk", "中"),
    ],
)
def test_bytes_decode_as_mok_reads_them(data, encoding, text):
    assert mokrin.decode_bytes(data, encoding) == text


@pytest.mark.parametrize(
    "text, encoding, data",
    [
        ("中文", "gbk", b"\xd6\xd0\xce\xc4"),
        ("中文", "utf8", "中文".encode()),
        ("中", "utf16le-bom", b"\xff\xfe\x2d\x4e"),
        ("中\udcff", "gbk", b"\xd6\xd0\xff"),
        ("中", 950, b"\xa4\xa4"),
    ],
)
def test_text_encodes_as_mok_writes_it(text, encoding, data):
    assert mokrin.encode_text(text, encoding) == data


@pytest.mark.parametrize(
    "call, words",
    [
        (lambda: mokrin.decode("No-Such", "x"), ["No-Such", "DECODE_NAMES"]),
        (lambda: mokrin.make("GB--Big5", "x"), ["GB--Big5", "MAKE_NAMES"]),
        (lambda: mokrin.decode("QP-Win1252", "x"), ["QP-Win1252"]),
        (lambda: mokrin.decode("Base64-GBK", "!!!"), ["Base64-GBK", "未经改动"]),
        (lambda: mokrin.decode("CP+半字", "x"), ["CP+半字", "cp"]),
        (lambda: mokrin.decode("QP-GBK", "x", cp=936), ["QP-GBK", "cp"]),
        (lambda: mokrin.decode("Trans-CP", "x", format="QQ", cp=936), ["QQ"]),
        (lambda: mokrin.decode("CP--CP", "x", cp=936), ["CP--CP", "(A, B)"]),
        (lambda: mokrin.decode("LCID--LCID", "x", lcid=(936, 950)), ["语文区号"]),
        (lambda: mokrin.reinterpret("x", 12345, 936), ["12345"]),
        (lambda: mokrin.reinterpret("x", "klingon", 936), ["klingon"]),
        (lambda: mokrin.reinterpret("x", "UBE", 936), ["UBE"]),
        (lambda: mokrin.reinterpret("x", 2**70, 936), ["encode_as"]),
        (lambda: mokrin.suggest("x", max_results=0), ["max_results"]),
        (lambda: mokrin.decode_bytes(b"x", "ebcdic-martian"), ["ebcdic-martian"]),
        (lambda: mokrin.encode_text("x", 99999), ["99999"]),
    ],
)
def test_bad_values_raise_value_error_naming_them(call, words):
    with pytest.raises(ValueError) as error:
        call()
    for word in words:
        assert word in str(error.value)


@pytest.mark.parametrize(
    "call",
    [
        lambda: mokrin.repair(b"bytes"),
        lambda: mokrin.suggest(None),
        lambda: mokrin.suggest("x", max_results="5"),
        lambda: mokrin.decode(1, "x"),
        lambda: mokrin.reinterpret("x", 93.6, 950),
        lambda: mokrin.reinterpret("x", True, 950),
        lambda: mokrin.decode_bytes("str is no bytes", "gbk"),
        lambda: mokrin.encode_text(b"x", "gbk"),
    ],
)
def test_arguments_of_the_wrong_type_raise_type_error(call):
    with pytest.raises(TypeError, match="应为"):
        call()


LONE_SURROGATES = [
    "\ud800",
    "\udfff",
    "a\udc80b",
    "\udcd6\udcd0\udcce\udcc4",
    "\ud83d",
    "中\ud800文\udc00",
    "\U0001F600\ud800\U0001F600",
    "\udbff\udbffx\udfff\udfff",
    "=D6\ud800=D0 %D6 ~{\udc00 +AAA\udfff- &#x4E2D;\ud800",
]


@pytest.mark.parametrize("text", LONE_SURROGATES)
def test_lone_surrogates_go_through_every_function(text):
    # The byte view of UTF-16 both ways gives every code unit back: the str
    # goes to UTF-16 and back unchanged, its lone surrogates included.
    assert mokrin.reinterpret(text, 1200, 1200) == text
    assert mokrin.decode_bytes(mokrin.encode_text(text, "utf16le"), "utf16le") == text
    assert isinstance(mokrin.repair(text), str)
    for row in mokrin.suggest(text):
        assert isinstance(row.text, str) and isinstance(row.explanation, str)
    for name in mokrin.MAKE_NAMES:
        assert isinstance(mokrin.make(name, text), str)
    for name in mokrin.DECODE_NAMES:
        try:
            assert isinstance(mokrin.decode(name, text, **ITEM_ARGUMENTS.get(name, {})), str)
        except ValueError as error:
            assert "未经改动" in str(error)


ITEM_ARGUMENTS = {
    "CP+半字": {"cp": 936},
    "Trans-CP": {"format": "QP", "cp": 936},
    "Trans-LCID": {"format": "URL", "lcid": "GB"},
    "CP--CP": {"cp": (936, 950)},
    "LCID--LCID": {"lcid": ("GB", "Big5")},
}


def test_surrogate_escaped_bytes_are_the_bytes_python_escaped():
    raw = "中文".encode("gbk") + b"\x81\x7f\xd6"
    text = raw.decode("gbk", errors="surrogateescape")
    assert mokrin.encode_text(text, "gbk") == raw
    assert mokrin.decode_bytes(raw, "gbk") == text


def test_a_surrogate_pair_of_two_code_points_reads_as_the_character():
    assert mokrin.reinterpret("\ud83d\ude00", 1200, 1200) == "\U0001F600"


@pytest.mark.parametrize(
    "text, confidence",
    [
        (mokrin.reinterpret(CHINESE * 3, 65001, 936), "明确"),
        ("笢恅觴鎢", "难分"),
        ("锟斤拷锟斤拷 烫烫烫 屯屯屯 锟斤拷", "仍像乱码"),
    ],
)
def test_the_first_suggestion_says_how_clear_the_choice_is(text, confidence):
    rows = mokrin.suggest(text)
    assert rows[0].confidence == confidence
    assert all(row.confidence is None for row in rows[1:])


def test_threads_get_the_same_repairs_as_one_thread():
    garbled = [mokrin.reinterpret(text, 65001, 936) for text in (CHINESE, TRADITIONAL, JAPANESE)]
    garbled += [mokrin.reinterpret(text, 950, 936) for text in (TRADITIONAL,)] * 3
    inputs = garbled * 20
    expected = [mokrin.repair(text) for text in inputs]
    with ThreadPoolExecutor(max_workers=4) as pool:
        assert list(pool.map(mokrin.repair, inputs)) == expected
        assert [rows[0].text for rows in pool.map(mokrin.suggest, inputs)] == expected


def test_the_gil_is_released_while_the_libraries_work():
    # With a switch interval longer than the test, a thread keeps the GIL
    # until it lets it go itself. The main thread, waiting for the worker to
    # start, can then run only when the worker releases the GIL inside the
    # call, before the call has returned.
    state = {"returned": False}

    def work():
        mokrin.suggest(mokrin.reinterpret(CHINESE * 50, 65001, 936))
        state["returned"] = True

    interval = sys.getswitchinterval()
    sys.setswitchinterval(1000)
    try:
        worker = threading.Thread(target=work)
        worker.start()
        returned_when_main_ran = state["returned"]
        worker.join()
    finally:
        sys.setswitchinterval(interval)
    assert state["returned"]
    assert not returned_when_main_ran
