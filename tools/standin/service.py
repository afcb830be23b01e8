#!/usr/bin/env python3
"""Stand-in for the consultation service, on loopback only: scripted for the
tests, a small working service for the demo and the end-to-end tests.

Usage
    service.py [--demo] [--certs DIR] [--listen URL ...] [--control ADDR:PORT]
               [--prefix PATH] [--files DIR] [--ready-file FILE]

    e.g. the demo:  service.py --demo --listen http://127.0.0.1:80
    with the agent's Params.ini saying  Server=http://127.0.0.1
    and the demo account:  login "demo", password "demo".
    tools/standin/client.py drives it from a shell (client.py --help).

Service endpoints (--listen, repeatable; these five when none is given):
    http://127.0.0.1:80                          plain HTTP
    https://127.0.0.2:443/leaf-unknown-ca        leaf from a CA nobody trusts,
                                                 the CA sent in the chain
    https://127.0.0.3:443/leaf-expired           expired leaf from the test CA
    https://127.0.0.4:443/leaf-other-host        leaf for "other.invalid"
    https://127.0.0.5:443/leaf-trusted           valid leaf from the test CA
The name after the port picks NAME.chain.pem and NAME.key in --certs (made by
tools/certs/make-certs.sh). Every endpoint serves the same script and the
same consultation.

Requests: one per connection. The target decides the kind:
    PREFIX?do=login&...   login     fixed default "0 standin-token"
    PREFIX?do=get&...     get       fixed default "0 0000"
    PREFIX                probe     fixed default "0"
    anything else         other     fixed default: a 404 page
    unparsable head       malformed answered 400 by the HTTP parser, unscripted
PREFIX is --prefix, default "/newmessages" (the agent's object name with the
leading "/" that WinINet puts in the request line). Every request is logged
as received: request line, headers and body, bytes exact.

Who answers, first come first served:
 1. the kind's queue of scripted replies (POST /control/reply);
 2. a default set for the kind (POST /control/default);
 3. the consultation (below);
 4. the kind's fixed default above.
The scripted tests queue what they expect, or rely on the fixed defaults,
and never switch demo mode on.

The consultation. Query values are percent-decoded to bytes (logins are
Windows-1251); the password is checked as its MD5 digest in lowercase hex.
  In demo mode only (--demo, or POST /control/demo?on=1):
    login   "0 TOKEN" for a known account whose digest matches, a fresh
            token each time (the previous one stops working);
            "1 wrong login or password" otherwise.
    get     "1 invalid token" unless the login's current token is given;
            else status 0/1/2 is recorded as the consultant's presence
            (online/away/offline) with the time, and the reply is "0 NNNN":
            the new-message count in positions 2 to 5, zero-filled, held at
            9999 above that. Another status value is answered with a 400 page.
  In both modes:
    login, get, probe  "2 URL" while the outdated switch is on: the URL set
            with it, else http(s)://HOST/download/KovarentisSetup.exe, HOST
            being the Host header of the request.
    GET /profile/expertconsult   the consultant page: every consultant with
            presence and new messages.
    GET /download/NAME           a file offered through the control interface.
  Accounts: "demo" with password "demo", and those added by control.

Control interface (plain HTTP, --control, default 127.0.0.1:8765):
    POST /control/reset               forget script, log and counts; end hangs;
                                      the consultation as at start (demo
                                      account only, mode as --demo says,
                                      switch off, no downloads); endpoints up
    POST /control/reply?kind=K&...    queue a reply for kind K; the request
                                      body is the reply body, bytes exact
    POST /control/default?kind=K&...  the same, but replace K's default
    GET  /control/log                 number of logged requests, in decimal
    GET  /control/log/N               raw bytes of request N (from 0), with
                                      headers X-Standin-Endpoint, X-Standin-Kind
    GET  /control/connections?endpoint=ADDR:PORT
                                      connections accepted there, in decimal
                                      (TLS ones counted before the handshake)
    GET  /control/ping                "ok"
  Consultation (LOGIN percent-encoded Windows-1251 bytes):
    POST /control/demo?on=1|0                demo mode on or off
    POST /control/account?login=L&password=P add the account, or replace it
                                             with a fresh one
    POST /control/messages?login=L&add=N     a client sends N messages
    POST /control/messages?login=L&set=N     the count becomes N (0: all read)
    GET  /control/presence?login=L           lines "name: value": presence
                                             (online, away, offline, unknown),
                                             token, messages, status_requests,
                                             seconds_since_status
    POST /control/revoke[?login=L]           forget L's token (everyone's
                                             without login=)
    POST /control/outdated?on=1[&url=U][&file=PATH]
                                             the outdated switch on; file=
                                             serves PATH as KovarentisSetup.exe
    POST /control/outdated?on=0              the switch off
    POST /control/download?name=N[&file=PATH]
                                             serve PATH, or the request body,
                                             at /download/N
    GET  /control/files                      the folder file= reads from
  file=PATH names a file inside --files DIR (relative to it, or absolute);
  anything outside it, through ".." or a link included, is refused (403), as
  is every file= when the service was started without --files.
    POST /control/down                       stop listening on the service
                                             endpoints: clients are refused
    POST /control/up                         listen again
  Reply parameters (all optional):
    status=N       HTTP status, default 200
    header=N: V    extra header line, repeatable
    hang=S         wait S seconds before answering (a reset ends the wait and
                   drops the connection unanswered)
    cut=B          send only the first B body bytes of the promised length ...
    cut_hang=S     ... wait S seconds, then close the connection
    drip=S         ... or send the rest of the body a byte every S seconds
    raw=1          the body is the whole response, sent as it is
    length=0       no Content-Length; the end of the body is the close
  Waits are capped at 300 s. Answers: 200 "ok" (or the data asked for); 400,
  404, 409 or 500 with a reason.

Start-up: every socket is bound before anything is served; a bind failure
prints the address and the reason and exits with status 3. Once all are
listening the process id is written to --ready-file. SIGTERM or SIGINT stops
the service: hangs end, the endpoints close, the exit status is 0.
"""
import argparse
import os
import signal
import ssl
import sys
import threading

