"""The new-message balloon: each rise of the count shows one balloon with the
count, a count that stays or falls shows none, Params.ini turns it off, and a
click on it opens the consultant page as a double click on the icon does,
while a click on a failure balloon opens nothing.

The balloons are read back as the shell shows them (the tooltip windows of
the notification area). Wine shows a balloon 2-3 s after it is asked for and
sends nothing when one is clicked, so the click is the shell's notification
delivered to the tray's window. The page opens in a stand-in browser: Wine
hands http URLs to the first of its browsers found on the Linux PATH, and the
agent's PATH starts with a folder whose xdg-open records the URL."""
import os
import stat
import time
import unittest

from harness import DESKTOP_SIZE, IDOK, TRAY_ICON_ID, WM_COMMAND, Journey, wait_until

LOGIN = "consultant"
TOKEN = "t0ken"
BALLOON_PREFIX = "Новых сообщений: "
FAILURE_TEXT = "Непредвиденная ошибка"
TRAY_NOTIFY = 0x8001
NIN_BALLOONUSERCLICK = 0x0405
# Wine shows a balloon 2-3 s after it is asked for, and starts that wait
# again for each newer balloon: polls come further apart than that, so that a
# balloon asked for at every poll would show.
POLL_SECONDS = 4
# Long enough for a balloon asked for at the start to show.
BALLOON_DELAY_SECONDS = 6
# A balloon stays for its 10 s, or somewhat longer.
BALLOON_GONE_SECONDS = 40
STAND_IN_BROWSER = """#!/bin/sh
printf '%s\\n' "$@" >> "{record}"
"""


class BalloonTest(Journey):
    def setUp(self):
        super().setUp()
        self.env.store_credentials(LOGIN, TOKEN)
        self.move_pointer_away()

    def balloons(self):
        return [text for text in self.env.tooltips() if text.startswith(BALLOON_PREFIX)]

    def wait_for_balloon(self, count, timeout=20):
        expected = BALLOON_PREFIX + str(count)
        shown = wait_until(lambda: expected in self.balloons(), timeout, step=0.3)
        self.assertTrue(shown, "no balloon '%s'; on the screen: %s" % (expected, self.env.tooltips()))

    def wait_for_no_balloon(self):
        self.assertTrue(wait_until(lambda: not self.balloons(), BALLOON_GONE_SECONDS, step=0.5),
                        "the balloon stays: %s" % self.balloons())

    def assert_no_balloon_for(self, seconds, why):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.assertEqual(self.balloons(), [], why)
            time.sleep(0.3)

    def answer(self, count):
        """Has the service answer `count` new messages from the next poll on,
        and returns once a poll has been answered so."""
        self.standin.reply("get", "0 %04d" % count, default=True)
        self.wait_for_requests(len(self.standin.requests()) + 1)

    def test_each_rise_shows_one_balloon_with_the_count(self):
        # Polls far enough apart for a balloon asked for at each to show.
        self.new_agent(RequestTimeout=POLL_SECONDS).start()
        self.wait_for_requests(1)
        self.assert_no_balloon_for(BALLOON_DELAY_SECONDS, "a balloon without messages")

        self.answer(3)
        self.wait_for_balloon(3)
        width, height = DESKTOP_SIZE
        self.env.keep_screenshot("agent-balloon.png", (width - 220, height - 110, width, height))
        self.wait_for_no_balloon()
        self.assert_no_balloon_for(3 * POLL_SECONDS + BALLOON_DELAY_SECONDS,
                                   "the same count showed a balloon again")

        self.answer(2)
        self.assert_no_balloon_for(2 * POLL_SECONDS + BALLOON_DELAY_SECONDS, "a falling count showed a balloon")

        self.answer(3)
        self.wait_for_balloon(3)
        self.assertEqual(self.balloons(), [BALLOON_PREFIX + "3"])

    def test_the_key_turns_the_balloon_off(self):
        self.new_agent(RequestTimeout=2, NewMessageBalloon=0).start()
        self.wait_for_requests(1)
        self.answer(3)
        expected = "Kovarentis : Новых сообщений 3"
        self.assertEqual(self.tray_tooltip(expected), expected, "the count is not shown")
        self.move_pointer_away()
        self.assert_no_balloon_for(BALLOON_DELAY_SECONDS, "a balloon although turned off")

    def stand_in_browser(self, agent):
        """A folder for the front of the agent's PATH, with an xdg-open that
        records what it is asked to open; returns the record's path."""
        folder = os.path.join(agent.folder, "browser")
        os.makedirs(folder)
        record = os.path.join(folder, "opened.txt")
        script = os.path.join(folder, "xdg-open")
        with open(script, "w") as browser:
            browser.write(STAND_IN_BROWSER.format(record=record))
        os.chmod(script, os.stat(script).st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)
        agent.unix_env["PATH"] = folder + os.pathsep + os.environ.get("PATH", "")
        return record

    def opened(self, record):
        if not os.path.exists(record):
            return []
        with open(record) as lines:
            return lines.read().split()

    def click_balloon(self, agent):
        tray = agent.tray_window()
        self.assertIsNotNone(tray, "no tray window")
        # As the shell would send it, in the first form and in version 4's:
        # the agent reads only the form it asked the shell for.
        self.assertTrue(self.env.post(tray, TRAY_NOTIFY, TRAY_ICON_ID, NIN_BALLOONUSERCLICK))
        self.assertTrue(self.env.post(tray, TRAY_NOTIFY, 0, NIN_BALLOONUSERCLICK | TRAY_ICON_ID << 16))

    def test_a_click_on_the_balloon_opens_the_consultant_page_and_a_failure_balloon_does_not(self):
        page = self.server + "/profile/expertconsult?from=balloon"
        agent = self.new_agent(RequestTimeout=POLL_SECONDS, ConsultURL=page)
        record = self.stand_in_browser(agent)
        agent.start()
        self.wait_for_requests(1)

        self.answer(4)
        self.wait_for_balloon(4)
        self.click_balloon(agent)
        self.assertTrue(wait_until(lambda: self.opened(record), 15), "the page was not opened")
        self.assertEqual(self.opened(record), [page])
        self.wait_for_no_balloon()  # Wine shows the next balloon only then

        # Every poll fails from now on, so no new-message balloon follows.
        self.standin.reply("get", "<html>error</html>", default=True)
        self.assertTrue(wait_until(lambda: FAILURE_TEXT in self.env.tooltips(), 20), "no failure balloon")
        self.click_balloon(agent)
        time.sleep(BALLOON_DELAY_SECONDS)
        self.assertEqual(self.opened(record), [page], "the failure balloon's click opened the page")
        for box in self.own_boxes(agent):
            self.env.post(box, WM_COMMAND, IDOK)
        self.assertTrue(wait_until(lambda: not self.own_boxes(agent), 10), "the failure box stays")


if __name__ == "__main__":
    unittest.main()
