"""Away by itself: a cursor left unmoved for the idle limit makes the agent
report Away to the service, and a mouse move brings it back to Online; a
locked or disconnected session reports Away at once, and its return Online.

The limit is given in whole minutes, so the journey waits one minute of real
time: the idle checks, the limit from Params.ini and the poll that carries
the status are all the agent's own. Wine cannot lock or disconnect a session:
the session's notifications go to the main window."""
import time
import unittest

from harness import DESKTOP_SIZE, Journey, reported_status

LOGIN = "consultant"
TOKEN = "t0ken"
IDLE_LIMIT_SECONDS = 60
IDLE_CHECK_SECONDS = 3
WM_WTSSESSION_CHANGE = 0x02B1
WTS_REMOTE_CONNECT, WTS_REMOTE_DISCONNECT = 3, 4
WTS_SESSION_LOCK, WTS_SESSION_UNLOCK = 7, 8
# The session's changes are reported within this time; the polls come
# further apart, so that the report cannot be a timed poll.
AT_ONCE_SECONDS = 3
SESSION_POLL_SECONDS = 10


def reports(status):
    return lambda path: reported_status(path) == status


class AwayTest(Journey):
    def test_an_unmoved_cursor_reports_away_after_the_limit_and_a_move_reports_online(self):
        self.env.store_credentials(LOGIN, TOKEN)
        self.move_pointer_away()
        # Every accepted reply arms the idle check anew, 3 s ahead: polls as
        # far apart leave each check its turn.
        self.new_agent(AwayTimeout=1, RequestTimeout=IDLE_CHECK_SECONDS).start()
        online = self.wait_for_request(reports(0))
        online_since = time.monotonic()

        away = self.wait_for_request(reports(1), start=online,
                                     timeout=IDLE_LIMIT_SECONDS + 40)
        idle = time.monotonic() - online_since
        print("Away reported after %.1f s of idleness" % idle)
        # One check either way: the first check may count as idle or as a move.
        self.assertGreaterEqual(idle, IDLE_LIMIT_SECONDS - 2 * IDLE_CHECK_SECONDS,
                                "Away came before the idle limit")
        requests = self.standin.requests()
        self.assertEqual({reported_status(path) for path in requests[online:away]}, {0},
                         "the agent was not Online all the while")

        self.env.xdotool("mousemove", DESKTOP_SIZE[0] // 2 + 60, DESKTOP_SIZE[1] // 2 + 40)
        moved = len(self.standin.requests())
        back = self.wait_for_request(reports(0), start=moved,
                                     timeout=IDLE_CHECK_SECONDS + 2 * IDLE_CHECK_SECONDS + 5)
        requests = self.standin.requests()
        self.assertEqual({reported_status(path) for path in requests[away:back]}, {1},
                         "Away did not last until the mouse moved")

    def test_a_locked_or_disconnected_session_reports_away_at_once_and_its_return_online(self):
        self.env.store_credentials(LOGIN, TOKEN)
        # No input from here on: a move would end the session's Away.
        self.move_pointer_away()
        agent = self.new_agent(RequestTimeout=SESSION_POLL_SECONDS).start()
        self.wait_for_requests(1)
        for gone, back in ((WTS_SESSION_LOCK, WTS_SESSION_UNLOCK),
                           (WTS_REMOTE_DISCONNECT, WTS_REMOTE_CONNECT)):
            for change, status in ((gone, 1), (back, 0)):
                count = len(self.standin.requests())
                posted = time.monotonic()
                self.assertTrue(self.env.post(agent.main_window, WM_WTSSESSION_CHANGE, change))
                self.wait_for_request(reports(status), start=count,
                                      timeout=posted + AT_ONCE_SECONDS - time.monotonic())
                print("session change %d reported in %.1f s" % (change, time.monotonic() - posted))


if __name__ == "__main__":
    unittest.main()
