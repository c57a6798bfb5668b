#!/usr/bin/env python3
"""The engine's layers depend one way only.

Each folder of src/archive may include the public face (the top folder) and the layers below
it, never a layer above; the component's class (base_archiver.h, zip_archiver.h) is included
only by component/ and the public face. The public face's headers, the ones installed, include
no layer at all: what they need of one they declare. Prints every broken include and fails when
there is one.
"""
import pathlib
import re
import sys

# Lowest first. A layer may include itself and any layer before it.
LAYERS = ["format", "names", "directory", "encryption", "data", "writing", "volumes", "component"]
COMPONENT_HEADERS = {"base_archiver.h", "zip_archiver.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"archive/([^"]+)"', re.MULTILINE)


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".") / "src" / "archive"
    broken = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        relative = path.relative_to(root)
        layer = relative.parts[0] if len(relative.parts) > 1 else None
        if layer is not None and layer not in LAYERS:
            broken.append(f"{relative}: folder '{layer}' is not a known layer")
            continue
        for target in INCLUDE.findall(path.read_text(encoding="utf-8")):
            parts = pathlib.PurePosixPath(target).parts
            target_layer = parts[0] if len(parts) > 1 else None
            if layer is None and path.suffix == ".h" and target_layer is not None:
                broken.append(f"{relative}: the public face includes a layer ({target})")
                continue
            if layer is None or layer == "component":
                continue  # the public face's sources and the component may use every layer
            if target_layer is None:
                if parts[0] in COMPONENT_HEADERS:
                    broken.append(f"{relative}: includes the component ({target})")
                continue
            if target_layer not in LAYERS or LAYERS.index(target_layer) > LAYERS.index(layer):
                broken.append(f"{relative}: '{layer}' includes the layer above it ({target})")
    for line in broken:
        print(line)
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
