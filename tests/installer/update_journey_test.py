"""The whole update chain: the service says the agent is outdated, the agent
asks, the consultant answers Yes, the agent downloads and starts the
installer and ends, and the installer puts the new agent in place and starts
it, signed in with the stored credentials."""
import os
import subprocess
import unittest

from installer_harness import (BOX_CAPTION, IDYES, AgentTestCase, Installation, read_bytes,
                               wait_until)


class UpdateJourneyTest(AgentTestCase):

    def wait_for_question(self):
        """Screen position of Yes in the agent's question."""
        centre = wait_until(lambda: self.wine.probe_value("button-center", BOX_CAPTION, IDYES),
                            30, step=0.5)
        self.assertIsNotNone(centre, "the agent did not ask whether to install the update")
        return centre.split()

    def click(self, x, y):
        """A click of the mouse, as the consultant would."""
        subprocess.run(["xdotool", "mousemove", x, y, "click", "1"], env=self.wine.env,
                       check=True, timeout=30)

    def test_the_new_agent_replaces_the_outdated_one_and_needs_no_sign_in(self):
        self.install(self.setup_exe)
        home = Installation.default(self.wine)
        self.write_params(home, self.consultant_params())
        params = read_bytes(home.unix("Params.ini"))
        token = self.sign_in_once()
        old_pid = self.start_at_logon(home)
        self.wait_for_polls_with(token)
        old_agent_end = self.wine.watch_exit(old_pid, 120)

        self.standin.offer_update(self.new_setup_exe)
        yes = self.wait_for_question()
        # The agent asks no more once it asks; the new one must find the
        # service up to date. The download stays offered.
        self.standin.withdraw_update()
        self.click(*yes)
        self.assertIsNotNone(old_agent_end.exit_code(), "the old agent did not end")
        polls_of_the_old_agent = self.status_requests()

        _, image = self.wait_for_agent(other_than=old_pid, timeout=120)
        self.assertEqual(image.lower(), home.agent.lower())
        self.assertEqual(self.wine.version(home.agent), self.new_version)
        downloaded = self.wine.unix_path(self.wine.probe_value("folder", "local-appdata") +
                                         "\\KovarentisUpdate\\KovarentisSetup.exe")
        self.addCleanup(os.remove, downloaded)
        self.assertEqual(read_bytes(downloaded), read_bytes(self.new_setup_exe))
        self.assertEqual(read_bytes(home.unix("Params.ini")), params)
        self.assertEqual(self.stored_credentials(), (self.LOGIN, token))
        # Polls accepted under the old token: the new agent did not sign in again.
        self.wait_for_polls_with(token, more_than=polls_of_the_old_agent)


if __name__ == "__main__":
    unittest.main()
