"""Prints Python's zipfile view of an archive, one tab-separated line per entry, for the
archive tests to compare with the engine. Text fields are hex so that any name survives.

Python's zipfile ignores Info-ZIP's Unicode Path block (0x7075); unzip honours it when its
version is 1 and its CRC matches the stored name, and so does this view.
"""
import struct
import sys
import zipfile
import zlib


def unicode_path(info):
    extra = info.extra
    pos = 0
    while pos + 4 <= len(extra):
        header_id, size = struct.unpack_from("<HH", extra, pos)
        data = extra[pos + 4:pos + 4 + size]
        pos += 4 + size
        if header_id == 0x7075 and len(data) >= 5 and data[0] == 1:
            (crc,) = struct.unpack_from("<I", data, 1)
            raw = info.orig_filename.encode("utf-8" if info.flag_bits & 0x800 else "cp437")
            if crc == zlib.crc32(raw):
                return data[5:].decode("utf-8")
    return None


def main():
    with zipfile.ZipFile(sys.argv[1]) as z:
        print("comment\t" + z.comment.hex())
        for i in z.infolist():
            name = unicode_path(i) or i.orig_filename
            y, mo, d, h, mi, s = i.date_time
            print("\t".join([
                name.encode("utf-8").hex(),
                str(i.file_size),
                str(i.compress_size),
                "%08x" % i.CRC,
                str(i.compress_type),
                "%04x" % i.flag_bits,
                "%04d-%02d-%02d %02d:%02d:%02d" % (y, mo, d, h, mi, s),
                i.comment.hex(),
                "%08x" % i.external_attr,
                str(i.header_offset),
            ]))


main()
