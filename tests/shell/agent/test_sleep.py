"""Sleep: the service hears Offline when the machine goes to sleep; on waking
the agent polls at once, its failures while the network comes back show
neither a balloon nor a box, only the connecting animation, and once the
service answers it hears the status from before the sleep.

Wine neither sleeps nor wakes: the power notifications go to the main window,
and the polls go on in between."""
import time
import unittest

from harness import Journey, reported_status, status_path

LOGIN = "consultant"
TOKEN = "t0ken"
CONNECT_FAILED = "Не удалось установить соединение с сервером"
WM_POWERBROADCAST = 0x0218
PBT_APMSUSPEND = 4
PBT_APMRESUMEAUTOMATIC = 18
# Far enough apart to tell the poll at waking from the next timed one.
POLL_SECONDS = 5
AT_ONCE_SECONDS = 2
# The network stays away this long after waking, within the agent's 30 s of
# quiet.
NETWORK_BACK_SECONDS = 20


class SleepTest(Journey):
    def quiet_until(self, agent, deadline):
        """The failure balloons and the agent's boxes seen until then."""
        seen = set()
        while time.monotonic() < deadline:
            seen.update(text for text in self.env.tooltips() if text == CONNECT_FAILED)
            seen.update(self.own_boxes(agent))
        return seen

    def test_sleep_reports_offline_and_waking_polls_at_once_and_keeps_quiet_until_the_network_is_back(self):
        self.env.store_credentials(LOGIN, TOKEN)
        agent = self.new_agent(RequestTimeout=POLL_SECONDS).start()
        # The second poll reports Online: the first one's reply has been taken.
        count = len(self.wait_for_requests(2))
        self.assertTrue(self.env.post(agent.main_window, WM_POWERBROADCAST, PBT_APMSUSPEND))
        self.wait_for_request(lambda path: path == status_path(2, LOGIN, TOKEN), start=count,
                              timeout=AT_ONCE_SECONDS)

        # Asleep, the agent polls no more; it wakes with the network not back.
        self.standin.reply("get", "", default=True)
        polled = len(self.standin.requests())
        woken = time.monotonic()
        self.assertTrue(self.env.post(agent.main_window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC))
        self.wait_for_requests(polled + 1, timeout=woken + AT_ONCE_SECONDS - time.monotonic())
        self.assertGreater(len(self.icon_frames(1)), 1, "no connecting animation")
        self.assertEqual(self.quiet_until(agent, woken + NETWORK_BACK_SECONDS), set(),
                         "a balloon or box while the network comes back")
        failed = len(self.standin.requests()) - polled
        self.assertGreaterEqual(failed, 3, "the polls stopped")

        count = len(self.standin.requests())
        self.standin.reply("get", "0 0000", default=True)
        self.wait_for_requests(count + 1, timeout=POLL_SECONDS + 2)
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        statuses = [reported_status(path) for path in self.standin.requests()[polled:]]
        self.assertEqual(set(statuses), {0}, "not Online through the outage: %s" % statuses)


if __name__ == "__main__":
    unittest.main()
