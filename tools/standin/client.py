#!/usr/bin/env python3
"""Drives a running stand-in service through its control interface, for the
demo and the end-to-end tests.

    client.py [--control ADDR:PORT] COMMAND ...

    ping                         is the control interface there?
    reset                        back to the state at start
    demo on|off                  demo mode (accounts and tokens) on or off
    add-account LOGIN PASSWORD   add an account (Cyrillic logins welcome)
    send-messages LOGIN N        a client sends LOGIN N new messages
    set-messages LOGIN N         the count becomes N (0: all read)
    presence LOGIN               presence, token, messages, last status
    revoke [LOGIN]               LOGIN's token (everyone's) stops working
    outdated on [URL]            the agent is outdated; the installer is URL,
                                 or the service's own download
    outdated on --file PATH      ... serving PATH as KovarentisSetup.exe
    outdated off                 the agent is up to date again
    serve-download NAME PATH     serve PATH at /download/NAME
    down | up                    service endpoints refuse connections / listen

LOGIN and PASSWORD are typed in the terminal's encoding and sent as the
agent sends them: Windows-1251 bytes. --control defaults to 127.0.0.1 and
the port in KOV_STANDIN_CONTROL_PORT, else 8765. Prints what the service
answers; exits 1 when it refuses, 2 on a usage error, 3 when unreachable.
"""
import argparse
import http.client
import os
import sys
from urllib.parse import quote_from_bytes

TIMEOUT_SECONDS = 10
EXIT_REFUSED, EXIT_USAGE, EXIT_UNREACHABLE = 1, 2, 3


def encoded(value) -> str:
    """Percent-encoded bytes: text as Windows-1251, the way the agent sends
    it; file paths (bytes) as the file system names them."""
    data = value if isinstance(value, bytes) else str(value).encode("cp1251")
    return quote_from_bytes(data, safe="")


def query(**values) -> str:
    return "&".join(f"{name}={encoded(value)}" for name, value in values.items()
                    if value is not None)


def local_path(path: str) -> bytes:
    return os.fsencode(os.path.abspath(path))


def outdated_target(args) -> str:
    if args.state == "off":
        return "/control/outdated?on=0"
    if args.file and args.url:
        raise SystemExit("client: outdated on takes a URL or --file, not both")
    return "/control/outdated?" + query(on=1, url=args.url,
                                        file=local_path(args.file) if args.file else None)


def request_for(args):
    """(method, target) of the control request that a command stands for."""
    command = args.command
    if command == "ping":
        return "GET", "/control/ping"
    if command == "presence":
        return "GET", "/control/presence?" + query(login=args.login)
    if command in ("reset", "down", "up"):
        return "POST", f"/control/{command}"
    if command == "demo":
        return "POST", f"/control/demo?on={int(args.state == 'on')}"
    if command == "add-account":
        return "POST", "/control/account?" + query(login=args.login, password=args.password)
    if command in ("send-messages", "set-messages"):
        change = {"add" if command == "send-messages" else "set": args.count}
        return "POST", "/control/messages?" + query(login=args.login, **change)
    if command == "revoke":
        return "POST", "/control/revoke" + (f"?{query(login=args.login)}" if args.login else "")
    if command == "outdated":
        return "POST", outdated_target(args)
    return "POST", "/control/download?" + query(name=args.name, file=local_path(args.path))


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    port = os.environ.get("KOV_STANDIN_CONTROL_PORT", "8765")
    parser.add_argument("--control", default=f"127.0.0.1:{port}")
    commands = parser.add_subparsers(dest="command", required=True)
    for name in ("ping", "reset", "down", "up"):
        commands.add_parser(name)
    commands.add_parser("demo").add_argument("state", choices=("on", "off"))
    account = commands.add_parser("add-account")
    account.add_argument("login")
    account.add_argument("password")
    for name in ("send-messages", "set-messages"):
        messages = commands.add_parser(name)
        messages.add_argument("login")
        messages.add_argument("count", type=int)
    commands.add_parser("presence").add_argument("login")
    commands.add_parser("revoke").add_argument("login", nargs="?")
    outdated = commands.add_parser("outdated")
    outdated.add_argument("state", choices=("on", "off"))
    outdated.add_argument("url", nargs="?")
    outdated.add_argument("--file")
    download = commands.add_parser("serve-download")
    download.add_argument("name")
    download.add_argument("path")
    return parser.parse_args(argv)


def main(argv):
    args = parse_arguments(argv)
    try:
        method, target = request_for(args)
    except UnicodeEncodeError as error:
        print(f"client: not Windows-1251 text: {error.object!r}", file=sys.stderr)
        return EXIT_USAGE
    host, _, port = args.control.rpartition(":")
    connection = http.client.HTTPConnection(host, int(port), timeout=TIMEOUT_SECONDS)
    try:
        connection.request(method, target)
        response = connection.getresponse()
        answer = response.read()
    except OSError as error:
        print(f"client: control interface at {args.control} unreachable: {error}", file=sys.stderr)
        return EXIT_UNREACHABLE
    finally:
        connection.close()
    output = sys.stdout if response.status == 200 else sys.stderr
    output.write(answer.decode("utf-8", "replace").rstrip("\n") + "\n")
    return 0 if response.status == 200 else EXIT_REFUSED


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
