"""Two starts at the same moment (the Run key at logon and a shortcut click)
leave one agent: the start that claims the session's agent role runs, the
other hands over to it and ends, and the service hears one agent's polls.

Ten rounds, each with two starts launched together from two folders."""
import os
import signal
import time
import unittest

from harness import Journey, SITE_CAPTION, wait_until
from prefix_processes import prefix_processes

LOGIN = "consultant"
TOKEN = "t0ken"
ROUNDS = 10
POLL_SECONDS = 1
# One agent polls about once a second in this window; two would poll twice
# as often.
WINDOW_SECONDS = 5
MOST_POLLS_OF_ONE_AGENT = WINDOW_SECONDS + 2


class SingleInstanceTest(Journey):
    def running_agents(self):
        prefix = self.env.wine_env.get("WINEPREFIX", "")
        return [pid for pid, argv in prefix_processes(prefix)
                if argv and os.path.basename(argv[0].replace("\\", "/")).lower() == "kovarentis.exe"]

    def end_every_agent(self, pair):
        """Ends whatever a round left running, so that no agent of a failed
        round lives on into the next round or the next test."""
        for agent in pair:
            agent.stop()
        for pid in self.running_agents():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.assertTrue(wait_until(lambda: not self.running_agents(), 20), "agents live on")
        for agent in pair:
            agent.main_window = agent.windows_pid = None

    def polls_in_window(self):
        before = len(self.standin.requests())
        time.sleep(WINDOW_SECONDS)
        return len(self.standin.requests()) - before

    def one_round(self, pair, round_number):
        for agent in pair:
            agent.start(wait=False)
        ended = wait_until(lambda: [a for a in pair if not a.running()], 20, step=0.1)
        self.assertIsNotNone(ended, "both starts are still running")
        self.assertEqual(len(ended), 1, "both starts ended")
        survivor = next(a for a in pair if a.running())
        survivor.wait_for_main_window()
        self.assertEqual(len(self.running_agents()), 1, "Kovarentis processes: %s" % self.running_agents())
        self.wait_for_requests(len(self.standin.requests()) + 1)
        polls = self.polls_in_window()
        print("round %d: %s ran, %d polls in %d s" % (
            round_number, os.path.basename(survivor.folder), polls, WINDOW_SECONDS))
        self.assertGreaterEqual(polls, 1, "the agent does not poll")
        self.assertLessEqual(polls, MOST_POLLS_OF_ONE_AGENT, "more than one agent polls")
        self.assertEqual(self.env.find(SITE_CAPTION), survivor.main_window)
        survivor.stop()
        self.assertFalse(survivor.running(), "the agent did not close")

    def test_two_starts_together_leave_one_agent_polling_once_per_period(self):
        self.env.store_credentials(LOGIN, TOKEN)
        pair = [self.new_agent("first", RequestTimeout=POLL_SECONDS),
                self.new_agent("second", RequestTimeout=POLL_SECONDS)]
        for round_number in range(1, ROUNDS + 1):
            with self.subTest(round=round_number):
                try:
                    self.one_round(pair, round_number)
                finally:
                    self.end_every_agent(pair)


if __name__ == "__main__":
    unittest.main()
