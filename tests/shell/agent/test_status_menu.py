"""The consultant's choices from the tray menu: Away and Offline reach the
service at once, a chosen Away outlasts a mouse move and a failed poll,
Offline stops polling, and signing out tells the service Offline once,
forgets the credentials and leaves the signed-out menu."""
import time
import unittest

from harness import (ID_SIGN_IN_OUT, ID_STATUS_AWAY, ID_STATUS_OFFLINE, ID_STATUS_ONLINE, IDCANCEL,
                     SIGN_IN_CAPTION, WM_COMMAND, Journey, reported_status, status_path)

LOGIN = "consultant"
TOKEN = "t0ken"
# Long enough to tell an immediate poll from the next timed one.
POLL_SECONDS = 4


def reports(status):
    return lambda path: reported_status(path) == status


class StatusMenuTest(Journey):
    def setUp(self):
        super().setUp()
        self.env.store_credentials(LOGIN, TOKEN)

    def between_polls(self, delay):
        """Waits for the next poll and then `delay` seconds (its reply has been
        applied by then); returns the number of requests."""
        self.wait_for_requests(len(self.standin.requests()) + 1, timeout=2 * POLL_SECONDS + 5)
        time.sleep(delay)
        return len(self.standin.requests())

    def test_away_is_reported_at_once_and_offline_sends_one_status_and_stops(self):
        agent = self.new_agent(RequestTimeout=POLL_SECONDS).start()
        self.wait_for_request(reports(0))

        count = self.between_polls(0.3)
        agent.command(ID_STATUS_AWAY)
        away = self.wait_for_request(reports(1), start=count, timeout=POLL_SECONDS - 1)
        self.assertEqual(away, count, "a poll came before the one for Away")
        self.assertEqual(self.tray_tooltip("Kovarentis : Отошел"), "Kovarentis : Отошел")

        # Away chosen from the menu does not end with a mouse move, nor with a
        # failed poll: the next accepted one reports Away again.
        self.standin.reply("get", "")
        self.env.xdotool("mousemove", 100, 100)
        self.move_pointer_away()
        later = self.wait_for_requests(away + 3, timeout=3 * POLL_SECONDS + 5)
        self.assertEqual([reported_status(path) for path in later[away:away + 3]], [1, 1, 1])

        count = self.between_polls(1)
        agent.command(ID_STATUS_OFFLINE)
        self.assertEqual(self.tray_tooltip("Kovarentis : Оффлайн"), "Kovarentis : Оффлайн")
        self.move_pointer_away()
        time.sleep(2 * POLL_SECONDS)
        self.assertEqual(self.standin.requests()[count:], [status_path(2, LOGIN, TOKEN)],
                         "Offline sends one status request and then nothing")

        # Polling comes back with Online.
        agent.command(ID_STATUS_ONLINE)
        self.wait_for_request(reports(0), start=count + 1, timeout=POLL_SECONDS - 1)

    def test_sign_out_tells_the_service_offline_once_and_forgets_the_credentials(self):
        agent = self.new_agent(RequestTimeout=2).start()
        self.wait_for_request(reports(0))

        # The Offline icon, to compare with what signing out shows.
        agent.command(ID_STATUS_OFFLINE)
        self.assertEqual(self.tray_tooltip("Kovarentis : Оффлайн"), "Kovarentis : Оффлайн")
        self.move_pointer_away()
        offline_icon = self.icon_frames(1)
        self.assertEqual(len(offline_icon), 1, "the Offline icon is not steady")
        count = len(self.standin.requests())
        agent.command(ID_STATUS_ONLINE)
        self.wait_for_request(reports(0), start=count)
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()
        self.assertNotEqual(self.icon_frames(1), offline_icon, "Online shows the Offline icon")

        count = self.between_polls(0.7)
        agent.command(ID_SIGN_IN_OUT)
        self.assertEqual(self.tray_tooltip("Kovarentis : Вы не вошли"), "Kovarentis : Вы не вошли")
        self.move_pointer_away()
        self.assertEqual(self.icon_frames(1.5), offline_icon, "not the steady Offline icon")
        self.assertEqual(self.env.stored_credentials(), (b"", b""))

        # The signed-out menu: the consultant page, a separator, About, a
        # separator, Sign in, Close (separators 6 pixels, the four commands
        # sharing the rest within the 3-pixel frame). Sign in brings the
        # sign-in dialog.
        left, top, right, bottom = self.open_tray_menu()
        command_height = (bottom - top - 2 * 3 - 2 * 6) / 4
        self.env.click((left + right) // 2, int(top + 3 + 2 * command_height + 2 * 6 + command_height / 2))
        dialog = self.sign_in_dialog(agent, wait=10)
        self.env.post(dialog, WM_COMMAND, IDCANCEL)
        self.assertTrue(self.env.gone(dialog, 10))
        self.assertEqual(self.standin.requests()[count:], [status_path(2, LOGIN, TOKEN)],
                         "signing out tells the service Offline once, then nothing")
        self.assertIsNone(agent.find_own(SIGN_IN_CAPTION, 0))


if __name__ == "__main__":
    unittest.main()
