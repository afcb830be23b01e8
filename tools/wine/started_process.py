"""A process id kept in a file is only a number: once that process has ended,
the system may hand the number to any other process. A cleanup that ends a
process by a stored id therefore stores the process's start time beside it
and ends it only while both still match."""
import os
import signal


def start_time(pid):
    """The process's start time in clock ticks since boot, None when there is
    no such process (or it is a zombie)."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
    except (OSError, IndexError):
        return None
    # Fields after the command name: state is the first, start time the 20th.
    return None if fields[0] == "Z" else int(fields[19])


def record(path, pid):
    with open(path, "w") as record_file:
        record_file.write(f"{pid} {start_time(pid)}\n")


def end_recorded(path, group=False):
    """SIGTERM to the recorded process (or its process group) when it is still
    the one recorded; removes the record. True when a signal was sent."""
    try:
        with open(path) as record_file:
            pid_text, started = record_file.read().split()
        os.remove(path)
        pid = int(pid_text)
    except (OSError, ValueError):
        return False
    if str(start_time(pid)) != started:
        return False
    try:
        (os.killpg if group else os.kill)(pid, signal.SIGTERM)
    except ProcessLookupError:
        return False
    return True
