"""Start-up timing for resource_bench.py: how long a tray program takes from
the start of its Linux process to its tray icon and to its first request.

The program is started by the caller's command; a small HTTP listener on a
loopback address of the bench's own stands in for the service and notes when
each request arrives (answering "0 0": online, no messages). The icon counts
as shown when the X window of Wine's stand-alone tray (there is no tray
manager on the bench's display) is mapped with a width of at least one icon.
All times are on the boot clock, the clock of a process's start time in
/proc/PID/stat (whole ticks, 10 ms here).
"""
import http.server
import os
import re
import socketserver
import subprocess
import threading
import time

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
TRAY_WINDOW_NAME = "Wine System Tray"
POLL_SECONDS = 0.005
XWININFO_SECONDS = 2  # a display that does not answer must not stall the bench


def boot_seconds():
    return time.clock_gettime(time.CLOCK_BOOTTIME)


def process_start_seconds(pid):
    """Start of the process on the boot clock, or None when it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            after_name = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return int(after_name[19]) / CLOCK_TICKS


class _Arrivals:
    def __init__(self):
        self.lock = threading.Lock()
        self.times = []

    def note(self):
        with self.lock:
            self.times.append(boot_seconds())

    def first(self):
        with self.lock:
            return self.times[0] if self.times else None


class FirstRequestListener:
    """Answers every GET with "0 0" and notes when the request line came."""

    def __init__(self, host, port=80):
        self.arrivals = _Arrivals()
        arrivals = self.arrivals

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.0"

            def parse_request(self):
                arrivals.note()
                return super().parse_request()

            def do_GET(self):
                body = b"0 0"
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, format, *args):
                pass

        socketserver.TCPServer.allow_reuse_address = True
        self.server = socketserver.ThreadingTCPServer((host, port), Handler)
        self.server.daemon_threads = True
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def reset(self):
        with self.arrivals.lock:
            self.arrivals.times.clear()

    def close(self):
        self.server.shutdown()
        self.server.server_close()


def tray_icon_shown(display):
    """Whether Wine's stand-alone tray window is mapped and holds an icon."""
    try:
        result = subprocess.run(["xwininfo", "-display", display, "-name", TRAY_WINDOW_NAME],
                                capture_output=True, text=True, timeout=XWININFO_SECONDS)
    except subprocess.TimeoutExpired:
        return False
    if result.returncode != 0:
        return False
    viewable = "Map State: IsViewable" in result.stdout
    width = re.search(r"Width: (\d+)", result.stdout)
    return viewable and width is not None and int(width.group(1)) > 1


def time_startup(command, find_pid, listener, display, limit_seconds=30):
    """Starts COMMAND and returns {"icon_ms", "request_ms"} after the start
    of the process that find_pid() names (None for what was not seen), and
    the running Popen, which the caller stops."""
    listener.reset()
    program = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + limit_seconds
    pid = icon_at = None
    while time.monotonic() < deadline:
        if pid is None:
            pid = find_pid()
        if icon_at is None and tray_icon_shown(display):
            icon_at = boot_seconds()
        if icon_at is not None and listener.arrivals.first() is not None and pid is not None:
            break
        time.sleep(POLL_SECONDS)
    started = process_start_seconds(pid) if pid else None
    request_at = listener.arrivals.first()

    def after_start(moment):
        if started is None or moment is None:
            return None
        return round((moment - started) * 1000)

    return {"icon_ms": after_start(icon_at), "request_ms": after_start(request_at)}, program
