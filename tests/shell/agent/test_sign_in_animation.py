"""Signing in from the tray while signed out by a failure: the sign-in request
runs on a worker, so while the service keeps it waiting the connecting
animation goes on, the tray menu opens and Close ends the agent at once; every
window of the agent, boxes and dialogs included, belongs to one thread."""
import threading
import time
import unittest

from harness import BOX_CAPTION, ID_SIGN_IN_OUT, IDOK, MENU_CLASS, WM_COMMAND, Journey, status_path

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
# What the consultant waits at most for the menu, and for Close.
PROMPT_SECONDS = 1.0


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

    def assert_one_thread(self, agent, shown):
        """Every window of the agent, the one shown among them, belongs to one thread."""
        handles = [w[0] for w in agent.windows()]
        self.assertIn(shown, handles)
        threads = {self.env.info(handle)["thread"] for handle in handles}
        self.assertEqual(len(threads), 1, "the agent's windows belong to threads %s" % sorted(threads))

    def after_click(self, click, find):
        """Seconds from the click until find() has an answer, or None."""
        found = []
        finder = threading.Thread(target=lambda: found.append(find()))
        finder.start()
        time.sleep(1.5)  # the finder is running before the click
        clicked = time.monotonic()
        click()
        finder.join()
        return (time.monotonic() - clicked) if found[0] else None

    def sign_out_by_a_failure(self, agent):
        """The first poll gets a reply the agent does not understand: signed
        out, the connecting animation and one message box, which is closed."""
        box = agent.find_own(BOX_CAPTION, 15)
        self.assertIsNotNone(box, "no message box for the failed poll")
        self.assert_one_thread(agent, box)
        self.env.post(box, WM_COMMAND, IDOK)
        self.assertTrue(self.env.gone(box, 10))
        since = {time.strftime("Kovarentis : Нет связи с сервером с %H:%M", time.localtime(time.time() - s))
                 for s in (0, 60, 120)}
        self.assertIn(self.tray_tooltip(since), since, "no tooltip of the outage")
        self.move_pointer_away()

    def test_while_a_sign_in_from_the_menu_hangs_the_tray_stays_alive(self):
        self.standin.reply("get", "9")
        agent = self.new_agent(RequestTimeout=POLL_SECONDS).start()
        self.sign_out_by_a_failure(agent)
        self.assertGreaterEqual(len(self.icon_frames(1.5)), 2, "no connecting animation")

        self.standin.reply("login", "0 " + NEW_TOKEN, hang=HANG_SECONDS)
        agent.command(ID_SIGN_IN_OUT)
        dialog = self.sign_in_dialog(agent)
        self.assert_one_thread(agent, dialog)
        self.sign_in(dialog, LOGIN, PASSWORD)
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

    def test_while_a_sign_in_hangs_the_menu_opens_and_close_ends_the_agent_at_once(self):
        self.standin.reply("get", "9")
        agent = self.new_agent(RequestTimeout=POLL_SECONDS).start()
        self.sign_out_by_a_failure(agent)
        self.standin.reply("login", "0 " + NEW_TOKEN, hang=3 * HANG_SECONDS)
        agent.command(ID_SIGN_IN_OUT)
        self.sign_in(self.sign_in_dialog(agent), LOGIN, PASSWORD)
        self.wait_for_request(is_sign_in)

        box = self.tray_icon()
        menu_seconds = self.after_click(
            lambda: self.env.click((box[0] + box[2]) // 2, (box[1] + box[3]) // 2, button=3),
            lambda: self.env.find("", MENU_CLASS, wait=5))
        self.assertIsNotNone(menu_seconds, "no tray menu while the sign-in hangs")
        print("the menu opened %.2f s after the right click" % menu_seconds)
        self.assertLess(menu_seconds, PROMPT_SECONDS)

        rect = self.env.info(self.env.find("", MENU_CLASS))["rect"]
        close_seconds = self.after_click(lambda: self.env.click((rect[0] + rect[2]) // 2, rect[3] - 10),
                                         lambda: agent.ended(10))
        self.assertIsNotNone(close_seconds, "Close did not end the agent while the sign-in hung")
        print("the agent ended %.2f s after Close" % close_seconds)
        self.assertLess(close_seconds, PROMPT_SECONDS)


if __name__ == "__main__":
    unittest.main()
