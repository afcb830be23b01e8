"""The service going away and coming back: every failed poll shows a
balloon, a run of failures shows one message box, polling goes on, and the
agent is Online again as soon as the service answers."""
import time
import unittest

from harness import BOX_CAPTION, IDOK, WM_COMMAND, Journey, status_path

LOGIN = "consultant"
TOKEN = "t0ken"
CONNECT_FAILED = "Не удалось установить соединение с сервером"
# The shell shows a balloon about 2 s after it was asked to, and a newer
# balloon starts that wait again: polls must come further apart than that
# for each balloon to be seen.
POLL_SECONDS = 3


class ServiceDownTest(Journey):
    def setUp(self):
        super().setUp()
        self.env.store_credentials(LOGIN, TOKEN)

    def balloon_showings(self, seconds, agent, boxes_seen):
        """How often the failure balloon came up within the time; notes the
        agent's message boxes seen meanwhile."""
        showings, shown = 0, False
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            now = CONNECT_FAILED in self.env.tooltips()
            showings += now and not shown
            shown = now
            boxes_seen.update(self.own_boxes(agent))
        return showings

    def test_a_failing_service_shows_a_balloon_per_poll_one_box_per_run_and_recovery(self):
        agent = self.new_agent(RequestTimeout=POLL_SECONDS).start()
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()

        self.standin.control("down")
        box = agent.find_own(BOX_CAPTION, 2 * POLL_SECONDS + 5)
        self.assertIsNotNone(box, "no message box for the failure")
        self.assertEqual(self.box_text(box), CONNECT_FAILED)
        boxes = set()
        showings = self.balloon_showings(3 * POLL_SECONDS + 1, agent, boxes)
        print("the failure balloon came up %d times in %d poll periods" % (showings, 3))
        self.assertGreaterEqual(showings, 2, "no balloon for each failed poll")
        self.assertEqual(boxes, {box}, "more than one box for one run of failures")

        # Closed, the box does not come back while the failures go on.
        self.env.post(box, WM_COMMAND, IDOK)
        self.assertTrue(self.env.gone(box, 10))
        boxes.clear()
        self.assertGreaterEqual(self.balloon_showings(2 * POLL_SECONDS + 1, agent, boxes), 1)
        self.assertEqual(boxes, set(), "a second box in the same run of failures")
        self.assertEqual(self.tray_tooltip("Kovarentis : Вы не вошли"), "Kovarentis : Вы не вошли")
        self.move_pointer_away()

        count = len(self.standin.requests())
        self.standin.control("up")
        requests = self.wait_for_requests(count + 2, timeout=3 * POLL_SECONDS)
        # Signed out by the failures: the first poll that gets through reports
        # Offline, its reply makes the agent Online.
        self.assertEqual(requests[count:count + 2],
                         [status_path(2, LOGIN, TOKEN), status_path(0, LOGIN, TOKEN)])
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()

        # An accepted reply ends the run: the next failure shows a box again.
        self.standin.control("down")
        again = agent.find_own(BOX_CAPTION, 2 * POLL_SECONDS + 5)
        self.assertIsNotNone(again, "no box for a new run of failures")
        self.assertEqual(self.box_text(again), CONNECT_FAILED)


if __name__ == "__main__":
    unittest.main()
