"""However the service hangs, the agent runs at most four threads of its own:
Offline chosen while a poll hangs sends beside it, each request on the thread
that asked for it. New messages on a computer without a sound output (as here)
leave no thread behind."""
import os
import time
import unittest

from harness import ID_CLOSE, ID_STATUS_OFFLINE, Journey, prefix_processes, reported_status

LOGIN = "consultant"
TOKEN = "t0ken"
POLL_SECONDS = 4
MOST_THREADS = 4
# Wine names the helper threads it starts itself (sound, for one) so.
WINE_THREAD_PREFIX = "wine_"


def reports(status):
    return lambda path: reported_status(path) == status


def own_threads(pid):
    """The Linux threads of a Wine process that are not Wine's own helpers."""
    count = 0
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/comm" % (pid, tid)) as comm:
                name = comm.read().strip()
        except OSError:
            continue
        count += not name.startswith(WINE_THREAD_PREFIX)
    return count


class ThreadsTest(Journey):
    def setUp(self):
        super().setUp()
        self.env.store_credentials(LOGIN, TOKEN)

    def agent_pid(self):
        for pid, argv in prefix_processes(self.env.wine_env.get("WINEPREFIX", "")):
            if argv[0].replace("\\", "/").rsplit("/", 1)[-1].lower() == "kovarentis.exe":
                return pid
        self.fail("no Linux process of the agent")

    def test_offline_chosen_while_a_poll_hangs(self):
        agent = self.new_agent(RequestTimeout=POLL_SECONDS).start()
        self.wait_for_request(reports(0))
        # Online now; every later request hangs.
        self.standin.reply("get", "0 0000", default=True, hang=120)
        count = len(self.standin.requests())
        self.wait_for_requests(count + 1, timeout=2 * POLL_SECONDS + 5)

        agent.command(ID_STATUS_OFFLINE)
        self.wait_for_request(reports(2), start=count + 1)
        pid = self.agent_pid()
        most = 0
        for _ in range(30):
            most = max(most, own_threads(pid))
            time.sleep(0.1)
        print("own threads while a poll and the Offline send hang: %d" % most)
        self.assertLessEqual(most, MOST_THREADS)

        # Both requests still hang: Close ends the agent all the same.
        agent.command(ID_CLOSE)
        self.assertTrue(agent.ended(10), "Close did not end the agent while requests hang")

    def test_new_messages_without_a_sound_output(self):
        self.new_agent(RequestTimeout=POLL_SECONDS).start()
        self.wait_for_request(reports(0))
        self.standin.reply("get", "0 0003", default=True)
        count = len(self.standin.requests())
        self.wait_for_requests(count + 2, timeout=2 * POLL_SECONDS + 5)
        # The window's thread and the parked poll worker.
        self.assertEqual(own_threads(self.agent_pid()), 2)


if __name__ == "__main__":
    unittest.main()
