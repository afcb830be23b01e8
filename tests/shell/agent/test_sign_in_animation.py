"""Signing in from the tray while signed out by a failure: the sign-in request
runs on the UI thread, and the connecting animation goes on while the service
keeps that request waiting."""
import time
import unittest

from harness import BOX_CAPTION, ID_SIGN_IN_OUT, IDOK, WM_COMMAND, Journey, status_path

LOGIN = "consultant"
TOKEN = "t0ken"
NEW_TOKEN = "new-t0ken"
PASSWORD = "secret"
# No timed poll may come while the journey runs: one that got through would
# sign the agent in by itself.
POLL_SECONDS = 120
# How long the service keeps the sign-in waiting: well beyond the sampling.
HANG_SECONDS = 8
SAMPLE_SECONDS = 2
SAMPLE_GAP = 0.1


def is_sign_in(path):
    return "?do=login&" in path


class SignInAnimationTest(Journey):
    def setUp(self):
        super().setUp()
        self.env.store_credentials(LOGIN, TOKEN)

    def sampled_pictures(self, box):
        """The distinct pictures of the icon, sampled now and then for a while."""
        pictures = set()
        deadline = time.monotonic() + SAMPLE_SECONDS
        while time.monotonic() < deadline:
            pictures.add(self.env.pixels(box))
            time.sleep(SAMPLE_GAP)
        return pictures

    def sign_out_by_a_failure(self, agent):
        """The first poll gets a reply the agent does not understand: signed
        out, the connecting animation and one message box, which is closed."""
        box = agent.find_own(BOX_CAPTION, 15)
        self.assertIsNotNone(box, "no message box for the failed poll")
        self.env.post(box, WM_COMMAND, IDOK)
        self.assertTrue(self.env.gone(box, 10))
        self.assertEqual(self.tray_tooltip("Kovarentis : Вы не вошли"), "Kovarentis : Вы не вошли")
        self.move_pointer_away()

    def test_the_connecting_animation_goes_on_while_a_sign_in_from_the_menu_hangs(self):
        self.standin.reply("get", "9")
        agent = self.new_agent(RequestTimeout=POLL_SECONDS).start()
        self.sign_out_by_a_failure(agent)
        self.assertGreaterEqual(len(self.icon_frames(1.5)), 2, "no connecting animation")

        self.standin.reply("login", "0 " + NEW_TOKEN, hang=HANG_SECONDS)
        agent.command(ID_SIGN_IN_OUT)
        self.sign_in(self.sign_in_dialog(agent), LOGIN, PASSWORD)
        login = self.wait_for_request(is_sign_in)
        box = self.tray_icon()
        pictures = self.sampled_pictures(box)
        print("pictures of the icon while the sign-in hung: %d" % len(pictures))
        # Sampled inside the request: nothing has come after it yet.
        self.assertEqual(self.standin.requests()[login + 1:], [], "the sign-in ended too soon")
        self.assertGreaterEqual(len(pictures), 3, "the icon froze while the UI thread waited")

        # The accepted sign-in polls with the new token and the agent is Online.
        self.wait_for_request(lambda path: path == status_path(2, LOGIN, NEW_TOKEN), start=login + 1,
                              timeout=HANG_SECONDS + 15)
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")


if __name__ == "__main__":
    unittest.main()
