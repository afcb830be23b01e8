#!/usr/bin/env python3
"""Starts and stops the stand-in service for a test run (a CTest fixture).

    fixture.py start STATE_DIR [-- service arguments]
    fixture.py stop STATE_DIR

start returns once every endpoint listens, or fails with the service's own
words (e.g. a port in use). The service's output goes to STATE_DIR/service.log;
it serves downloads only from STATE_DIR/files (its --files), made empty.
stop ends exactly the process that start launched and fails when it would not
stop.
"""
import os
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
START_SECONDS = 15
STOP_SECONDS = 10


def paths(state_dir):
    return (os.path.join(state_dir, "service.pid"), os.path.join(state_dir, "service.log"),
            os.path.join(state_dir, "ready"))


def show_log(log_path):
    with open(log_path, errors="replace") as log:
        sys.stderr.write(log.read())


def start(state_dir, service_args):
    os.makedirs(state_dir, exist_ok=True)
    pid_path, log_path, ready_path = paths(state_dir)
    running = read_pid(pid_path)
    if running is not None and is_our_service(running):
        print(f"standin: already running as pid {running}; stop it first", file=sys.stderr)
        return 1
    for stale in (pid_path, ready_path):
        if os.path.exists(stale):
            os.remove(stale)
    files_dir = os.path.join(state_dir, "files")
    shutil.rmtree(files_dir, ignore_errors=True)
    os.makedirs(files_dir)
    with open(log_path, "w") as log:
        process = subprocess.Popen(
            [sys.executable, "-B", os.path.join(HERE, "service.py"), "--ready-file", ready_path,
             "--files", files_dir, *service_args],
            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
            start_new_session=True)
    with open(pid_path, "w") as pid_file:
        pid_file.write(f"{process.pid}\n")
    deadline = time.monotonic() + START_SECONDS
    while time.monotonic() < deadline:
        if os.path.exists(ready_path):
            print(f"standin: started, pid {process.pid}")
            return 0
        if process.poll() is not None:
            show_log(log_path)
            print(f"standin: the service exited with status {process.returncode}", file=sys.stderr)
            return 1
        time.sleep(0.05)
    process.kill()
    show_log(log_path)
    print(f"standin: not listening after {START_SECONDS} s; killed", file=sys.stderr)
    return 1


def read_pid(pid_path):
    try:
        with open(pid_path) as pid_file:
            return int(pid_file.read())
    except (FileNotFoundError, ValueError):
        return None


def is_our_service(pid):
    """True while pid is a live (not zombie) process running service.py."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            if stat.read().rsplit(")", 1)[1].split()[0] == "Z":
                return False
        with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
            return b"service.py" in cmdline.read()
    except (FileNotFoundError, ProcessLookupError, IndexError):
        return False


def stop(state_dir):
    pid_path, log_path, ready_path = paths(state_dir)
    pid = read_pid(pid_path)
    if pid is None:
        print("standin: nothing to stop (no pid file)")
        return 0
    os.remove(pid_path)
    if not is_our_service(pid):
        print(f"standin: process {pid} is already gone")
        return 0
    os.kill(pid, signal.SIGTERM)
    deadline = time.monotonic() + STOP_SECONDS
    while time.monotonic() < deadline:
        if not is_our_service(pid):
            print("standin: stopped")
            return 0
        time.sleep(0.05)
    os.kill(pid, signal.SIGKILL)
    show_log(log_path)
    print(f"standin: pid {pid} ignored SIGTERM for {STOP_SECONDS} s; killed", file=sys.stderr)
    return 1


def main(argv):
    if len(argv) >= 2 and argv[0] == "start":
        rest = argv[2:]
        return start(argv[1], rest[1:] if rest[:1] == ["--"] else rest)
    if len(argv) == 2 and argv[0] == "stop":
        return stop(argv[1])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
