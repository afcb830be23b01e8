"""A restarted shell: the new notification area knows no icons and announces
itself with the "TaskbarCreated" broadcast, upon which the agent puts its
icon back as it was.

What a restart of Explorer does to the agent is played out on the running
desktop: the shell forgets the agent's icon, then the broadcast goes to every
top-level window. The shell also broadcasts while it still shows the icon (on
a DPI change, in a reconnected session): the icon must go on following the
agent afterwards."""
import unittest

from harness import TRAY_ICON_ID, Journey, tray_icon_box, wait_until

LOGIN = "consultant"
TOKEN = "t0ken"


class ExplorerRestartTest(Journey):
    def test_the_tray_icon_comes_back_after_the_shell_restarts(self):
        self.env.store_credentials(LOGIN, TOKEN)
        agent = self.new_agent().start()
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()
        icon = self.icon_frames(1)
        tray_window = agent.tray_window()
        self.assertIsNotNone(tray_window)

        code, _ = self.env.probe("trayforget", tray_window, TRAY_ICON_ID)
        self.assertEqual(code, 0, "the shell did not forget the icon")
        self.assertTrue(wait_until(lambda: tray_icon_box(self.env) is None, 5), "the icon stayed")
        # Polls that change the icon do not bring it back by themselves.
        count = len(self.standin.requests())
        self.wait_for_requests(count + 2)
        self.assertIsNone(tray_icon_box(self.env), "the icon came back without the broadcast")

        code, _ = self.env.probe("broadcast", "TaskbarCreated")
        self.assertEqual(code, 0)
        self.assertIsNotNone(wait_until(lambda: tray_icon_box(self.env), 10), "the icon is lost")
        self.assertEqual(self.icon_frames(1), icon, "the icon came back changed")
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()
        # The agent goes on as before.
        count = len(self.standin.requests())
        self.wait_for_requests(count + 2)
        self.assertTrue(agent.running())

    def test_the_icon_follows_the_count_after_a_broadcast_that_finds_it_shown(self):
        self.env.store_credentials(LOGIN, TOKEN)
        # Polls further apart than the blink's 1.4 s to the second image.
        self.new_agent(RequestTimeout=2).start()
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()
        online = self.icon_frames(1)

        code, _ = self.env.probe("broadcast", "TaskbarCreated")
        self.assertEqual(code, 0)
        count = len(self.standin.requests())
        self.wait_for_requests(count + 1)

        self.standin.reply("get", "0 0003", default=True)
        expected = "Kovarentis : Новых сообщений 3"
        self.assertEqual(self.tray_tooltip(expected), expected, "the tooltip froze")
        self.move_pointer_away()
        self.assertTrue(self.icon_frames(3) - online, "the icon froze")


if __name__ == "__main__":
    unittest.main()
