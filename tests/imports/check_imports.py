"""Compares the functions an executable imports with a reviewed list.

    check_imports.py OBJDUMP EXECUTABLE REVIEWED_LIST

The import table is read with the toolchain's objdump. Every function in it
must be in the list (one dll!function a line, names of DLLs in any case,
'#' starts a comment), and every listed function must still be imported, so
the list, and the lowest Windows version worked out from it, stay true.
Exits 1 and names each difference otherwise."""
import re
import subprocess
import sys

# A line of one imported function: its hint-table address, its hint (or
# ordinal) and its name; a function imported by ordinal alone has no name.
MEMBER = re.compile(r"^\t([0-9a-f]+)\t\s*(\d+)(?:\s+(\S+))?\s*$")


def imports_in(objdump_text):
    """dll!function for every entry of the import tables in objdump -p output."""
    found = set()
    dll = None
    in_imports = False
    for line in objdump_text.splitlines():
        if line[:1].isalpha():  # a section's heading
            in_imports = line.startswith("The Import Tables")
            continue
        if not in_imports:
            continue
        name = re.match(r"^\tDLL Name: (\S+)", line)
        if name:
            dll = name.group(1).lower()
            continue
        member = MEMBER.match(line)
        if member and dll:
            found.add(f"{dll}!{member.group(3) or '#' + member.group(2)}")
    return found


def reviewed(list_text):
    listed = set()
    for line in list_text.splitlines():
        entry = line.split("#", 1)[0].strip()
        if not entry:
            continue
        dll, _, function = entry.partition("!")
        listed.add(f"{dll.lower()}!{function}")
    return listed


def differences(imported, listed):
    """Lines telling what to review; none when the two agree."""
    lines = [f"imported but not reviewed: {entry}" for entry in sorted(imported - listed)]
    lines += [f"reviewed but no longer imported: {entry}" for entry in sorted(listed - imported)]
    return lines


def main(objdump, executable, list_path):
    table = subprocess.run([objdump, "-p", executable], check=True, capture_output=True, text=True).stdout
    imported = imports_in(table)
    if not imported:
        print(f"no import table found in {executable}")
        return 1
    with open(list_path, encoding="utf-8") as reviewed_list:
        listed = reviewed(reviewed_list.read())
    problems = differences(imported, listed)
    for problem in problems:
        print(problem)
    if problems:
        print(f"update {list_path} after reviewing the lowest Windows version each new function needs")
        return 1
    print(f"{len(imported)} imported functions, all in the reviewed list")
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
