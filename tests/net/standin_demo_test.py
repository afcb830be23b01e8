"""The stand-in service as a small consultation service: accounts, tokens,
presence, message counts in the reply grammar, the outdated switch, the
consultant page, going down and coming back, and the client for the demo.
Natively, on ephemeral loopback ports."""
import hashlib
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
from urllib.parse import quote_from_bytes

from standin_harness import PREFIX, STANDIN_DIR, RunningStandin, split_response

CLIENT = os.path.join(STANDIN_DIR, "client.py")
SERVICE = os.path.join(STANDIN_DIR, "service.py")
CYRILLIC_LOGIN = "Иван Петров & Co=1%".encode("cp1251")
CYRILLIC_PASSWORD = "пароль".encode("cp1251")


def encoded(value: bytes) -> str:
    return quote_from_bytes(value, safe="")


def digest(password: bytes) -> str:
    return hashlib.md5(password).hexdigest()


def sign_in_target(login: bytes, password_digest: str) -> str:
    return f"{PREFIX}?do=login&login={encoded(login)}&password={password_digest}"


def status_target(login: bytes, token: bytes, status=0) -> str:
    return f"{PREFIX}?do=get&status={status}&login={encoded(login)}&token={encoded(token)}"


def parse_lines(text: bytes) -> dict:
    return dict(line.split(": ", 1) if ": " in line else (line.rstrip(":"), "")
                for line in text.decode("latin-1").splitlines())


class ServiceTestCase(unittest.TestCase):
    DEMO = True

    def setUp(self):
        self.files = tempfile.TemporaryDirectory()
        self.addCleanup(self.files.cleanup)
        self.standin = RunningStandin(demo=self.DEMO, files_dir=self.files.name)
        self.reply = self.standin.reply

    def tearDown(self):
        self.standin.stop()

    def control(self, method, target, body=b""):
        status, answer, _ = self.standin.call_control(method, target, body)
        return status, answer

    def post(self, target, body=b""):
        status, answer = self.control("POST", target, body)
        self.assertEqual(status, 200, answer)

    def sign_in(self, login=b"demo", password=b"demo") -> bytes:
        return self.reply(sign_in_target(login, digest(password)))

    def token_of(self, login=b"demo", password=b"demo") -> bytes:
        reply = self.sign_in(login, password)
        self.assertTrue(reply.startswith(b"0 "), reply)
        return reply[2:]

    def status(self, login, token, status=0) -> bytes:
        return self.reply(status_target(login, token, status))

    def presence(self, login=b"demo") -> dict:
        status, answer = self.control("GET", f"/control/presence?login={encoded(login)}")
        self.assertEqual(status, 200, answer)
        return parse_lines(answer)

    def add_account(self, login: bytes, password: bytes):
        self.post(f"/control/account?login={encoded(login)}&password={encoded(password)}")


