"""The Linux processes of one Wine prefix, found by the WINEPREFIX in their
environment: for tests and scripts that must see or end what runs there."""
import os


def prefix_processes(prefix):
    """(pid, argv) of every process whose environment names PREFIX."""
    wanted = b"WINEPREFIX=" + os.fsencode(prefix)
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/environ", "rb") as environ:
                if wanted not in environ.read().split(b"\0"):
                    continue
            with open(f"/proc/{entry}/cmdline", "rb") as cmdline:
                argv = [os.fsdecode(a) for a in cmdline.read().split(b"\0") if a]
        except OSError:
            continue  # ended meanwhile, or not ours to read
        if argv:
            yield int(entry), argv
