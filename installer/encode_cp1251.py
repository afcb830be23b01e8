#!/usr/bin/env python3
"""Writes a UTF-8 text file as Windows-1251 with CR LF line ends, the way the
agent and Notepad on a Russian Windows read it.

    encode_cp1251.py SOURCE TARGET
"""
import sys


def main(source, target):
    with open(source, encoding="utf-8") as text_file:
        text = text_file.read()
    data = text.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp1251")
    with open(target, "wb") as out:
        out.write(data)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