class SignInTest(ServiceTestCase):
    def test_only_the_digest_of_the_right_password_signs_in(self):
        reply = self.sign_in(b"demo", b"demo")
        self.assertRegex(reply, rb"^0 [0-9a-f]{16}$")
        self.assertEqual(self.presence()["token"], reply[2:].decode())

        self.assertEqual(self.sign_in(b"demo", b"wrong")[:1], b"1")
        self.assertEqual(self.reply(sign_in_target(b"demo", "demo"))[:1], b"1")  # not digested
        self.assertEqual(self.sign_in(b"nobody", b"demo")[:1], b"1")
        self.assertEqual(self.reply(f"{PREFIX}?do=login&login=demo")[:1], b"1")

    def test_each_sign_in_issues_a_new_token_and_retires_the_old(self):
        first = self.token_of()
        second = self.token_of()

        self.assertNotEqual(first, second)
        self.assertEqual(self.status(b"demo", first)[:1], b"1")
        self.assertEqual(self.status(b"demo", second), b"0 0000")

    def test_a_failed_sign_in_keeps_the_current_token(self):
        token = self.token_of()
        self.sign_in(b"demo", b"wrong")

        self.assertEqual(self.status(b"demo", token), b"0 0000")

    def test_cyrillic_login_with_query_characters_in_it_signs_in_when_percent_encoded(self):
        self.add_account(CYRILLIC_LOGIN, CYRILLIC_PASSWORD)

        token = self.token_of(CYRILLIC_LOGIN, CYRILLIC_PASSWORD)

        self.assertEqual(self.status(CYRILLIC_LOGIN, token, 1), b"0 0000")
        self.assertEqual(self.presence(CYRILLIC_LOGIN)["presence"], "away")
        # The same letters in UTF-8 are another login.
        utf8_login = CYRILLIC_LOGIN.decode("cp1251").encode("utf-8")
        self.assertEqual(self.sign_in(utf8_login, CYRILLIC_PASSWORD)[:1], b"1")

    def test_raw_windows_1251_bytes_in_the_query_are_read_as_sent(self):
        self.add_account("Ольга".encode("cp1251"), b"secret")
        raw_target = (PREFIX + "?do=login&login=").encode() + "Ольга".encode("cp1251") + (
            "&password=" + digest(b"secret")).encode()

        self.assertEqual(self.reply(raw_target)[:2], b"0 ")

    def test_replacing_an_account_changes_its_password_and_drops_its_token(self):
        token = self.token_of()
        self.add_account(b"demo", b"new password")

        self.assertEqual(self.status(b"demo", token)[:1], b"1")
        self.assertEqual(self.sign_in(b"demo", b"demo")[:1], b"1")
        self.assertEqual(self.sign_in(b"demo", b"new password")[:2], b"0 ")


class StatusTest(ServiceTestCase):
    def test_status_needs_the_current_token_of_that_very_login(self):
        self.add_account(b"other", b"pw")
        other_token = self.token_of(b"other", b"pw")

        self.assertEqual(self.status(b"demo", b""), b"1 invalid token")  # never signed in
        self.token_of()
        self.assertEqual(self.status(b"demo", other_token)[:1], b"1")
        self.assertEqual(self.status(b"nobody", other_token)[:1], b"1")
        self.assertEqual(self.reply(f"{PREFIX}?do=get&status=0&login=other")[:1], b"1")
        self.assertEqual(self.status(b"other", other_token), b"0 0000")

    def test_count_stands_in_positions_two_to_five_and_stops_at_9999(self):
        token = self.token_of()
        for count, expected in ((0, b"0 0000"), (7, b"0 0007"), (42, b"0 0042"),
                                (9999, b"0 9999"), (10000, b"0 9999"), (123456, b"0 9999")):
            self.post(f"/control/messages?login=demo&set={count}")

            reply = self.status(b"demo", token)

            self.assertEqual(reply, expected, count)
            self.assertEqual(int(reply[2:6]), min(count, 9999))

    def test_a_client_sending_messages_raises_the_count(self):
        token = self.token_of()
        self.post("/control/messages?login=demo&add=3")
        self.assertEqual(self.status(b"demo", token), b"0 0003")
        self.post("/control/messages?login=demo&add=4")
        self.assertEqual(self.status(b"demo", token), b"0 0007")
        self.post("/control/messages?login=demo&set=0")
        self.assertEqual(self.status(b"demo", token), b"0 0000")
        self.assertEqual(self.presence()["messages"], "0")

    def test_presence_is_recorded_with_the_time_of_the_last_status(self):
        before = self.presence()
        self.assertEqual((before["presence"], before["status_requests"],
                          before["seconds_since_status"]), ("unknown", "0", ""))
        token = self.token_of()

        for status, presence in ((1, "away"), (0, "online"), (2, "offline")):
            self.status(b"demo", token, status)
            self.assertEqual(self.presence()["presence"], presence)
        after = self.presence()
        self.assertEqual(after["status_requests"], "3")
        self.assertLess(float(after["seconds_since_status"]), 5.0)

    def test_rejected_or_malformed_status_requests_change_no_presence(self):
        token = self.token_of()
        self.status(b"demo", token, 1)

        self.status(b"demo", b"forged", 0)
        status, _, body = split_response(self.standin.get(status_target(b"demo", token, 7)))

        self.assertEqual(status, 400)
        self.assertNotIn(body[:1], (b"0", b"1", b"2"))
        self.assertEqual((self.presence()["presence"], self.presence()["status_requests"]),
                         ("away", "1"))

    def test_revoked_tokens_get_one_and_a_new_sign_in_works_again(self):
        self.add_account(b"other", b"pw")
        token, other_token = self.token_of(), self.token_of(b"other", b"pw")

        self.post("/control/revoke?login=demo")
        self.assertEqual(self.status(b"demo", token)[:1], b"1")
        self.assertEqual(self.presence()["token"], "")
        self.assertEqual(self.status(b"other", other_token), b"0 0000")

        self.post("/control/revoke")
        self.assertEqual(self.status(b"other", other_token)[:1], b"1")
        self.assertEqual(self.status(b"demo", self.token_of()), b"0 0000")


