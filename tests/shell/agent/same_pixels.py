"""Compares two folders of screenshots pixel for pixel:
    same_pixels.py FOLDER_A FOLDER_B
Both must hold the same PNG names, each pair the same size and pixels. For a
pair that differs, FOLDER_B/NAME.diff.png shows where (ImageMagick compare)."""
import os
import subprocess
import sys


def pixels(path):
    size = subprocess.run(["identify", "-format", "%wx%h", path], check=True, timeout=60,
                          stdout=subprocess.PIPE).stdout.decode()
    raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, timeout=60,
                         stdout=subprocess.PIPE).stdout
    return size, raw


def differing_pixels(a, b):
    return sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])


def main(first, second):
    names = sorted(n for n in os.listdir(first) if n.endswith(".png") and not n.endswith(".diff.png"))
    others = sorted(n for n in os.listdir(second) if n.endswith(".png") and not n.endswith(".diff.png"))
    if not names or names != others:
        print("the screenshots differ in name: %s / %s" % (names, others))
        return 1
    failures = 0
    for name in names:
        (size_a, raw_a), (size_b, raw_b) = pixels(os.path.join(first, name)), pixels(os.path.join(second, name))
        if size_a != size_b:
            print("%s: %s against %s" % (name, size_a, size_b))
            failures += 1
        elif raw_a != raw_b:
            print("%s: %d pixels differ" % (name, differing_pixels(raw_a, raw_b)))
            subprocess.run(["compare", os.path.join(first, name), os.path.join(second, name),
                            os.path.join(second, name[:-4] + ".diff.png")], timeout=60, check=False)
            failures += 1
        else:
            print("%s: %s, the same pixels" % (name, size_a))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
