#!/usr/bin/env python3
"""Copies an executable with another version in its version record: the
"new agent" that the update tests install over the agent of this build.

    patch_version.py SOURCE TARGET OLD NEW      e.g. ... 1.2.0.0 1.3.0.0

OLD and NEW must have the same length: the bytes change in place, so no
offset inside the resources moves. Both the fixed file information (file
and product version) and the "FileVersion" and "ProductVersion" texts
change; anything unexpected (OLD not found where it should be) is an error.
"""
import struct
import sys

FIXED_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)
# Two texts carry the version: "FileVersion" and "ProductVersion".
VERSION_TEXTS = 2


def version_words(version):
    """(most, least) significant DWORDs of an "a.b.c.d" version."""
    parts = [int(part) for part in version.split(".")]
    if len(parts) != 4 or not all(0 <= part <= 0xFFFF for part in parts):
        raise ValueError(f"not a version a.b.c.d: {version}")
    return (parts[0] << 16) | parts[1], (parts[2] << 16) | parts[3]


def patch_fixed_info(data, old, new):
    start = data.find(FIXED_INFO_SIGNATURE)
    if start < 0 or data.find(FIXED_INFO_SIGNATURE, start + 1) >= 0:
        raise ValueError("expected exactly one fixed version record")
    # signature, structure version, then file version and product version.
    versions = start + 8
    old_words = struct.pack("<4I", *version_words(old), *version_words(old))
    if data[versions:versions + 16] != old_words:
        raise ValueError(f"the fixed version record does not say {old}")
    data[versions:versions + 16] = struct.pack("<4I", *version_words(new), *version_words(new))


def patch_version_texts(data, old, new):
    old_text, new_text = old.encode("utf-16-le"), new.encode("utf-16-le")
    found = data.count(old_text)
    if found != VERSION_TEXTS:
        raise ValueError(f"expected {VERSION_TEXTS} version texts {old}, found {found}")
    return bytearray(bytes(data).replace(old_text, new_text))


def main(source, target, old, new):
    if len(old) != len(new):
        raise ValueError("the old and new version texts must have the same length")
    with open(source, "rb") as source_file:
        data = bytearray(source_file.read())
    patch_fixed_info(data, old, new)
    data = patch_version_texts(data, old, new)
    with open(target, "wb") as target_file:
        target_file.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    try:
        main(*sys.argv[1:])
    except ValueError as error:
        sys.exit(f"patch_version: {error}")
