"""Prints the raw records of every entry of an archive, one tab-separated line per entry, for
the maintenance tests to see which bytes an operation changed:
name (hex), SHA-1 of the local record (header, name, extra field, data, data descriptor),
SHA-1 of the data alone, SHA-1 of the central entry with its offset field zeroed.
"""
import hashlib
import struct
import sys
import zipfile


def sha(data):
    return hashlib.sha1(data).hexdigest()


def local_record(raw, info):
    at = info.header_offset
    (sig, _ver, flags, _m, _t, _d, _crc, csize, _usize, nlen, xlen) = struct.unpack_from(
        "<IHHHHHIIIHH", raw, at)
    assert sig == 0x04034B50, "no local header at %d" % at
    data_at = at + 30 + nlen + xlen
    end = data_at + info.compress_size
    if flags & 0x08:
        signed = raw[end:end + 4] == b"PK\x07\x08"
        zip64 = info.file_size >= 0xFFFFFFFF or info.compress_size >= 0xFFFFFFFF
        end += (4 if signed else 0) + 4 + (16 if zip64 else 8)
    return raw[at:end], raw[data_at:data_at + info.compress_size]


def central_entries(raw, start, count):
    out = []
    at = start
    for _ in range(count):
        (sig,) = struct.unpack_from("<I", raw, at)
        assert sig == 0x02014B50, "no central entry at %d" % at
        nlen, xlen, clen = struct.unpack_from("<HHH", raw, at + 28)
        record = bytearray(raw[at:at + 46 + nlen + xlen + clen])
        record[42:46] = b"\0\0\0\0"
        out.append(bytes(record))
        at += 46 + nlen + xlen + clen
    return out


def main():
    raw = open(sys.argv[1], "rb").read()
    with zipfile.ZipFile(sys.argv[1]) as z:
        infos = z.infolist()
        central = central_entries(raw, z.start_dir, len(infos))
        for info, entry in zip(infos, central):
            record, data = local_record(raw, info)
            print("\t".join([info.orig_filename.encode("utf-8").hex(), sha(record), sha(data),
                             sha(entry)]))


main()
