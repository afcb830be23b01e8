"""The stand-in's state: scripted replies, the request log, connection counts,
and the consultation logic that answers what the script leaves open.

Everything here is shared by the request threads of all endpoints and the
control interface, so every access goes through one lock (the consultation
keeps its own).
"""
import threading
from dataclasses import dataclass
from typing import Dict, List, Optional

from consultation import Consultation, ServiceRequest
from pages import not_found
from replies import Reply

KINDS = ("login", "get", "probe", "other")
MAX_WAIT_SECONDS = 300.0


def fixed_default(kind: str) -> Reply:
    """What a kind answers when neither the script nor the logic does."""
    if kind == "other":
        return not_found()
    return Reply(body={"login": b"0 standin-token", "get": b"0 0000", "probe": b"0"}[kind])


@dataclass
class LoggedRequest:
    endpoint: str
    kind: str
    raw: bytes  # request line, headers and body, as received


class StandinState:
    def __init__(self, demo: bool = False, files_dir: Optional[str] = None):
        # The only folder whose files the control interface may offer for download.
        self.files_dir = files_dir
        self._lock = threading.Lock()
        self._release = threading.Event()
        self.consultation = Consultation(demo)
        self._reset_locked()

    def _reset_locked(self):
        self._queues: Dict[str, List[Reply]] = {kind: [] for kind in KINDS}
        self._defaults: Dict[str, Reply] = {}  # set through the control interface
        self.consultation.reset()
        self._log: List[LoggedRequest] = []
        self._connections: Dict[str, int] = {}

    def reset(self):
        """Forgets the script, the log and the counts, puts the consultation
        back as it started; ends every hang."""
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

    def next_reply(self, kind: str, request: ServiceRequest) -> Reply:
        """A queued reply first, then a default set by the control interface,
        then the consultation logic, then the kind's fixed default."""
        with self._lock:
            queue = self._queues[kind]
            scripted = queue.pop(0) if queue else self._defaults.get(kind)
        if scripted is not None:
            return scripted
        return self.consultation.answer(kind, request) or fixed_default(kind)

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
