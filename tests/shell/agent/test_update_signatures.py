"""Only a newer installer from the agent's own publisher starts. The stand-in
offers agent_probe.exe signed in every way an update may arrive; the consultant
answers Yes. The newer installer signed by the build's publisher starts, also
when the link redirects from http to https, and the agent ends; the agent's
next start deletes it. An agent whose publisher is certified by a trusted
authority takes a renewal of that certificate but refuses one not made for
code signing or expired without a timestamp. Anything else
(an older installer, the uninstaller, the agent itself, a second certificate
for the signer, a renewed certificate under another root than the agent's) is
deleted and refused with a box and its own verdict in the log, the agent polls
on and does not ask again for that URL. URLs outside http(s) are refused before
any request; an https server the prefix does not trust serves nothing; an
installer Windows cannot start leaves the agent running."""
import os
import socket
import subprocess
import threading
import unittest

from diagnostic_log import log_lines, remove_logs
from harness import BOX_CAPTION, IDYES, WM_COMMAND, Journey, wait_until
from signed_updates import (CONNECT_FAILED, INSTALLER, NOT_AUTHENTIC, UNEXPECTED_ERROR, downloaded_installers,
                            installer_markers, offer_installer, signed_probe, trust_test_authority)

LOGIN = "consultant"
TOKEN = "t0ken"
QUESTION = "Ваша версия агента устарела, установить новый агент?"


class ConnectionCatcher:
    """Listens on a loopback port and counts whoever connects: a UNC path
    would make Windows try SMB there and offer the consultant's credentials."""

    def __init__(self, port):
        self.count = 0
        self.listener = socket.create_server(("127.0.0.1", port))
        self.listener.settimeout(0.2)
        self.stopped = threading.Event()
        self.thread = threading.Thread(target=self._accept, daemon=True)
        self.thread.start()

    def _accept(self):
        while not self.stopped.is_set():
            try:
                connection, _ = self.listener.accept()
            except OSError:
                continue
            self.count += 1
            connection.close()

    def close(self):
        self.stopped.set()
        self.thread.join(5)
        self.listener.close()


