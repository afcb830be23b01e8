"""The consultation service's own answers, given when no scripted reply is
queued: accounts checked against the password digest, a token issued at each
sign-in and checked by every status request, presence and new messages per
consultant, the outdated-agent switch, files offered for download and the
consultant page.

Demo mode decides only the sign-in and status answers (off, they keep the
fixed defaults that the scripted tests expect). The outdated switch, the
downloads and the page work in both modes: a test only gets them by asking.
"""
import hashlib
import secrets
import threading
import time
from dataclasses import dataclass, replace
from typing import Dict, Optional
from urllib.parse import unquote

from pages import bad_request, consultant_page
from replies import Reply

DEMO_LOGIN = b"demo"
DEMO_PASSWORD = b"demo"
INSTALLER_NAME = "KovarentisSetup.exe"
CONSULTANT_PAGE = "/profile/expertconsult"
DOWNLOADS = "/download/"
MAX_SHOWN_COUNT = 9999  # the agent reads four characters
PRESENCE_NAMES = {b"0": "online", b"1": "away", b"2": "offline"}
TOKEN_BYTES = 8
AGENT_KINDS = ("login", "get", "probe")


def password_digest(password: bytes) -> bytes:
    return hashlib.md5(password).hexdigest().encode("ascii")


def count_reply(count: int) -> bytes:
    """"0 NNNN": the agent reads the count from positions 2 to 5 only, so it
    is zero-filled to four digits and held at 9999 above that."""
    return b"0 %04d" % max(0, min(count, MAX_SHOWN_COUNT))


@dataclass
class Account:
    digest: bytes
    token: Optional[bytes] = None
    presence: str = "unknown"
    last_status: Optional[float] = None  # time.monotonic() of the last accepted status
    status_requests: int = 0
    messages: int = 0


@dataclass
class ServiceRequest:
    path: str                # the target up to '?'
    query: Dict[str, bytes]  # percent-decoded values
    base_url: str            # scheme and host as the client addressed the service


class Consultation:
    """Shared by every request thread and the control interface: each
    operation holds the lock for its whole read-and-change."""

    def __init__(self, demo: bool = False):
        self._lock = threading.Lock()
        self._start_demo = demo
        self._reset_locked()

    def _reset_locked(self):
        self._demo = self._start_demo
        self._accounts: Dict[bytes, Account] = {
            DEMO_LOGIN: Account(password_digest(DEMO_PASSWORD))}
        self._installer_url: Optional[bytes] = None  # None: up to date; b"": our own download
        self._downloads: Dict[str, bytes] = {}

    def reset(self):
        """Back to the start: the demo account only, mode as started."""
        with self._lock:
            self._reset_locked()

    def set_demo(self, on: bool):
        with self._lock:
            self._demo = on

    # What the control interface changes and reads.
    def add_account(self, login: bytes, password: bytes):
        """Adds the account, or replaces it with a fresh one."""
        with self._lock:
            self._accounts[login] = Account(password_digest(password))

    def raise_messages(self, login: bytes, count: int) -> bool:
        with self._lock:
            account = self._accounts.get(login)
            if account is not None:
                account.messages += count
            return account is not None

    def set_messages(self, login: bytes, count: int) -> bool:
        with self._lock:
            account = self._accounts.get(login)
            if account is not None:
                account.messages = count
            return account is not None

    def consultant(self, login: bytes) -> Optional[Account]:
        """A copy, so the caller reads it without the lock."""
        with self._lock:
            account = self._accounts.get(login)
            return replace(account) if account is not None else None

    def revoke(self, login: Optional[bytes] = None) -> bool:
        """Forgets the token of `login`, or of everyone when it is None."""
        with self._lock:
            if login is not None and login not in self._accounts:
                return False
            for name, account in self._accounts.items():
                if login is None or name == login:
                    account.token = None
            return True

    def set_outdated(self, installer_url: Optional[bytes]):
        """None: the agent is up to date. b"": outdated, the installer being
        our own download of INSTALLER_NAME. Anything else: that URL."""
        with self._lock:
            self._installer_url = installer_url

    def offer_download(self, name: str, data: bytes):
        with self._lock:
            self._downloads[name] = data

    # The answers.
    def answer(self, kind: str, request: ServiceRequest) -> Optional[Reply]:
        """The reply for a request, or None for the kind's fixed default."""
        with self._lock:
            if kind in AGENT_KINDS and self._installer_url is not None:
                return Reply(body=b"2 " + self._installer(request))
            if kind == "login" and self._demo:
                return self._sign_in(request.query)
            if kind == "get" and self._demo:
                return self._status(request.query)
            if kind == "other":
                return self._page(request.path)
            return None

    def _installer(self, request: ServiceRequest) -> bytes:
        if self._installer_url:
            return self._installer_url
        return f"{request.base_url}{DOWNLOADS}{INSTALLER_NAME}".encode("latin-1")

    def _sign_in(self, query: Dict[str, bytes]) -> Reply:
        account = self._accounts.get(query.get("login", b""))
        if account is None or query.get("password") != account.digest:
            return Reply(body=b"1 wrong login or password")
        account.token = secrets.token_hex(TOKEN_BYTES).encode("ascii")
        return Reply(body=b"0 " + account.token)

    def _status(self, query: Dict[str, bytes]) -> Reply:
        account = self._accounts.get(query.get("login", b""))
        if account is None or account.token is None or query.get("token") != account.token:
            return Reply(body=b"1 invalid token")
        presence = PRESENCE_NAMES.get(query.get("status"))
        if presence is None:
            return bad_request("status must be 0, 1 or 2")
        account.presence = presence
        account.last_status = time.monotonic()
        account.status_requests += 1
        return Reply(body=count_reply(account.messages))

    def _page(self, path: str) -> Optional[Reply]:
        if path == CONSULTANT_PAGE:
            return consultant_page((login, account.presence, account.messages)
                                   for login, account in sorted(self._accounts.items()))
        if path.startswith(DOWNLOADS):
            data = self._downloads.get(unquote(path[len(DOWNLOADS):]))
            if data is not None:
                return Reply(body=data, headers=[("Content-Type", "application/octet-stream")])
        return None
