"""The hidden main window ends only through Close or the end of the Windows
session: Enter, Escape, close requests and a session's end called off change
nothing; Close from the tray menu and the session's end tell the service
Offline before the agent ends, and Close ends it within the 2 s it waits for
that report even while the service hangs."""
import time
import unittest

from harness import (ABOUT_CAPTION, DESKTOP_SIZE, IDCANCEL, IDOK, VK_ESCAPE, VK_RETURN, WM_CLOSE,
                     WM_COMMAND, WM_KEYDOWN, Journey, reported_status)

LOGIN = "consultant"
TOKEN = "t0ken"
WM_QUERYENDSESSION = 0x0011
WM_ENDSESSION = 0x0016
LEAVING_WAIT_SECONDS = 2


class CloseTest(Journey):
    def setUp(self):
        super().setUp()
        self.env.store_credentials(LOGIN, TOKEN)

    def assert_offline_last(self, since):
        """The requests from `since` on end with the one Offline report."""
        statuses = [reported_status(path) for path in self.standin.requests()[since:]]
        self.assertEqual((statuses.count(2), statuses[-1:]), (1, [2]),
                         "not one Offline report, last: %s" % statuses)

    def test_only_close_from_the_menu_ends_the_agent_and_the_service_hears_offline_first(self):
        agent = self.new_agent().start()
        self.wait_for_requests(1)
        # The last two: a session's end asked for, then called off.
        for message, wparam in ((WM_KEYDOWN, VK_RETURN), (WM_KEYDOWN, VK_ESCAPE), (WM_CLOSE, 0),
                                (WM_COMMAND, IDOK), (WM_COMMAND, IDCANCEL),
                                (WM_QUERYENDSESSION, 0), (WM_ENDSESSION, 0)):
            self.assertTrue(self.env.post(agent.main_window, message, wparam))
        count = len(self.standin.requests())
        time.sleep(3)
        self.assertTrue(agent.running())
        self.assertEqual(self.env.info(agent.main_window)["rect"], (0, 0, 0, 0))
        statuses = [reported_status(path) for path in self.standin.requests()[count:]]
        self.assertTrue(statuses, "polling stopped")
        self.assertEqual(set(statuses), {0}, "Online no longer")

        # Close is the menu's last item.
        count = len(self.standin.requests())
        left, top, right, bottom = self.open_tray_menu()
        self.env.click((left + right) // 2, bottom - 10)
        self.assertTrue(agent.ended(10), "Close did not end the agent")
        self.assert_offline_last(count)

    def test_the_end_of_the_session_tells_the_service_offline_and_ends_the_agent(self):
        agent = self.new_agent().start()
        self.wait_for_request(lambda path: reported_status(path) == 0)
        count = len(self.standin.requests())
        self.assertTrue(self.env.post(agent.main_window, WM_QUERYENDSESSION))
        self.assertTrue(self.env.post(agent.main_window, WM_ENDSESSION, 1))
        self.assertTrue(agent.ended(10), "the session's end did not end the agent")
        self.assert_offline_last(count)

    def test_about_and_close_from_the_tray_menu_while_the_service_hangs(self):
        self.standin.reply("get", "0 0000", default=True, hang=120)
        agent = self.new_agent().start()
        self.wait_for_requests(1)

        # Signed out while the first poll hangs: About is the menu's second
        # command, after the consultant page and a separator (6 pixels; the
        # four commands share the rest below the 3-pixel frame).
        left, top, right, bottom = self.open_tray_menu()
        command_height = (bottom - top - 2 * 3 - 2 * 6) / 4
        self.env.click((left + right) // 2, int(top + 3 + command_height + 6 + command_height / 2))
        about = agent.find_own(ABOUT_CAPTION, 10)
        self.assertIsNotNone(about, "no About box")
        info = self.env.info(about)
        center_x = (info["rect"][0] + info["rect"][2]) // 2
        self.assertLessEqual(abs(center_x - DESKTOP_SIZE[0] // 2), 1, "the About box is not centred")
        self.env.keep_screenshot("agent-about.png", info["rect"])
        self.env.key("Return")
        self.assertTrue(self.env.gone(about, 10), "Enter does not close the About box")

        # Close is the last item.
        left, top, right, bottom = self.open_tray_menu()
        started = time.monotonic()
        self.env.click((left + right) // 2, bottom - 10)
        self.assertTrue(agent.ended(60), "Close did not end the agent")
        elapsed = time.monotonic() - started
        print("the agent ended %.2f s after Close" % elapsed)
        # The Offline report hangs too: the agent waits 2 s for it, not the
        # two minutes of the hang.
        self.assertLess(elapsed, LEAVING_WAIT_SECONDS + 2)


if __name__ == "__main__":
    unittest.main()