from control import ControlHandler
from consultation import DEMO_LOGIN, DEMO_PASSWORD
from endpoints import Endpoint, ServiceSwitch, parse_listen, tls_context
from protocol import ServiceHandler
from script import StandinState

DEFAULT_LISTEN = (
    "http://127.0.0.1:80",
    "https://127.0.0.2:443/leaf-unknown-ca",
    "https://127.0.0.3:443/leaf-expired",
    "https://127.0.0.4:443/leaf-other-host",
    "https://127.0.0.5:443/leaf-trusted",
)
EXIT_BIND_FAILED = 3


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        description="Stand-in consultation service on loopback (tests and demo)",
        epilog=f'Demo account: login "{DEMO_LOGIN.decode()}", password "{DEMO_PASSWORD.decode()}".')
    parser.add_argument("--demo", action="store_true",
                        help="answer sign-in and status from accounts and tokens")
    parser.add_argument("--certs", default="", help="directory made by make-certs.sh")
    parser.add_argument("--listen", action="append", help="endpoint URL, repeatable")
    parser.add_argument("--control", default="127.0.0.1:8765", help="control ADDR:PORT")
    parser.add_argument("--prefix", default="/newmessages")
    parser.add_argument("--files", default=None, help="the only folder file= may name files in")
    parser.add_argument("--ready-file", default="")
    return parser.parse_args(argv)


def fail(message):
    print(f"standin: {message}", file=sys.stderr, flush=True)
    sys.exit(EXIT_BIND_FAILED)


def open_endpoint(address, handler, state, tls=None, prefix=""):
    if not address[0].startswith("127."):
        fail(f"{address[0]} is not a loopback address")
    try:
        return Endpoint(address, handler, state, tls, prefix)
    except OSError as error:
        fail(f"cannot listen on {address[0]}:{address[1]}: {error.strerror or error}")


def load_certificate(certs, name):
    base = os.path.join(certs, name)
    try:
        return tls_context(base + ".chain.pem", base + ".key")
    except (OSError, ssl.SSLError) as error:
        fail(f"cannot load certificate {base}: {error}")


def open_endpoints(options, state):
    """Binds every socket before anything is served."""
    host, _, port = options.control.rpartition(":")
    control = open_endpoint((host, int(port)), ControlHandler, state)
    services = []
    for text in options.listen or DEFAULT_LISTEN:
        try:
            address, cert = parse_listen(text)
        except ValueError as error:
            fail(str(error))
        tls = load_certificate(options.certs, cert) if cert else None
        services.append(open_endpoint(address, ServiceHandler, state, tls, options.prefix))
    control.service_switch = ServiceSwitch(services)
    return [control, *services]


def main(argv):
    options = parse_arguments(argv)
    state = StandinState(demo=options.demo, files_dir=options.files)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())

    endpoints = open_endpoints(options, state)
    threads = [endpoint.run_in_background() for endpoint in endpoints]
    if options.ready_file:
        with open(options.ready_file, "w") as ready:
            ready.write(f"{os.getpid()}\n")
    print("standin: listening on " + ", ".join(e.name for e in endpoints), flush=True)
    if options.demo:
        print(f'standin: demo mode; account "{DEMO_LOGIN.decode()}", '
              f'password "{DEMO_PASSWORD.decode()}"', flush=True)

    while not stop.wait(0.5):
        pass
    state.release_all()
    for endpoint in endpoints:
        endpoint.shutdown()
        endpoint.server_close()
    for thread in threads:
        thread.join(timeout=5)
    print("standin: stopped", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