class OutdatedTest(ServiceTestCase):
    URL = "http://127.0.0.1/download/KovarentisSetup.exe"

    def agent_replies(self, token):
        """Status, probe and sign-in replies, the sign-in last: it retires the token."""
        return (self.status(b"demo", token), self.reply(PREFIX), self.sign_in())

    def test_switch_answers_two_with_the_url_to_all_three_requests(self):
        token = self.token_of()
        self.post(f"/control/outdated?on=1&url={encoded(self.URL.encode())}")

        expected = b"2 " + self.URL.encode()
        self.assertEqual(self.agent_replies(token), (expected, expected, expected))

        self.post("/control/outdated?on=0")
        status, probe, login = self.agent_replies(token)
        self.assertEqual((status, probe, login[:2]), (b"0 0000", b"0", b"0 "))

    def test_without_a_url_the_installer_is_our_own_download_for_the_host_asked(self):
        installer = b"MZ" + bytes(range(256)) * 40
        with open(os.path.join(self.files.name, "setup.exe"), "wb") as file:
            file.write(installer)
        self.post("/control/outdated?on=1&file=setup.exe")

        reply = self.reply(PREFIX, host="localhost")
        self.assertEqual(reply, b"2 http://localhost/download/KovarentisSetup.exe")
        self.assertEqual(self.reply("/download/KovarentisSetup.exe"), installer)

    def test_switch_works_in_scripted_mode_and_yields_to_queued_replies(self):
        self.post("/control/demo?on=0")
        self.post(f"/control/outdated?on=1&url={encoded(self.URL.encode())}")
        self.post("/control/reply?kind=probe", b"0")

        self.assertEqual(self.reply(PREFIX), b"0")
        self.assertEqual(self.reply(PREFIX), b"2 " + self.URL.encode())
        self.assertEqual(self.reply(f"{PREFIX}?do=get&status=0&login=x&token=y"),
                         b"2 " + self.URL.encode())


class PagesTest(ServiceTestCase):
    def test_consultant_page_lists_consultants_with_presence_and_messages(self):
        self.add_account(CYRILLIC_LOGIN, CYRILLIC_PASSWORD)
        self.status(CYRILLIC_LOGIN, self.token_of(CYRILLIC_LOGIN, CYRILLIC_PASSWORD), 1)
        self.post(f"/control/messages?login={encoded(CYRILLIC_LOGIN)}&add=5")

        status, head, body = split_response(self.standin.get("/profile/expertconsult?from=tray"))

        self.assertEqual(status, 200)
        self.assertIn(b"Content-Type: text/html; charset=utf-8", head)
        page = body.decode("utf-8")
        self.assertIn("<td>Иван Петров &amp; Co=1%</td>"
                      "<td class=\"away\">нет на месте</td><td>5</td>", page)
        self.assertIn("<td>demo</td><td class=\"unknown\">", page)

    def test_downloads_are_served_by_name_and_other_paths_are_not_found(self):
        self.post("/control/download?name=notes.txt", b"first\r\nsecond")

        self.assertEqual(self.reply("/download/notes.txt"), b"first\r\nsecond")
        for path in ("/download/other.txt", "/profile", "/newmessages/extra"):
            self.assertEqual(split_response(self.standin.get(path))[0], 404, path)


