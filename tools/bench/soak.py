#!/usr/bin/env python3
"""The day that soak.sh runs: one agent against the scripted stand-in at a
1 s poll period, driven as the agent journeys drive it (harness.py and
agent_probe.exe), one minute of work at a time, sampled at the end of each
minute while it is online with nothing open.

    soak.py MINUTES     (environment as for the journeys, and
                         KOV_PROCESS_PROBE, the bench's process_probe.exe)

First a warm-up does every event of the day three times: Wine fills caches
of its own at the first uses of a dialog (the About box's first two openings
add 14 GDI objects; the third failure box and the third sign-in one each;
later ones none). Then each minute the count moves every 10 s (0, 2,
5, 3, 1, 0) and the tray menu opens and closes; every fourth minute the
service fails for 20 s (its failure box is waited for, counted and closed),
the About box opens and closes in another; every 16th minute (960 polls) the
consultant signs out and in.
Steady growth fails the run: the last sample's private memory may exceed by
less than 256 KiB that of the first sample after the warm-up minute with as
many threads of the agent's own (under Wine a thread holds about 1 MB), and the most kernel handles, GDI objects and windows of the last
third of the samples may not exceed those of the first third. The agent
never runs more than 4 threads of its own, the failure box open or not.
"""
import os
import subprocess
import sys
import time
import unittest

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "tests", "shell", "agent"))
sys.path.insert(0, here)
import harness  # noqa: E402
from resource_bench import find_process, probe_counts, _status_fields, _thread_names  # noqa: E402

MINUTES = int(sys.argv[1]) if len(sys.argv) > 1 else 170
WARM_UP_MINUTES = 1
WARM_UP_ROUNDS = 3
COUNT_STEPS = (0, 2, 5, 3, 1, 0)
STEP_SECONDS = 10
OUTAGE_SECONDS = 20
SIGN_OUT_EVERY_MINUTES = 16
PRIVATE_GROWTH_LIMIT_KIB = 256
MAX_OWN_THREADS = 4
LIFETIME_MARGIN_SECONDS = 900  # the day's driving and sampling take longer than its minutes
ID_ABOUT = 303
COUNTED = ("handles", "gdi", "windows")


