"""The service saying that the agent is outdated: at sign-in, in a poll and
to the update probe the agent asks; declined, it runs on; accepted, it
downloads the installer, starts it and ends.

The installer is agent_probe.exe signed by the build's publisher, served under
the installer's name: started as KovarentisSetup.exe it leaves
KovarentisSetup.ran beside itself."""
import os
import time
import unittest

from harness import (BOX_CAPTION, IDNO, IDYES, WM_COMMAND, Journey, reported_status, sign_in_path,
                     status_path, wait_until)
from signed_updates import installer_markers, offer_installer, signed_probe

LOGIN = "consultant"
PASSWORD = "pw"
TOKEN = "t0ken"
QUESTION = "Ваша версия агента устарела, установить новый агент?"
INSTALLER = "/download/KovarentisSetup.exe"
PROBE = "/newmessages"


class UpdateTest(Journey):
    def setUp(self):
        super().setUp()
        for marker in self.installer_markers():
            os.remove(marker)

    def installer_markers(self):
        return installer_markers(self.env)

    def outdated_reply(self):
        return '2 "%s%s"' % (self.server, INSTALLER)

    def answer_the_offer(self, agent, answer):
        box = agent.find_own(BOX_CAPTION, 15)
        self.assertIsNotNone(box, "the update was not offered")
        self.assertEqual(self.box_text(box), QUESTION)
        self.env.post(box, WM_COMMAND, answer)
        self.assertTrue(self.env.gone(box, 10))

    def assert_runs_on(self, agent):
        """Declined: the agent keeps polling, nothing was downloaded."""
        self.wait_for_requests(len(self.standin.requests()) + 2)
        self.assertTrue(agent.running())
        self.assertNotIn(INSTALLER, self.standin.requests())
        self.assertEqual(self.installer_markers(), [])

    def test_declined_at_sign_in_the_agent_signs_in_without_a_token_and_polls(self):
        self.standin.reply("login", self.outdated_reply())
        agent = self.new_agent().start()
        self.sign_in(self.sign_in_dialog(agent), LOGIN, PASSWORD)
        self.answer_the_offer(agent, IDNO)
        self.assert_runs_on(agent)
        requests = self.standin.requests()
        self.assertEqual(requests[:2], [sign_in_path(LOGIN, PASSWORD), status_path(2, LOGIN, "")])

    def test_declined_in_a_poll_the_agent_keeps_polling(self):
        self.env.store_credentials(LOGIN, TOKEN)
        self.standin.reply("get", "0 0000")
        self.standin.reply("get", self.outdated_reply())
        agent = self.new_agent().start()
        self.answer_the_offer(agent, IDNO)
        self.assert_runs_on(agent)

    def test_declined_to_the_probe_the_first_poll_goes_on_and_the_probe_is_not_repeated(self):
        self.env.store_credentials(LOGIN, TOKEN)
        self.standin.reply("probe", self.outdated_reply())
        agent = self.new_agent(test_update_request=1).start()
        self.answer_the_offer(agent, IDNO)
        self.assert_runs_on(agent)
        requests = self.standin.requests()
        self.assertEqual(requests[:2], [PROBE, status_path(2, LOGIN, TOKEN)])
        self.assertEqual(requests.count(PROBE), 1, "the probe was sent again")

    def test_accepted_the_installer_is_downloaded_and_started_and_the_agent_ends(self):
        self.env.store_credentials(LOGIN, TOKEN)
        offer_installer(self.standin, signed_probe("publisher"))
        agent = self.new_agent().start()
        self.answer_the_offer(agent, IDYES)
        self.assertTrue(agent.ended(20), "the agent did not end for the update")
        self.assertIn(INSTALLER, self.standin.requests())
        started = time.monotonic()
        self.assertTrue(wait_until(self.installer_markers, 10), "the installer did not run")
        print("the installer's marker was there %.2f s after the agent ended"
              % (time.monotonic() - started))
        self.assertEqual([reported_status(path) for path in self.standin.requests()
                          if path != INSTALLER], [2], "a poll after the update was accepted")


if __name__ == "__main__":
    unittest.main()
