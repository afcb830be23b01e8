"""The service going away and coming back: a run of failed polls (an outage)
shows one balloon and one box, the tooltip says since when the service is out
of reach, polling goes on while the box stays open, and the service's first
answer hears the consultant's status and closes the outage's box."""
import time
import unittest

from harness import BOX_CAPTION, IDOK, WM_COMMAND, Journey, status_path

LOGIN = "consultant"
TOKEN = "t0ken"
CONNECT_FAILED = "Не удалось установить соединение с сервером"
NO_CONNECTION_SINCE = "Kovarentis : Нет связи с сервером с "
# The shell shows a balloon about 2 s after it was asked to, and a newer
# balloon starts that wait again: with polls further apart than that, a
# balloon asked for at every failure would be seen.
POLL_SECONDS = 3
FAILED_POLLS = 6
# The service comes back this long after the agent started without it.
DOWN_AT_START_SECONDS = 10


class ServiceDownTest(Journey):
    def setUp(self):
        super().setUp()
        self.env.store_credentials(LOGIN, TOKEN)

    def watch_failures(self, agent, requests, shown=False, tail=0.0):
        """Watches the screen until the stand-in has received that many
        requests, and `tail` seconds more. Returns how often the failure
        balloon came up (`shown`: it was on the screen before), whether it is
        on the screen, and the agent's message boxes seen."""
        showings, boxes, deadline = 0, set(), None
        while deadline is None or time.monotonic() < deadline:
            if deadline is None and len(self.standin.requests()) >= requests:
                deadline = time.monotonic() + tail
            now = CONNECT_FAILED in self.env.tooltips()
            showings += now and not shown
            shown = now
            boxes.update(self.own_boxes(agent))
        return showings, shown, boxes

    def test_an_outage_is_told_once_and_the_service_back_hears_the_chosen_status(self):
        agent = self.new_agent(RequestTimeout=POLL_SECONDS).start()
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()

        # Every poll gets an empty reply: the service is out of reach.
        began = time.time()
        self.standin.reply("get", "", default=True)
        before = len(self.standin.requests())
        self.wait_for_requests(before + 1, timeout=POLL_SECONDS + 2)
        since = {NO_CONNECTION_SINCE + time.strftime("%H:%M", time.localtime(moment))
                 for moment in (began, time.time())}
        box = agent.find_own(BOX_CAPTION, POLL_SECONDS + 5)
        self.assertIsNotNone(box, "no message box for the outage")
        self.assertEqual(self.box_text(box), CONNECT_FAILED)
        showings, shown, boxes = self.watch_failures(agent, before + FAILED_POLLS // 2)
        self.assertEqual(boxes, {box}, "more than one box for one outage")

        # Closed, the box does not come back while the outage lasts.
        self.env.post(box, WM_COMMAND, IDOK)
        self.assertTrue(self.env.gone(box, 10))
        more, _, boxes = self.watch_failures(agent, before + FAILED_POLLS, shown, tail=POLL_SECONDS)
        print("the failure balloon came up %d times in %d failed polls" % (showings + more, FAILED_POLLS))
        self.assertEqual(showings + more, 1, "not one balloon for the outage")
        self.assertEqual(boxes, set(), "a second box in the same outage")
        self.assertIn(self.tray_tooltip(since), since)
        self.move_pointer_away()

        # The chosen Online went on through the outage: it is what the
        # service hears first.
        count = len(self.standin.requests())
        self.standin.reply("get", "0 0000", default=True)
        requests = self.wait_for_requests(count + 1, timeout=POLL_SECONDS + 2)
        self.assertEqual(requests[count], status_path(0, LOGIN, TOKEN))
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()

        # An accepted reply ends the outage: the next failure is told again.
        self.standin.reply("get", "", default=True)
        again = agent.find_own(BOX_CAPTION, POLL_SECONDS + 5)
        self.assertIsNotNone(again, "no box for a new outage")
        self.assertEqual(self.box_text(again), CONNECT_FAILED)

    def test_the_service_back_after_a_start_without_it_is_polled_with_the_box_open(self):
        self.standin.control("down")
        agent = self.new_agent(RequestTimeout=POLL_SECONDS).start()
        started = time.monotonic()
        box = agent.find_own(BOX_CAPTION, POLL_SECONDS + 5)
        self.assertIsNotNone(box, "no message box for the failure")

        # The box is left open.
        time.sleep(max(0.0, started + DOWN_AT_START_SECONDS - time.monotonic()))
        self.standin.control("up")
        up = time.monotonic()
        self.wait_for_requests(1, timeout=POLL_SECONDS + 1)
        print("the first poll came %.1f s after the service was back" % (time.monotonic() - up))
        self.assertTrue(self.env.gone(box, 5), "the outage's box stayed open")
        # The first poll since the start reports Offline, its reply makes the
        # agent Online.
        self.assertEqual(self.wait_for_requests(2, timeout=POLL_SECONDS + 2)[:2],
                         [status_path(2, LOGIN, TOKEN), status_path(0, LOGIN, TOKEN)])


if __name__ == "__main__":
    unittest.main()