class ModesTest(ServiceTestCase):
    DEMO = False

    def test_scripted_mode_keeps_the_fixed_defaults_until_demo_is_switched_on(self):
        self.assertEqual(self.sign_in(b"anyone", b"anything"), b"0 standin-token")
        self.assertEqual(self.status(b"anyone", b"standin-token"), b"0 0000")

        self.post("/control/demo?on=1")
        self.assertEqual(self.sign_in(b"anyone", b"anything")[:1], b"1")
        self.assertEqual(self.status(b"anyone", b"standin-token")[:1], b"1")

        self.post("/control/reset")  # back to the mode the service started in
        self.assertEqual(self.sign_in(b"anyone", b"anything"), b"0 standin-token")

    def test_script_wins_over_the_consultation(self):
        self.post("/control/demo?on=1")
        self.post("/control/reply?kind=login", b"0 queued")
        self.assertEqual(self.sign_in(), b"0 queued")
        self.assertEqual(self.sign_in()[:2], b"0 ")
        self.assertNotEqual(self.sign_in(), b"0 queued")

        self.post("/control/default?kind=get", b"0 0042")
        self.assertEqual(self.status(b"demo", b"not a token"), b"0 0042")

    def test_reset_brings_back_the_consultation_as_started(self):
        self.post("/control/demo?on=1")
        self.add_account(b"extra", b"pw")
        self.post("/control/messages?login=demo&add=9")
        token = self.token_of()
        self.post("/control/outdated?on=1&url=x")

        self.post("/control/reset")
        self.post("/control/demo?on=1")

        self.assertEqual(self.control("GET", "/control/presence?login=extra")[0], 404)
        self.assertEqual(self.presence()["messages"], "0")
        self.assertEqual(self.status(b"demo", token)[:1], b"1")
        self.assertEqual(self.reply(PREFIX), b"0")


class OutageTest(ServiceTestCase):
    def assert_refused(self):
        with self.assertRaises(ConnectionRefusedError):
            self.standin.get(PREFIX)

    def test_down_refuses_connections_and_up_answers_again(self):
        token = self.token_of()

        self.post("/control/down")
        self.post("/control/down")
        self.assert_refused()
        self.assertEqual(self.control("GET", "/control/ping"), (200, b"ok"))

        self.post("/control/up")
        self.assertEqual(self.status(b"demo", token), b"0 0000")  # the consultation survives

    def test_reset_brings_the_endpoints_back(self):
        self.post("/control/down")
        self.assert_refused()

        self.post("/control/reset")

        self.assertEqual(self.reply(PREFIX), b"0")


class ControlRefusalTest(ServiceTestCase):
    def test_unknown_consultants_and_bad_values_are_refused(self):
        refused = {
            "/control/messages?login=nobody&add=1": 404,
            "/control/revoke?login=nobody": 404,
            "/control/messages?login=demo&set=-1": 400,
            "/control/messages?login=demo&add=many": 400,
            "/control/messages?login=demo&add=1&set=2": 400,
            "/control/messages?login=demo": 400,
            "/control/account?login=x": 400,
            "/control/demo?on=yes": 400,
            "/control/outdated?on=1&file=nonexistent/KovarentisSetup.exe": 400,
            "/control/outdated?on=1&file=/nonexistent/KovarentisSetup.exe": 403,
            "/control/download?name=../etc/passwd": 400,
            "/control/download?name=": 400,
        }
        for target, status in refused.items():
            self.assertEqual(self.control("POST", target)[0], status, target)
        self.assertEqual(self.control("GET", "/control/presence")[0], 400)
        self.assertEqual(self.control("GET", "/control/presence?login=nobody")[0], 404)
        # Nothing refused took effect.
        self.assertEqual(self.presence()["messages"], "0")
        self.assertEqual(self.reply(PREFIX), b"0")


