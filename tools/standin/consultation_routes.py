"""Control routes that steer the consultation and the service endpoints (the
list is at the top of service.py). Each takes the control endpoint, the
query parameters and the request body, and returns the answer body; a
refusal is a ControlError."""
import os
import time

from consultation import INSTALLER_NAME, Account
from params import ControlError, count, flag, raw_bytes, read_file, required, single


def _consultation(server):
    return server.state.consultation


def _known(found: bool, login: bytes):
    if not found:
        raise ControlError(404, f"no account {login.decode('cp1251', 'replace')!r}")


def presence_text(account: Account, now: float) -> bytes:
    """One "name: value" line each; an empty value when there is none."""
    age = "" if account.last_status is None else f"{now - account.last_status:.3f}"
    token = (account.token or b"").decode("latin-1")
    return (f"presence: {account.presence}\n"
            f"token: {token}\n"
            f"messages: {account.messages}\n"
            f"status_requests: {account.status_requests}\n"
            f"seconds_since_status: {age}\n").encode("latin-1")


def presence(server, params, _body):
    login = required(params, "login")
    account = _consultation(server).consultant(login)
    _known(account is not None, login)
    return presence_text(account, time.monotonic())


def demo(server, params, _body):
    _consultation(server).set_demo(required(params, "on", flag))
    return b"ok"


def account(server, params, _body):
    _consultation(server).add_account(required(params, "login"), required(params, "password"))
    return b"ok"


def messages(server, params, _body):
    login = required(params, "login")
    add, set_to = single(params, "add", count, None), single(params, "set", count, None)
    if (add is None) == (set_to is None):
        raise ControlError(400, "give either add=N or set=N")
    consultation = _consultation(server)
    if add is not None:
        _known(consultation.raise_messages(login, add), login)
    else:
        _known(consultation.set_messages(login, set_to), login)
    return b"ok"


def revoke(server, params, _body):
    login = single(params, "login", raw_bytes, None)
    if not _consultation(server).revoke(login):
        _known(False, login)
    return b"ok"


def outdated(server, params, _body):
    """on=1 with url=URL: that installer URL; with file=PATH (inside the
    stand-in's folder), or neither: the service's own
    /download/KovarentisSetup.exe (serving PATH). on=0: off."""
    consultation = _consultation(server)
    if not required(params, "on", flag):
        consultation.set_outdated(None)
        return b"ok"
    installer = read_file(single(params, "file", raw_bytes, None), server.state.files_dir)
    if installer is not None:
        consultation.offer_download(INSTALLER_NAME, installer)
    consultation.set_outdated(single(params, "url", raw_bytes, b""))
    return b"ok"


def download(server, params, body):
    """Serves file=PATH (inside the stand-in's folder), or the request body,
    at /download/NAME."""
    name = required(params, "name", str)
    if not name or "/" in name:
        raise ControlError(400, "name must be a plain file name")
    data = read_file(single(params, "file", raw_bytes, None), server.state.files_dir)
    _consultation(server).offer_download(name, body if data is None else data)
    return b"ok"


def files(server, _params, _body):
    """The folder that file= names files in."""
    if server.state.files_dir is None:
        raise ControlError(404, "this stand-in serves no files")
    return os.fsencode(os.path.realpath(server.state.files_dir))


def _switch(server):
    if server.service_switch is None:
        raise ControlError(409, "this stand-in has no service endpoints to switch")
    return server.service_switch


def down(server, _params, _body):
    _switch(server).go_down()
    return b"ok"


def up(server, _params, _body):
    failure = _switch(server).come_back()
    if failure:
        raise ControlError(500, failure)
    return b"ok"


GET_ROUTES = {"/control/presence": presence, "/control/files": files}
POST_ROUTES = {
    "/control/demo": demo,
    "/control/account": account,
    "/control/messages": messages,
    "/control/revoke": revoke,
    "/control/outdated": outdated,
    "/control/download": download,
    "/control/down": down,
    "/control/up": up,
}
