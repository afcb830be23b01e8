"""The hidden main window ends only through Close: Enter, Escape and close
requests change nothing, and Close from the tray menu ends the agent at once,
even while the service hangs."""
import time
import unittest

from harness import (ABOUT_CAPTION, DESKTOP_SIZE, IDCANCEL, IDOK, VK_ESCAPE, VK_RETURN, WM_CLOSE,
                     WM_COMMAND, WM_KEYDOWN, Journey)

LOGIN = "consultant"
TOKEN = "t0ken"


class CloseTest(Journey):
    def setUp(self):
        super().setUp()
        self.env.store_credentials(LOGIN, TOKEN)

    def test_enter_escape_and_close_requests_leave_the_main_window_running(self):
        agent = self.new_agent().start()
        self.wait_for_requests(1)
        for message, wparam in ((WM_KEYDOWN, VK_RETURN), (WM_KEYDOWN, VK_ESCAPE), (WM_CLOSE, 0),
                                (WM_COMMAND, IDOK), (WM_COMMAND, IDCANCEL)):
            self.assertTrue(self.env.post(agent.main_window, message, wparam))
        count = len(self.standin.requests())
        time.sleep(3)
        self.assertTrue(agent.running())
        self.assertEqual(self.env.info(agent.main_window)["rect"], (0, 0, 0, 0))
        self.assertGreater(len(self.standin.requests()), count, "polling stopped")

    def test_about_and_close_from_the_tray_menu_while_the_service_hangs(self):
        self.standin.reply("get", "0 0000", default=True, hang=120)
        agent = self.new_agent().start()
        self.wait_for_requests(1)

        # Signed out while the first poll hangs: About is the menu's first item.
        left, top, right, bottom = self.open_tray_menu()
        self.env.click((left + right) // 2, top + 10)
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
        # The hung request would hold a waiting agent for two minutes.
        self.assertLess(elapsed, 10)


if __name__ == "__main__":
    unittest.main()