class FileConfinementTest(ServiceTestCase):
    """file= serves only what lies inside the stand-in's own folder."""

    def setUp(self):
        super().setUp()
        self.outside = tempfile.TemporaryDirectory()
        self.addCleanup(self.outside.cleanup)
        self.secret = os.path.join(self.outside.name, "secret.txt")
        with open(self.secret, "wb") as file:
            file.write(b"not for the agent")
        with open(os.path.join(self.files.name, "inside.exe"), "wb") as file:
            file.write(b"MZ inside")
        os.symlink(self.secret, os.path.join(self.files.name, "link.exe"))

    def test_a_file_inside_is_served_by_name_or_full_path(self):
        self.post("/control/download?name=a.exe&file=inside.exe")
        inside = os.path.join(self.files.name, "inside.exe")
        self.post(f"/control/download?name=b.exe&file={encoded(inside.encode())}")
        self.assertEqual(self.reply("/download/a.exe"), b"MZ inside")
        self.assertEqual(self.reply("/download/b.exe"), b"MZ inside")

    def test_anything_outside_is_refused_and_nothing_is_served(self):
        for path in (self.secret, "../" + os.path.basename(self.outside.name) + "/secret.txt",
                     "link.exe", "/etc/passwd", ".", ""):
            for route in ("/control/download?name=x.exe&", "/control/outdated?on=1&"):
                target = f"{route}file={encoded(os.fsencode(path))}"
                self.assertEqual(self.control("POST", target)[0], 403, target)
        self.assertNotEqual(self.reply("/download/x.exe"), b"not for the agent")
        self.assertEqual(self.reply(PREFIX), b"0", "a refused offer switched the update on")

    def test_without_a_folder_no_file_is_served(self):
        bare = RunningStandin(demo=True)
        self.addCleanup(bare.stop)
        inside = os.path.join(self.files.name, "inside.exe")
        self.assertEqual(bare.call_control("POST", f"/control/download?name=x.exe&file={encoded(inside.encode())}")[0],
                         403)
        self.assertEqual(bare.call_control("GET", "/control/files")[0], 404)

    def test_the_folder_is_reported_to_the_tests(self):
        status, answer = self.control("GET", "/control/files")
        self.assertEqual((status, answer), (200, os.fsencode(os.path.realpath(self.files.name))))