class SoakDay(harness.Journey):
    # The process probe counts windows on its own desktop: it joins the agent's.
    PROBE_DESKTOP_KEY = "Software\\Wine\\AppDefaults\\process_probe.exe"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.env.use_agent_desktop()
        cls.env.reg_set(cls.PROBE_DESKTOP_KEY + "\\Explorer", "Desktop", harness.DESKTOP)

    @classmethod
    def tearDownClass(cls):
        cls.env.reg_delete(cls.PROBE_DESKTOP_KEY)
        cls.env.release_agent_desktop()

    def count_reply(self, count):
        self.standin.reply("get", "0 %04d" % count, default=True)

    def own_threads(self, pid):
        return sum(1 for name in _thread_names(pid) if not name.startswith("wine_"))

    def sample(self, agent):
        pid = find_process(self.env.env["WINEPREFIX"], "Kovarentis.exe")
        fields = _status_fields(pid) if pid else None
        self.assertIsNotNone(fields, "the agent is gone")
        counts = probe_counts([self.env.wine, os.environ["KOV_PROCESS_PROBE"], "Kovarentis.exe"],
                              env=self.env.wine_env)
        return dict(counts, anon_kib=fields[1], rss_kib=fields[0], threads=fields[2],
                    own_threads=self.own_threads(pid), polls=self.standin.request_count())

    def outage(self, agent):
        """The service fails; returns the agent's own threads while its box is open."""
        self.standin.reply("get", b"", default=True, raw=1, cut=0)
        box = agent.find_own(harness.BOX_CAPTION, OUTAGE_SECONDS)
        self.assertIsNotNone(box, "no failure box")
        pid = find_process(self.env.env["WINEPREFIX"], "Kovarentis.exe")
        threads = self.own_threads(pid)
        time.sleep(OUTAGE_SECONDS / 2)
        self.env.post(box, harness.WM_COMMAND, harness.IDOK, 0)
        self.assertTrue(self.env.gone(box, 10), "the failure box stayed open")
        self.count_reply(0)
        return threads

    def about(self, agent):
        agent.command(ID_ABOUT)
        dialog = agent.find_own(harness.ABOUT_CAPTION, 10)
        self.assertIsNotNone(dialog, "no About box")
        self.env.post(dialog, harness.WM_COMMAND, harness.IDCANCEL, 0)
        self.assertTrue(self.env.gone(dialog, 10), "the About box stayed open")

    def sign_out_and_in(self, agent):
        agent.command(harness.ID_SIGN_IN_OUT)
        time.sleep(2)
        agent.command(harness.ID_SIGN_IN_OUT)
        self.sign_in(self.sign_in_dialog(agent), "demo", "demo")

    def menu(self):
        self.open_tray_menu()
        self.env.key("Escape")
        self.move_pointer_away()

    def warm_up(self, agent):
        """Every event WARM_UP_ROUNDS times; the agent's own threads seen with each failure box open."""
        box_threads = []
        for _ in range(WARM_UP_ROUNDS):
            box_threads.append(self.outage(agent))
            self.about(agent)
            self.sign_out_and_in(agent)
            self.menu()
        return box_threads

    def minute(self, agent, index):
        """One minute of the day; the agent's own threads seen with a box open, or None."""
        began = time.monotonic()
        box_threads = None
        if index % 4 == 1:
            box_threads = self.outage(agent)
        if index % 4 == 3:
            self.about(agent)
        if index % SIGN_OUT_EVERY_MINUTES == 5:
            self.sign_out_and_in(agent)
        self.menu()
        for count in COUNT_STEPS:
            self.count_reply(count)
            time.sleep(max(0.0, min(STEP_SECONDS, 60 - (time.monotonic() - began))))
        return box_threads

    def test_a_day_without_growth(self):
        self.count_reply(0)
        self.env.store_credentials("demo", "standin-token")
        agent = self.new_agent("soak").start(lifetime_seconds=MINUTES * 60 + LIFETIME_MARGIN_SECONDS)
        box_threads = self.warm_up(agent)
        samples = []
        print(f"{'min':>4} {'polls':>6} {'private KiB':>11} {'resident':>9} {'threads':>7} {'own':>4}"
              f" {'handles':>7} {'gdi':>5} {'windows':>7}", flush=True)
        for index in range(MINUTES):
            seen = self.minute(agent, index)
            if seen is not None:
                box_threads.append(seen)
            s = self.sample(agent)
            samples.append(s)
            print(f"{index + 1:>4} {s['polls']:>6} {s['anon_kib']:>11} {s['rss_kib']:>9} {s['threads']:>7}"
                  f" {s['own_threads']:>4} {s.get('handles', '-'):>7} {s.get('gdi', '-'):>5}"
                  f" {s.get('windows', '-'):>7}", flush=True)
        self.judge(samples, box_threads)

    def judge(self, samples, box_threads):
        settled = samples[WARM_UP_MINUTES:]
        self.assertGreaterEqual(len(settled), 3, "too short a run to judge")
        third = max(1, len(settled) // 3)
        first, last = settled[:third], settled[-third:]
        growth = {key: max(s.get(key, -1) for s in last) - max(s.get(key, -1) for s in first)
                  for key in COUNTED}
        alike = [s for s in settled if s["own_threads"] == settled[-1]["own_threads"]]
        growth["anon_kib"] = settled[-1]["anon_kib"] - alike[0]["anon_kib"]
        print(f"after the warm-up: private memory {growth['anon_kib']:+d} KiB since minute"
              f" {samples.index(alike[0]) + 1} (as many threads); most in the last third against the first: "
              + ", ".join(f"{key} {growth[key]:+d}" for key in COUNTED))
        print(f"own threads: at most {max(s['own_threads'] for s in samples)} at the samples,"
              f" {max(box_threads, default=0)} with the failure box open")
        self.assertLess(growth["anon_kib"], PRIVATE_GROWTH_LIMIT_KIB, "private memory grows")
        for key in ("handles", "gdi", "windows"):
            self.assertLessEqual(growth[key], 0, f"{key} grow")
        self.assertLessEqual(max([s["own_threads"] for s in samples] + box_threads), MAX_OWN_THREADS)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=2)
