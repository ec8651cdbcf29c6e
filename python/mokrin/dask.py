"""Repair corpora on a Dask cluster: the repair mapped over partitions.

The work runs wherever Dask runs it: on the threads of this process by
default, or on the cluster of the active ``dask.distributed.Client``::

    from dask.distributed import Client
    import mokrin.dask

    client = Client("tcp://scheduler:8786")   # or Client(LocalCluster(...))
    mokrin.dask.repair_files(paths, "repaired/")

Each worker needs mokrin installed (the package python3-mokrin) and, for
repair_files, must see the paths and the output folder (a shared file
system).
"""

import os
import re

import dask
import dask.bag

import mokrin


def _repair_partition(lines):
    return [mokrin.repair(line) for line in lines]


def repair_bag(bag):
    """A bag of the repairs of a bag of str, element for element.

    ``repair_bag(dask.bag.from_sequence(lines)).compute()`` equals
    ``[mokrin.repair(line) for line in lines]``; the partitions are repaired in
    parallel by the scheduler in use.
    """
    if not isinstance(bag, dask.bag.Bag):
        raise TypeError(f"bag 应为 dask.bag.Bag，不是 {type(bag).__name__}")
    return bag.map_partitions(_repair_partition)


# Only CR LF, CR and LF end a line: str.splitlines also splits at U+0085,
# U+2028, form feeds and other characters that garbled text is full of.
_LINE = re.compile(r"[^\r\n]*(?:\r\n|\r|\n)|[^\r\n]+$")


def repair_text(text):
    """The text repaired line by line: each line (its line break kept) as
    mokrin.repair repairs it on its own. Lines end in CR LF, CR or LF."""
    return "".join(_repair_line(line) for line in _LINE.findall(text))


def _repair_line(line):
    body = line.rstrip("\r\n")
    return mokrin.repair(body) + line[len(body):] if body else line


def _repair_file(path, target, encoding, out_encoding):
    with open(path, "rb") as source:
        text = mokrin.decode_bytes(source.read(), encoding)
    data = mokrin.encode_text(repair_text(text), out_encoding)
    with open(target, "wb") as out:
        out.write(data)
    return target


def repair_files(paths, out_dir, encoding="utf8", out_encoding="utf8"):
    """Repairs text files line by line, one task per file, and writes each
    under its own name into out_dir (created when missing). Returns the
    paths written, in the order of paths.

    encoding and out_encoding are names as mokrin.decode_bytes and
    mokrin.encode_text take them (None reads with the format detected as the
    window's open does). Bytes the encoding cannot decode are written back as
    they were. Two paths with the same file name are refused (ValueError)
    before anything is written.
    """
    paths = [os.fspath(path) for path in paths]
    names = [os.path.basename(path) for path in paths]
    clashes = sorted({name for name in names if names.count(name) > 1})
    if clashes:
        raise ValueError("同名的文件会互相覆盖：" + "、".join(clashes))
    # Unknown encoding names fail here, not on the workers.
    mokrin.decode_bytes(b"", encoding)
    mokrin.encode_text("", out_encoding)
    os.makedirs(out_dir, exist_ok=True)
    tasks = [
        dask.delayed(_repair_file)(path, os.path.join(out_dir, name), encoding, out_encoding)
        for path, name in zip(paths, names)
    ]
    return list(dask.compute(*tasks))
