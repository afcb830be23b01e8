"""Typing counts as presence: a consultant who types a long answer without
touching the mouse stays Online; once the typing stops, Away follows after
the idle limit, and a mouse move brings Online back.

The keys go to the agent's Wine desktop (which must have the keyboard focus
for Wine to see them); the pointer stays where it is all the while. The limit
is given in whole minutes, so the journey takes about three minutes of real
time."""
import subprocess
import time
import unittest

from harness import DESKTOP, DESKTOP_SIZE, Journey, reported_status

LOGIN = "consultant"
TOKEN = "t0ken"
IDLE_LIMIT_SECONDS = 60
IDLE_CHECK_SECONDS = 3
TYPING_SECONDS = 90
KEY_EVERY_SECONDS = 15


def reports(status):
    return lambda path: reported_status(path) == status


class TypingTest(Journey):
    def focus_the_desktop(self):
        found = subprocess.run(["xdotool", "search", "--name", "^%s - Wine desktop$" % DESKTOP],
                               env=self.env.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               timeout=30, check=False)
        windows = found.stdout.split()
        self.assertTrue(windows, "no Wine desktop window")
        self.env.xdotool("windowfocus", "--sync", windows[0].decode())

    def type_a_key(self):
        self.env.key("shift")

    def test_typing_keeps_online_and_away_follows_when_it_stops(self):
        self.env.store_credentials(LOGIN, TOKEN)
        self.move_pointer_away()
        # Every accepted reply arms the idle check anew, 3 s ahead: polls as
        # far apart leave each check its turn.
        self.new_agent(AwayTimeout=1, RequestTimeout=IDLE_CHECK_SECONDS).start()
        online = self.wait_for_request(reports(0))
        self.focus_the_desktop()

        typing_since = time.monotonic()
        while True:
            self.type_a_key()
            last_key = time.monotonic()
            if last_key - typing_since >= TYPING_SECONDS:
                break
            time.sleep(KEY_EVERY_SECONDS)
        requests = self.standin.requests()
        print("%d polls while typing for %.0f s" % (len(requests) - online, last_key - typing_since))
        self.assertEqual({reported_status(path) for path in requests[online:]}, {0},
                         "Away was reported while the consultant typed")

        away = self.wait_for_request(reports(1), start=online, timeout=IDLE_LIMIT_SECONDS + 40)
        idle = time.monotonic() - last_key
        print("Away reported %.1f s after the last key" % idle)
        self.assertGreaterEqual(idle, IDLE_LIMIT_SECONDS - 2 * IDLE_CHECK_SECONDS,
                                "Away came before the idle limit")

        self.env.xdotool("mousemove", DESKTOP_SIZE[0] // 2 + 60, DESKTOP_SIZE[1] // 2 + 40)
        moved = len(self.standin.requests())
        self.wait_for_request(reports(0), start=moved, timeout=3 * IDLE_CHECK_SECONDS + 5)


if __name__ == "__main__":
    unittest.main()
