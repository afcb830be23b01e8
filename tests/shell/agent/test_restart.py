"""Restarting the agent after a sign-in: remembered credentials take it
straight back to polling; without them it asks again and sends nothing."""
import time
import unittest

from harness import (IDC_REMEMBER, SIGN_IN_CAPTION, Journey, sign_in_path,
                     status_path, wait_until)

LOGIN = "консультант"
PASSWORD = "пароль 1"
TOKEN = "tok-1"


class RestartTest(Journey):
    def first_run(self, remember):
        """Signs in on a first agent and closes it; returns the number of
        requests the service had from it."""
        self.standin.reply("login", "0 " + TOKEN)
        agent = self.new_agent("first").start()
        dialog = self.sign_in_dialog(agent)
        if not remember:
            self.env.click_window(self.env.item(dialog, IDC_REMEMBER))
            self.assertTrue(wait_until(lambda: not self.remember_checked(dialog), 5))
        self.sign_in(dialog, LOGIN, PASSWORD)
        requests = self.wait_for_requests(2)
        self.assertEqual(requests[:2], [sign_in_path(LOGIN, PASSWORD), status_path(2, LOGIN, TOKEN)])
        agent.stop()
        self.assertFalse(agent.running())
        return self.quiet_requests(1)

    def test_after_a_remembered_sign_in_the_restarted_agent_polls_without_a_dialog(self):
        count = self.first_run(remember=True)
        again = self.new_agent("again").start()
        requests = self.wait_for_requests(count + 3)
        self.assertEqual(requests[count:count + 3],
                         [status_path(2, LOGIN, TOKEN)] + [status_path(0, LOGIN, TOKEN)] * 2)
        self.assertIsNone(again.find_own(SIGN_IN_CAPTION, 0), "a sign-in dialog")

    def test_after_an_unremembered_sign_in_the_restarted_agent_asks_and_sends_nothing(self):
        count = self.first_run(remember=False)
        again = self.new_agent("again").start()
        self.sign_in_dialog(again)
        time.sleep(2)
        self.assertEqual(self.standin.requests()[count:], [])
        self.assertIsNone(again.tray_window(), "a tray icon before the sign-in")


if __name__ == "__main__":
    unittest.main()
