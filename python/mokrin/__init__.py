"""Repair garbled text (mojibake) and decode transfer-encoded text.

The same libraries as the window Mokrin and the command-line tool mok:

    >>> import mokrin
    >>> mokrin.repair("涓枃涔辩爜")
    '中文乱码'

suggest() lists the repairs 自动解读 offers with their explanation, language
and confidence; reinterpret() re-reads text with other character sets;
decode() and make() run the decoding menus' items and the makers by name;
decode_bytes() and encode_text() read and write bytes with mok's encoding
names. mokrin.dask repairs corpora on a Dask cluster.
"""

from ._mokrin import (
    DECODE_NAMES,
    MAKE_NAMES,
    Passage,
    Suggestion,
    __version__,
    decode,
    decode_bytes,
    encode_text,
    make,
    reinterpret,
    repair,
    suggest,
)

__all__ = [
    "DECODE_NAMES",
    "MAKE_NAMES",
    "Passage",
    "Suggestion",
    "decode",
    "decode_bytes",
    "encode_text",
    "make",
    "reinterpret",
    "repair",
    "suggest",
]
