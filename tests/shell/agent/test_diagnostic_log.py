"""The diagnostic log, read back from the file: a run against a server that
cannot be reached, a sign-in (the login there, the password, its digest and
the token nowhere), an update refused for its signature, a download that
failed with its step and Windows error, and no file at all without the
DiagnosticLog key."""
import re
import unittest

from harness import BOX_CAPTION, IDYES, WM_COMMAND, Journey, digest, wait_until
from diagnostic_log import log_bytes, log_files, log_lines, remove_logs
from signed_updates import downloaded_installers, offer_installer, signed_probe

LOGIN = "consultant"
TOKEN = "t0ken-9f2c"
PASSWORD = "pass-7Qx"
# Nothing listens there: every request fails at once.
UNREACHABLE = "http://127.0.0.9"
ERROR_INTERNET_CANNOT_CONNECT = 12029
VERSION = "1.2.0.0"


class DiagnosticLogTest(Journey):
    def setUp(self):
        super().setUp()
        remove_logs(self.env)

    def tearDown(self):
        super().tearDown()
        remove_logs(self.env)

    def wait_for_line(self, pattern, timeout=20):
        def look():
            return any(re.fullmatch(pattern, line) for line in log_lines(self.env))
        self.assertTrue(wait_until(look, timeout, step=0.3),
                        "no line %r in the log:\n%s" % (pattern, "\n".join(log_lines(self.env))))

    def close(self, agent):
        agent.stop()
        self.assertFalse(agent.running())

    def test_a_failure_run_gives_the_wininet_error_and_the_time(self):
        self.env.store_credentials(LOGIN, TOKEN)
        agent = self.new_agent(Server=UNREACHABLE, DiagnosticLog=1).start()
        self.wait_for_line(r'request to "127\.0\.0\.9": failed, WinINet error %d in \d+ ms'
                           % ERROR_INTERNET_CANNOT_CONNECT)
        self.wait_for_line(r"poll: failure \(no reply\)")
        self.wait_for_line(r"status: signed out")
        self.close(agent)
        lines = log_lines(self.env)
        print("\n".join(lines))
        self.assertEqual(lines[0], 'start: Kovarentis %s; server "%s", prefix "newmessages", poll every 1 s, '
                                   'away after 10 min, update probe off, signed in yes'
                         % (VERSION, UNREACHABLE))
        self.assertEqual(lines[-1], "end: Kovarentis " + VERSION)
        self.assertNotIn(TOKEN.encode(), log_bytes(self.env))

    def test_a_sign_in_names_the_login_and_never_the_password_digest_or_token(self):
        self.standin.reply("login", "0 " + TOKEN)
        agent = self.new_agent(DiagnosticLog=1).start()
        self.sign_in(self.sign_in_dialog(agent), LOGIN, PASSWORD)
        self.wait_for_line(r'sign-in as "%s": accepted' % LOGIN)
        self.wait_for_line(r"poll: accepted, 0 new messages")
        self.wait_for_line(r"status: online")
        # The token goes out with every poll.
        self.wait_for_requests(4)
        agent.command(304)
        self.wait_for_line(r'sign-out of "%s"' % LOGIN)
        self.close(agent)
        text = log_bytes(self.env)
        for secret in (PASSWORD, digest(PASSWORD), digest(PASSWORD).upper(), TOKEN):
            self.assertNotIn(secret.encode(), text, "a secret in the log")
        self.assertIn(LOGIN.encode(), text)

    def test_an_unsigned_installer_is_refused_with_its_reason(self):
        self.env.store_credentials(LOGIN, TOKEN)
        offer_installer(self.standin, signed_probe("unsigned"))
        agent = self.new_agent(DiagnosticLog=1).start()
        self.wait_for_line(r"poll: outdated \(an update is offered\)")
        self.wait_for_line(r'update: offered "http://.*/KovarentisSetup\.exe"')
        question = agent.find_own(BOX_CAPTION, 15)
        self.assertIsNotNone(question, "no update question")
        self.env.post(question, WM_COMMAND, IDYES)
        self.wait_for_line(r"update: refused, the installer is not signed", timeout=30)
        self.assertEqual(downloaded_installers(self.env), [])
        self.assertTrue(agent.running())

    def test_a_failed_download_names_its_step_and_windows_error(self):
        self.env.store_credentials(LOGIN, TOKEN)
        self.standin.reply("get", '2 "%s/KovarentisSetup.exe"' % UNREACHABLE)
        agent = self.new_agent(DiagnosticLog=1).start()
        question = agent.find_own(BOX_CAPTION, 15)
        self.assertIsNotNone(question, "no update question")
        self.env.post(question, WM_COMMAND, IDYES)
        self.wait_for_line(r"update download: HttpSendRequest failed: Windows error %d"
                           % ERROR_INTERNET_CANNOT_CONNECT)
        self.wait_for_line(r"update: download failed")

    def test_without_the_key_there_is_no_file(self):
        self.env.store_credentials(LOGIN, TOKEN)
        agent = self.new_agent().start()
        self.wait_for_requests(3)
        self.close(agent)
        self.assertEqual(log_files(self.env), [])


if __name__ == "__main__":
    unittest.main()
