#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into corpus/<target>/. Run again after changing
what a target reads; the files are kept in the tree so that the test step needs no tools."""
import io
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def zip_bytes(entries, **kwargs):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", **kwargs) as archive:
        for name, data, method in entries:
            archive.writestr(zipfile.ZipInfo(name, (2020, 5, 17, 10, 20, 30)) if method is None
                             else name, data, compress_type=method or zipfile.ZIP_STORED)
    return buffer.getvalue()


def streamed_zip():
    class Unseekable(io.RawIOBase):
        def __init__(self):
            self.data = bytearray()

        def writable(self):
            return True

        def write(self, b):
            self.data += b
            return len(b)

    sink = Unseekable()
    with zipfile.ZipFile(sink, "w", zipfile.ZIP_DEFLATED) as archive:
        with archive.open("streamed.txt", "w") as item:
            item.write(b"streamed data " * 20)
    return bytes(sink.data)


def crc_table():
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
        table.append(c)
    return table


CRC = crc_table()


class ClassicKeys:
    def __init__(self, password):
        self.k = [0x12345678, 0x23456789, 0x34567890]
        for b in password:
            self.update(b)

    def update(self, b):
        k0, k1, k2 = self.k
        k0 = CRC[(k0 ^ b) & 0xFF] ^ (k0 >> 8)
        k1 = (k1 + (k0 & 0xFF)) & 0xFFFFFFFF
        k1 = (k1 * 134775813 + 1) & 0xFFFFFFFF
        k2 = CRC[(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8)
        self.k = [k0, k1, k2]

    def encrypt(self, data):
        out = bytearray()
        for b in data:
            t = (self.k[2] | 2) & 0xFFFF
            out.append(b ^ (((t * (t ^ 1)) >> 8) & 0xFF))
            self.update(b)
        return bytes(out)


def classic_zip(name, plain, password):
    """A one-entry archive with the classic cipher, deflated."""
    crc = zlib.crc32(plain)
    compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    packed = compressor.compress(plain) + compressor.flush()
    header = bytes(range(10)) + struct.pack("<H", crc >> 16)
    data = ClassicKeys(password).encrypt(header + packed)
    return single_entry_zip(name.encode(), data, crc, len(plain), 8, 1)


def single_entry_zip(name, data, crc, size, method, flags):
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, method, 0x5000, 0x5151, crc,
                        len(data), size, len(name), 0) + name + data
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, flags, method, 0x5000, 0x5151,
                          crc, len(data), size, len(name), 0, 0, 0, 0, 0x20, 0) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local), 0)
    return local + central + end


def aes_zip():
    """An AES-256 archive made by 7-Zip, when it is installed."""
    if shutil.which("7zz") is None:
        return None
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "plain.txt")
        with open(source, "wb") as f:
            f.write(b"aes protected text " * 10)
        target = os.path.join(folder, "aes.zip")
        subprocess.run(["7zz", "a", "-tzip", "-mem=AES256", "-psecret", target, source],
                       check=True, stdout=subprocess.DEVNULL)
        with open(target, "rb") as f:
            return f.read()


def archives():
    text = b"Hello, fuzzing world. " * 8
    seeds = {
        "stored.zip": zip_bytes([("a/b.txt", text, zipfile.ZIP_STORED)]),
        "deflated.zip": zip_bytes([("a/", b"", None), ("a/c.txt", text, zipfile.ZIP_DEFLATED),
                                   ("empty.txt", b"", zipfile.ZIP_STORED)]),
        "comment.zip": (lambda b: b)(zip_bytes([("x.txt", b"x", zipfile.ZIP_STORED)])),
        "zip64.zip": zip_bytes([("big.txt", text, zipfile.ZIP_DEFLATED)], allowZip64=True),
        "streamed.zip": streamed_zip(),
        "classic.zip": classic_zip("secret.txt", text, b"secret"),
        "stub.zip": b"MZ" + bytes(62) + zip_bytes([("s.txt", text, zipfile.ZIP_DEFLATED)]),
        "empty.zip": zip_bytes([]),
    }
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        archive.comment = b"an archive comment"
        archive.writestr("c.txt", b"commented")
    seeds["comment.zip"] = buffer.getvalue()
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        info = zipfile.ZipInfo("zip64/forced.txt")
        with archive.open(info, "w", force_zip64=True) as item:
            item.write(text)
    seeds["zip64_forced.zip"] = buffer.getvalue()
    aes = aes_zip()
    if aes is not None:
        seeds["aes.zip"] = aes
    return seeds


def write(target, seeds):
    folder = os.path.join(CORPUS, target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    zips = archives()
    for target in ("load_dir", "item_decoding", "extract"):
        write(target, zips)

    classic = ClassicKeys(b"secret").encrypt(bytes(range(11)) + b"\x12" + b"classic body")
    write("classic_decrypt", {
        "secret": bytes([6]) + b"secret" + classic,
        "empty_password": bytes([0]) + bytes(40),
        "short": bytes([3]) + b"abc" + b"\x01\x02",
    })
    write("aes_decrypt", {
        "aes128": bytes([0]) + bytes(range(8)) + b"\x11\x22" + b"data" * 8 + bytes(10),
        "aes192": bytes([1]) + bytes(range(12)) + b"\x33\x44" + b"more" * 8 + bytes(10),
        "aes256_round_trip": bytes([0x82]) + bytes(range(16)) + b"\x55\x66" + b"text" * 8,
        "short": bytes([2, 1, 2, 3]),
    })

    def class_file(name):
        marker = b"Quillmark main thread"
        return (b"\xca\xfe\xba\xbe" + bytes(6) + b"\x01" + struct.pack(">H", len(marker)) +
                marker + b"\x01" + struct.pack(">H", len(name)) + name + b"\x07\x00\x02tail")
    write("player_name", {
        "ascii": class_file(b"Player"),
        "modified_utf8": class_file("J\u00fcrgen".encode("utf-8")),
        "legacy_1252": class_file("Jos\u00e9".encode("cp1252")),
        "empty_name": class_file(b""),
        "cut_short": class_file(b"Player")[:30],
    })
    write("string_format", {
        "hex": b"0x48656C6C6F",
        "dollar_hex": b"$4a4B",
        "base64": b"SGVsbG8sIHdvcmxk\r\nIQ==",
        "uu": b"%2&5L;&\\",
        "xx": b"+BG5gNaE",
        "binary": bytes(range(0, 256, 7)),
    })
    # Any bytes choose a sequence of transactions; inputs of several lengths give sequences of
    # one to several transactions from the first run on.
    rnd = random.Random(5)
    write("transactions", {"seed%d" % i: bytes(rnd.randrange(256) for _ in range(48 + 16 * i))
                           for i in range(8)})


if __name__ == "__main__":
    sys.exit(main())