class SignedUpdateTest(Journey):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        trust_test_authority(cls.env)

    def setUp(self):
        super().setUp()
        self.start_afresh()

    def start_afresh(self):
        self.standin.reset()
        for leftover in installer_markers(self.env) + downloaded_installers(self.env):
            os.remove(leftover)
        self.env.store_credentials(LOGIN, TOKEN)

    def box(self, agent, wait=15):
        box = agent.find_own(BOX_CAPTION, wait)
        self.assertIsNotNone(box, "no box")
        return box

    def accept_offer(self, agent):
        box = self.box(agent)
        self.assertEqual(self.box_text(box), QUESTION)
        self.env.post(box, WM_COMMAND, IDYES)
        self.assertTrue(self.env.gone(box, 10))

    def dismiss_box(self, agent, text):
        box = self.box(agent, 30)
        self.assertEqual(self.box_text(box), text)
        self.env.post(box, WM_COMMAND, 1)
        self.assertTrue(self.env.gone(box, 10))

    def assert_polls_on_without_asking_again(self, agent):
        """The outdated switch stays on: every poll hears "2 URL" again."""
        self.wait_for_requests(len(self.standin.requests()) + 4, timeout=30)
        self.assertTrue(agent.running(), "the agent ended")
        self.assertEqual(self.own_boxes(agent), [], "the same URL was offered again")
        self.assertEqual(installer_markers(self.env), [], "the installer ran")

    def assert_started_and_ended(self, agent):
        self.assertTrue(agent.ended(20), "the agent did not end for the update")
        self.assertTrue(wait_until(lambda: installer_markers(self.env), 10), "the installer did not run")

    def test_an_installer_signed_by_the_builds_publisher_starts_and_the_agent_ends(self):
        offer_installer(self.standin, signed_probe("publisher"))
        agent = self.new_agent().start()
        self.accept_offer(agent)
        self.assert_started_and_ended(agent)
        self.assertTrue(wait_until(lambda: not self.probe_running(), 10), "the installer did not end")
        self.assertNotEqual(downloaded_installers(self.env), [])
        self.standin.control("outdated", on=0)
        self.new_agent(name="after-update").start()
        self.assertEqual(downloaded_installers(self.env), [], "the next start left the installer")

    @staticmethod
    def probe_running():
        return subprocess.run(["pgrep", "-f", "KovarentisSetup.exe"], stdout=subprocess.DEVNULL).returncode == 0

    def test_under_a_trusted_authority_a_renewal_passes_and_the_policy_must_pass_on_its_own(self):
        cases = {
            "renewed": None,
            "wrong-usage": "the signing certificate is not for code signing",
            "expired": "the signing certificate was not valid at the signing time",
        }
        for variant, verdict in cases.items():
            with self.subTest(variant=variant):
                self.start_afresh()
                if verdict:
                    self.refused(variant, name="authority-%s" % variant, verdict=verdict,
                                 agent_exe=signed_probe("kovarentis-under-authority")).stop()
                    continue
                offer_installer(self.standin, signed_probe(variant))
                agent = self.new_agent(name="authority-renewed", agent_exe=signed_probe("kovarentis-under-authority"))
                self.accept_offer(agent.start())
                self.assert_started_and_ended(agent)

    def test_an_http_link_that_redirects_to_https_downloads_and_starts(self):
        offer_installer(self.standin, signed_probe("publisher"))
        # The first request for the file is sent on to https; the second gets it.
        self.standin._call("POST", "/reply?kind=other&status=302&header=Location:%20https://127.0.0.5" + INSTALLER)
        agent = self.new_agent().start()
        self.accept_offer(agent)
        self.assert_started_and_ended(agent)
        self.assertGreaterEqual(int(self.standin._call("GET", "/connections?endpoint=127.0.0.5:443")), 1)

    def refused(self, variant, name=None, verdict=None, agent_exe=None):
        remove_logs(self.env)
        offer_installer(self.standin, signed_probe(variant))
        agent = self.new_agent(name=name, agent_exe=agent_exe, DiagnosticLog=1).start()
        self.accept_offer(agent)
        self.dismiss_box(agent, NOT_AUTHENTIC)
        self.assertEqual(downloaded_installers(self.env), [], "the refused file was not deleted")
        self.assertIn(INSTALLER, self.standin.requests())
        if verdict:
            self.assertIn("update: refused, " + verdict, log_lines(self.env))
        self.assert_polls_on_without_asking_again(agent)
        return agent

    def test_files_the_publisher_signed_that_are_not_a_newer_installer_are_refused_each_for_its_reason(self):
        cases = {
            "older": "the installer is not newer than the running agent",
            "nsis-uninstaller": "the file is the agent's uninstaller",
            "self": "the file is not an installer of this agent",
            "duplicate": "the signature carries two certificates for its signer",
            "renewed": "the installer's publisher is certified by another authority",
        }
        for variant, verdict in cases.items():
            with self.subTest(variant=variant):
                self.standin.reset()
                self.refused(variant, name="refused-%s" % variant, verdict=verdict).stop()

    def test_an_unsigned_program_is_refused(self):
        self.refused("unsigned")

    def test_a_program_signed_by_another_publisher_is_refused(self):
        self.refused("other")

    def test_a_self_signed_certificate_copying_the_publishers_name_is_refused(self):
        self.refused("impostor")

    def test_a_program_changed_by_one_byte_after_signing_is_refused(self):
        self.refused("altered")

    def test_file_and_unc_urls_are_refused_without_a_question_or_a_request(self):
        catchers = [ConnectionCatcher(port) for port in (445, 139)]
        try:
            for url in ("file:///C:/windows/notepad.exe", "\\\\127.0.0.1\\share\\KovarentisSetup.exe"):
                with self.subTest(url=url):
                    self.standin.reset()
                    self.standin.control("outdated", on=1, url=url)
                    agent = self.new_agent(name="refused-url-%d" % len(self.agents)).start()
                    self.dismiss_box(agent, NOT_AUTHENTIC)
                    self.assert_polls_on_without_asking_again(agent)
                    self.assertTrue(all(path.startswith("/newmessages") for path in self.standin.requests()))
                    agent.stop()
        finally:
            for catcher in catchers:
                catcher.close()
        self.assertEqual([catcher.count for catcher in catchers], [0, 0], "Windows went for the share")

    def test_an_https_installer_on_a_server_the_prefix_does_not_trust_is_not_downloaded(self):
        with open(signed_probe("publisher"), "rb") as installer:
            self.standin._call("POST", "/download?name=KovarentisSetup.exe", installer.read())
        self.standin.control("outdated", on=1, url="https://127.0.0.2" + INSTALLER)
        agent = self.new_agent().start()
        self.accept_offer(agent)
        self.dismiss_box(agent, CONNECT_FAILED)
        self.assertNotIn(INSTALLER, self.standin.requests())
        self.assertGreaterEqual(int(self.standin._call("GET", "/connections?endpoint=127.0.0.2:443")), 1,
                                "the download did not even try the server")
        self.assertEqual(downloaded_installers(self.env), [])
        self.assertTrue(agent.running())

    def test_an_installer_the_shell_cannot_start_leaves_the_agent_running(self):
        offer_installer(self.standin, os.environ["KOV_NOT_A_PROGRAM"])
        agent = self.new_agent().start()
        self.accept_offer(agent)
        self.dismiss_box(agent, UNEXPECTED_ERROR)
        self.standin.control("outdated", on=0)
        self.wait_for_requests(len(self.standin.requests()) + 2, timeout=30)
        self.assertTrue(agent.running(), "the agent ended although nothing started")


if __name__ == "__main__":
    unittest.main()
