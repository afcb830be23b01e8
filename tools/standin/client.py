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
    outdated on --file PATH      ... uploading PATH as KovarentisSetup.exe
    outdated off                 the agent is up to date again
    serve-download NAME PATH     upload PATH, served at /download/NAME
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


INSTALLER_NAME = "KovarentisSetup.exe"


def file_bytes(path: str) -> bytes:
    try:
        with open(path, "rb") as source:
            return source.read()
    except OSError as error:
        raise SystemExit(f"client: cannot read {path}: {error.strerror or error}")


def outdated_requests(args):
    """The file goes up as a request body: the service serves no file from
    outside its own folder, and need not share a disk with the client."""
    if args.state == "off":
        return [("POST", "/control/outdated?on=0", b"")]
    if args.file and args.url:
        raise SystemExit("client: outdated on takes a URL or --file, not both")
    upload = [("POST", "/control/download?" + query(name=INSTALLER_NAME), file_bytes(args.file))] \
        if args.file else []
    return upload + [("POST", "/control/outdated?" + query(on=1, url=args.url), b"")]


def requests_for(args):
    """(method, target, body) of the control requests that a command stands for."""
    command = args.command
    if command == "ping":
        return [("GET", "/control/ping", b"")]
    if command == "presence":
        return [("GET", "/control/presence?" + query(login=args.login), b"")]
    if command in ("reset", "down", "up"):
        return [("POST", f"/control/{command}", b"")]
    if command == "demo":
        return [("POST", f"/control/demo?on={int(args.state == 'on')}", b"")]
    if command == "add-account":
        return [("POST", "/control/account?" + query(login=args.login, password=args.password), b"")]
    if command in ("send-messages", "set-messages"):
        change = {"add" if command == "send-messages" else "set": args.count}
        return [("POST", "/control/messages?" + query(login=args.login, **change), b"")]
    if command == "revoke":
        return [("POST", "/control/revoke" + (f"?{query(login=args.login)}" if args.login else ""), b"")]
    if command == "outdated":
        return outdated_requests(args)
    return [("POST", "/control/download?" + query(name=args.name), file_bytes(args.path))]


def exchange(address, method, target, body):
    """(status, answer) of one control request; OSError when unreachable."""
    host, _, port = address.rpartition(":")
    connection = http.client.HTTPConnection(host, int(port), timeout=TIMEOUT_SECONDS)
    try:
        connection.request(method, target, body=body)
        response = connection.getresponse()
        return response.status, response.read()
    finally:
        connection.close()


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
        requests = requests_for(args)
    except UnicodeEncodeError as error:
        print(f"client: not Windows-1251 text: {error.object!r}", file=sys.stderr)
        return EXIT_USAGE
    for method, target, body in requests:
        try:
            status, answer = exchange(args.control, method, target, body)
        except OSError as error:
            print(f"client: control interface at {args.control} unreachable: {error}", file=sys.stderr)
            return EXIT_UNREACHABLE
        if status != 200:
            sys.stderr.write(answer.decode("utf-8", "replace").rstrip("\n") + "\n")
            return EXIT_REFUSED
    sys.stdout.write(answer.decode("utf-8", "replace").rstrip("\n") + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
