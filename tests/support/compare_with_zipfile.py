#!/usr/bin/env python3
"""Checks that a folder holds exactly what Python's zipfile reads from an archive.

usage: compare_with_zipfile.py ARCHIVE DIR [--password PW]
Every file entry must exist under DIR with the same bytes, every folder entry as a folder.
Prints what differs and exits 1, or exits 0 when all match.
"""
import os
import sys
import zipfile


def main():
    archive, root = sys.argv[1], sys.argv[2]
    password = None
    if len(sys.argv) > 4 and sys.argv[3] == "--password":
        password = sys.argv[4].encode("latin-1")
    problems = []
    with zipfile.ZipFile(archive) as zf:
        for info in zf.infolist():
            path = os.path.join(root, *info.filename.split("/"))
            if info.is_dir():
                if not os.path.isdir(path):
                    problems.append(f"missing folder {info.filename}")
                continue
            if not os.path.isfile(path):
                problems.append(f"missing file {info.filename}")
                continue
            with open(path, "rb") as f:
                if f.read() != zf.read(info, pwd=password):
                    problems.append(f"different bytes in {info.filename}")
    print("\n".join(problems[:20]))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