class ClientTest(ServiceTestCase):
    def client(self, *args, port=None):
        control = f"127.0.0.1:{port or self.standin.control_port}"
        return subprocess.run([sys.executable, "-B", CLIENT, "--control", control, *args],
                              capture_output=True, timeout=30, encoding="utf-8")

    def test_demo_commands_steer_the_consultation(self):
        self.assertEqual(self.client("add-account", "Мария", "секрет").returncode, 0)
        login = "Мария".encode("cp1251")
        token = self.token_of(login, "секрет".encode("cp1251"))

        self.assertEqual(self.client("send-messages", "Мария", "3").returncode, 0)
        self.assertEqual(self.status(login, token), b"0 0003")
        shown = self.client("presence", "Мария")
        self.assertEqual(parse_lines(shown.stdout.encode())["presence"], "online")
        self.assertEqual(parse_lines(shown.stdout.encode())["token"], token.decode())

        self.client("outdated", "on", "http://127.0.0.1/setup.exe")
        self.assertEqual(self.reply(PREFIX), b"2 http://127.0.0.1/setup.exe")
        self.client("outdated", "off")
        with tempfile.NamedTemporaryFile() as installer:  # anywhere: the client uploads it
            installer.write(b"MZ uploaded")
            installer.flush()
            self.assertEqual(self.client("outdated", "on", "--file", installer.name).returncode, 0)
        self.assertEqual(self.reply(PREFIX), b"2 http://127.0.0.1/download/KovarentisSetup.exe")
        self.assertEqual(self.reply("/download/KovarentisSetup.exe"), b"MZ uploaded")
        self.client("outdated", "off")
        self.client("revoke", "Мария")
        self.assertEqual(self.status(login, token)[:1], b"1")

    def test_failures_show_in_the_exit_status(self):
        refused = self.client("send-messages", "nobody", "1")
        self.assertEqual(refused.returncode, 1)
        self.assertIn("no account", refused.stderr)

        with socket.socket() as unused:
            unused.bind(("127.0.0.1", 0))
            free_port = unused.getsockname()[1]
        self.assertEqual(self.client("ping", port=free_port).returncode, 3)
        self.assertEqual(self.client("add-account", "日本", "x").returncode, 2)


def free_ports(count):
    sockets = [socket.socket() for _ in range(count)]
    for item in sockets:
        item.bind(("127.0.0.1", 0))
    ports = [item.getsockname()[1] for item in sockets]
    for item in sockets:
        item.close()
    return ports


class ServiceProcessTest(unittest.TestCase):
    def test_demo_flag_starts_a_working_consultation_and_names_the_account(self):
        help_text = subprocess.run([sys.executable, "-B", SERVICE, "--help"],
                                   capture_output=True, text=True, timeout=30).stdout
        self.assertIn('login "demo", password "demo"', " ".join(help_text.split()))

        service_port, control_port = free_ports(2)
        with tempfile.TemporaryDirectory() as directory:
            ready = os.path.join(directory, "ready")
            process = subprocess.Popen(
                [sys.executable, "-B", SERVICE, "--demo", "--listen",
                 f"http://127.0.0.1:{service_port}", "--control", f"127.0.0.1:{control_port}",
                 "--ready-file", ready], stdout=subprocess.PIPE, text=True)
            try:
                self.await_file(ready, process)
                self.exercise(service_port, control_port)
            finally:
                process.send_signal(signal.SIGTERM)
                output, _ = process.communicate(timeout=30)
        self.assertEqual(process.returncode, 0)
        self.assertIn('demo mode; account "demo", password "demo"', output)

    def await_file(self, path, process):
        deadline = time.monotonic() + 15
        while not os.path.exists(path):
            self.assertIsNone(process.poll(), "the service exited")
            self.assertLess(time.monotonic(), deadline, "the service did not start")
            time.sleep(0.05)

    def exercise(self, service_port, control_port):
        def reply(target):
            request = f"GET {target} HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n".encode()
            with socket.create_connection(("127.0.0.1", service_port), timeout=10) as connection:
                connection.sendall(request)
                return connection.makefile("rb").read().partition(b"\r\n\r\n")[2]

        def client(*args):
            return subprocess.run([sys.executable, "-B", CLIENT, "--control",
                                   f"127.0.0.1:{control_port}", *args],
                                  stdout=subprocess.DEVNULL, timeout=30).returncode

        token = reply(sign_in_target(b"demo", digest(b"demo")))[2:]
        self.assertEqual(client("send-messages", "demo", "42"), 0)
        self.assertEqual(reply(status_target(b"demo", token)), b"0 0042")
        self.assertEqual(client("down"), 0)
        with self.assertRaises(ConnectionRefusedError):
            reply(PREFIX)
        self.assertEqual(client("up"), 0)
        self.assertEqual(reply(PREFIX), b"0")


if __name__ == "__main__":
    unittest.main()
