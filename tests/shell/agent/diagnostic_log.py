"""Where the agent's diagnostic log lands in the test prefix, and its lines."""
import glob
import os
import re

# "2026-12-07 16:20:01.123 [1234] text"
STAMP = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+\] "


def log_files(env):
    """Every agent.log (and previous file) in the users' local application data."""
    pattern = os.path.join(env.env["WINEPREFIX"], "drive_c", "users", "*", "AppData", "Local", "Kovarentis",
                           "agent.log*")
    return glob.glob(pattern)


def remove_logs(env):
    for path in log_files(env):
        os.remove(path)


def log_bytes(env):
    """The current file's bytes, b"" when there is none."""
    files = [path for path in log_files(env) if path.endswith("agent.log")]
    assert len(files) <= 1, files
    if not files:
        return b""
    with open(files[0], "rb") as log:
        return log.read()


def log_lines(env):
    """The events of the current file, stamps checked and removed."""
    lines = log_bytes(env).decode("utf-8").split("\r\n")
    assert lines[-1] == "", "the file ends in a line end"
    events = []
    for line in lines[:-1]:
        match = re.match(STAMP + "(.*)$", line)
        assert match, "a line without its stamp: %r" % line
        events.append(match.group(1))
    return events
