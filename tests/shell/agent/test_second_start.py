"""A second start of the program hands over to the running agent: while signed
in it shows where the icon is (the menu at the icon; under Wine, whose shell
does not say where its icons are, the balloon that tells); the sign-in dialog
comes while signed out, and only one of them however often the program is
started."""
import time
import unittest

from harness import (ID_SIGN_IN_OUT, SIGN_IN_CAPTION, Journey, sign_in_path, status_path,
                     wait_until)

LOGIN = "consultant"
TOKEN = "t0ken"
HINT_START = "Значок агента может прятаться под стрелкой"


class SecondStartTest(Journey):
    def setUp(self):
        super().setUp()
        self.env.store_credentials(LOGIN, TOKEN)

    def start_again(self, name):
        """Starts the program once more (from a folder whose Params.ini names
        nothing that answers) and returns how long it ran."""
        again = self.new_agent(name, Server="http://127.0.0.1:9")
        started = time.monotonic()
        again.start(wait=False)
        self.assertTrue(again.ended(15), "the second start did not end")
        elapsed = time.monotonic() - started
        print("second start ran %.2f s" % elapsed)
        return elapsed

    def sign_in_dialogs(self, agent):
        return [w for w in agent.windows() if w[4] == SIGN_IN_CAPTION and w[1]]

    def test_second_start_while_signed_in_shows_where_the_icon_is(self):
        first = self.new_agent().start()
        self.wait_for_requests(2)  # the first reply has been applied
        visible = [w[0] for w in first.windows() if w[1]]
        self.start_again("second")
        shown = wait_until(lambda: [t for t in self.env.tooltips() if t.startswith(HINT_START)], 10)
        self.assertTrue(shown, "no balloon that says where the icon is")
        self.assertTrue(first.running())
        self.assertEqual([w[0] for w in first.windows() if w[1]], visible, "a window came up")
        self.assertNotIn(sign_in_path(LOGIN, ""), self.standin.requests())
        self.assertTrue(all("do=get" in r for r in self.standin.requests()))

    def test_second_start_while_signed_out_opens_one_sign_in_dialog(self):
        first = self.new_agent().start()
        self.wait_for_requests(1)
        first.command(ID_SIGN_IN_OUT)  # sign out: the registry forgets, the service hears nothing
        self.assertEqual(wait_until(lambda: self.env.stored_credentials() == (b"", b""), 5), True)
        time.sleep(1.5)  # a poll that was on its way when the command came
        count = len(self.standin.requests())

        self.start_again("second")
        dialog = self.sign_in_dialog(first)
        self.start_again("third")
        time.sleep(1)
        self.assertEqual(len(self.sign_in_dialogs(first)), 1, "only one sign-in dialog")
        self.assertEqual(len(self.standin.requests()), count)

        self.sign_in(dialog, "other", "pw")
        requests = self.wait_for_requests(count + 2)
        self.assertEqual(requests[count], sign_in_path("other", "pw"))
        self.assertEqual(requests[count + 1], status_path(2, "other", "standin-token"))


if __name__ == "__main__":
    unittest.main()
