"""What the stand-in service received, read from its control log and told in
a few words for the tour's console lines, and what it recorded."""
import time
import urllib.request
from urllib.parse import unquote_to_bytes, urlsplit

PRESENCE_WORDS = {"0": "online", "1": "away", "2": "offline"}
NOTHING = "nothing"
# The stand-in's default path of the agent's requests.
SERVICE_PREFIX = "/newmessages"
CONTROL_TIMEOUT_SECONDS = 10


def request_target(entry: bytes) -> str:
    """The target of a logged request: the second word of its request line,
    kept as Latin-1 so that percent-escapes and raw bytes survive."""
    request_line = entry.split(b"\r\n", 1)[0].decode("latin-1")
    words = request_line.split(" ")
    return words[1] if len(words) > 1 else request_line


def query_values(query: str):
    """The query's raw (still percent-encoded) values by name; the last one
    of a repeated name counts."""
    values = {}
    for pair in query.split("&") if query else []:
        name, _, value = pair.partition("=")
        values[name] = value
    return values


def decoded(raw: str) -> str:
    """A query value as the agent meant it: percent-decoded Windows-1251."""
    return unquote_to_bytes(raw.encode("latin-1")).decode("cp1251", "replace")


def describe(target: str, prefix: str = SERVICE_PREFIX) -> str:
    """One request in words: "sign-in demo", "status away", "update probe";
    any other request is its target."""
    parts = urlsplit(target)
    if parts.path != prefix:
        return target
    values = query_values(parts.query)
    action = values.get("do")
    if action == "login":
        return "sign-in " + decoded(values.get("login", ""))
    if action == "get":
        status = decoded(values.get("status", ""))
        return "status " + PRESENCE_WORDS.get(status, status)
    if not parts.query and "?" not in target:
        return "update probe"
    return target


def summarise(descriptions) -> str:
    """The descriptions in order, a run of equal ones once with its count:
    "sign-in demo, status offline, status online x3"."""
    runs = []
    for description in descriptions:
        if runs and runs[-1][0] == description:
            runs[-1][1] += 1
        else:
            runs.append([description, 1])
    if not runs:
        return NOTHING
    return ", ".join(text if count == 1 else f"{text} x{count}" for text, count in runs)


def record_field(answer: str, name: str):
    """A value of the service's record of a consultant (client.py presence:
    lines "name: value"), or None when the answer lacks it."""
    for line in answer.splitlines():
        field, _, value = line.partition(": ")
        if field == name:
            return value
    return None


class ServiceLog:
    """Reads the control log from where it was last read."""

    def __init__(self, control_address: str):
        self.base = f"http://{control_address}/control/log"
        self.read_count = 0

    def _get(self, url: str) -> bytes:
        with urllib.request.urlopen(url, timeout=CONTROL_TIMEOUT_SECONDS) as response:
            return response.read()

    def read_new(self):
        """Descriptions of the requests logged since the last call."""
        total = int(self._get(self.base))
        fresh = [describe(request_target(self._get(f"{self.base}/{index}")))
                 for index in range(self.read_count, total)]
        self.read_count = max(total, self.read_count)
        return fresh

    def wait_for(self, wanted: str, timeout: float, seen=None):
        """Reads until a request described as `wanted` arrives or the time
        runs out; returns (arrived, everything read meanwhile)."""
        seen = [] if seen is None else seen
        deadline = time.monotonic() + timeout
        while True:
            fresh = self.read_new()
            seen.extend(fresh)
            if wanted in fresh:
                return True, seen
            if time.monotonic() >= deadline:
                return False, seen
            time.sleep(0.25)
