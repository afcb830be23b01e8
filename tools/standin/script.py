"""The stand-in's state: scripted replies, the request log, connection counts.

Everything here is shared by the request threads of all endpoints and the
control interface, so every access goes through one lock.
"""
import threading
from dataclasses import dataclass, field
from typing import Dict, List, Optional, Tuple

KINDS = ("login", "get", "probe", "other")
MAX_WAIT_SECONDS = 300.0


@dataclass
class Reply:
    """One scripted answer.

    hang:     seconds to wait before anything is sent
    cut:      send only this many body bytes (Content-Length still promises
              the whole body), then wait cut_hang seconds and close
    raw:      body is the whole response, status line and headers included
    length:   send a Content-Length header
    """
    status: int = 200
    body: bytes = b""
    headers: List[Tuple[str, str]] = field(default_factory=list)
    hang: float = 0.0
    cut: Optional[int] = None
    cut_hang: float = 0.0
    raw: bool = False
    length: bool = True


def default_replies() -> Dict[str, Reply]:
    """Answers given when a kind's queue is empty."""
    return {
        "login": Reply(body=b"0 standin-token"),
        "get": Reply(body=b"0 0000"),
        "probe": Reply(body=b"0"),
        "other": Reply(status=404, body=b"<html><body>Not found</body></html>"),
    }


@dataclass
class LoggedRequest:
    endpoint: str
    kind: str
    raw: bytes  # request line, headers and body, as received


class StandinState:
    def __init__(self):
        self._lock = threading.Lock()
        self._release = threading.Event()
        self._reset_locked()

    def _reset_locked(self):
        self._queues: Dict[str, List[Reply]] = {kind: [] for kind in KINDS}
        self._defaults = default_replies()
        self._log: List[LoggedRequest] = []
        self._connections: Dict[str, int] = {}

    def reset(self):
        """Forgets the script, the log and the counts; ends every hang."""
        with self._lock:
            self._reset_locked()
            self._release.set()
            self._release = threading.Event()

    def release_all(self):
        """Ends every hang for good (used when stopping)."""
        with self._lock:
            self._release.set()

    # Script.
    def queue_reply(self, kind: str, reply: Reply):
        with self._lock:
            self._queues[kind].append(reply)

    def set_default(self, kind: str, reply: Reply):
        with self._lock:
            self._defaults[kind] = reply

    def next_reply(self, kind: str) -> Reply:
        with self._lock:
            queue = self._queues[kind]
            return queue.pop(0) if queue else self._defaults[kind]

    def wait(self, seconds: float) -> bool:
        """Sleeps up to `seconds`; False when a reset or stop cut it short."""
        with self._lock:
            release = self._release
        return not release.wait(min(seconds, MAX_WAIT_SECONDS))

    # Log and counts.
    def log_request(self, entry: LoggedRequest):
        with self._lock:
            self._log.append(entry)

    def logged(self, index: int) -> Optional[LoggedRequest]:
        with self._lock:
            return self._log[index] if 0 <= index < len(self._log) else None

    def log_size(self) -> int:
        with self._lock:
            return len(self._log)

    def count_connection(self, endpoint: str):
        with self._lock:
            self._connections[endpoint] = self._connections.get(endpoint, 0) + 1

    def connections(self, endpoint: str) -> int:
        with self._lock:
            return self._connections.get(endpoint, 0)
