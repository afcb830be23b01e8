"""Silent upgrades over a running agent: the installer closes it, replaces the
executable where it is installed, keeps the consultant's settings and sign-in,
and starts the new agent."""
import os
import shutil
import unittest

from installer_harness import (FORCED_EXIT_CODE, RUN_KEY, RUN_VALUE, UNINSTALL_KEY,
                               AgentTestCase, Installation, read_bytes)


class SilentUpgradeTest(AgentTestCase):

    def test_upgrade_closes_the_agent_and_the_new_one_goes_on_signed_in(self):
        custom_dir = self.folder_in_profile()
        self.install(self.setup_exe, "/D=" + custom_dir)
        home = Installation(self.wine, custom_dir)
        self.addCleanup(shutil.rmtree, os.path.dirname(home.unix_dir), True)
        self.write_params(home, self.consultant_params())
        params = read_bytes(home.unix("Params.ini"))
        token = self.sign_in_once()
        old_pid = self.start_at_logon(home)
        self.wait_for_polls_with(token)

        old_agent_end = self.wine.watch_exit(old_pid, 60)
        # No /D: the upgrade finds the installation where it is.
        self.install(self.new_setup_exe)
        end = old_agent_end.exit_code()
        self.assertIsNotNone(end, "the old agent still runs")
        self.assertNotEqual(end, FORCED_EXIT_CODE, "the old agent ignored the request to close")
        polls_of_the_old_agent = self.status_requests()

        _, image = self.wait_for_agent(other_than=old_pid)
        self.assertEqual(image.lower(), home.agent.lower())
        self.assertEqual(self.wine.version(home.agent), self.new_version)
        self.assertEqual(read_bytes(home.unix("Params.ini")), params)
        self.assertEqual(self.stored_credentials(), ("demo", token))
        self.assertEqual(self.wine.reg_get(UNINSTALL_KEY, "DisplayVersion"), self.new_version)
        self.assertEqual(self.wine.reg_get(RUN_KEY, RUN_VALUE), f'"{home.agent}"')
        self.wait_for_polls_with(token, more_than=polls_of_the_old_agent)

    def test_a_silent_upgrade_ends_an_agent_that_does_not_answer(self):
        self.install(self.setup_exe)
        home = Installation.default(self.wine)
        self.start(self.wine.probe_exe, "deaf-agent", "120")
        deaf_pid = self.wait_for_agent()[0]
        deaf_end = self.wine.watch_exit(deaf_pid, 90)

        self.install(self.new_setup_exe)
        self.assertEqual(deaf_end.exit_code(), FORCED_EXIT_CODE)
        self.assertEqual(self.wine.version(home.agent), self.new_version)
        _, image = self.wait_for_agent(other_than=deaf_pid)
        self.assertEqual(image.lower(), home.agent.lower())


if __name__ == "__main__":
    unittest.main()
