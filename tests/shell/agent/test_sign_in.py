"""Journeys of a consultant without stored credentials: the sign-in dialog at
start, cancelling it, and signing in with and without "remember me"."""
import unittest

from harness import (CREDENTIALS_KEY, DESKTOP_SIZE, IDC_LOGIN, IDC_PASSWORD, IDC_REMEMBER, IDOK, BOX_CAPTION,
                     BOX_TEXT_ID, WM_COMMAND, Journey, cp1251, sign_in_path, status_path,
                     tray_icon_box, wait_until)

LOGIN = "консультант&1"
PASSWORD = "секрет 42"
TOKEN = "tok-Ж1"


class FreshStartTest(Journey):
    def test_start_without_credentials_shows_the_centred_dialog_and_cancel_ends_the_agent(self):
        agent = self.new_agent().start()
        dialog = self.sign_in_dialog(agent)
        info = self.env.info(dialog)
        self.assertEqual(info["owner"], 0, "the start-up dialog has no owner")

        # Centred on the screen (above the taskbar), not in the corner of the
        # zero-size main window.
        left, top, right, bottom = info["rect"]
        width, height = DESKTOP_SIZE
        self.assertLessEqual(abs((left + right) // 2 - width // 2), 1, info["rect"])
        self.assertLessEqual(abs((top + bottom) // 2 - height // 2), 20, info["rect"])

        self.assertTrue(self.remember_checked(dialog), "a fresh agent presets the remember box")
        self.assertFalse(self.ok_enabled(dialog), "OK starts disabled")
        for control_id in (IDC_LOGIN, IDC_PASSWORD):
            self.assertEqual(self.env.info(self.env.item(dialog, control_id))["text"], "")
        # No tray icon before the consultant has signed in.
        self.assertIsNone(agent.tray_window())
        self.assertIsNone(tray_icon_box(self.env))
        self.env.keep_screenshot("agent-sign-in.png", info["rect"])

        self.env.click(left + 80, top + 8)  # the caption: the dialog has the keyboard
        self.env.key("Escape")
        self.assertTrue(agent.ended(10), "a cancelled first sign-in ends the agent")
        self.assertEqual(self.standin.requests(), [])
        self.assertEqual(self.env.stored_credentials(), (None, None))


class SignInTest(Journey):
    def test_remembered_sign_in_sends_the_encoded_login_and_digest_and_stores_the_token(self):
        self.standin.reply("login", "1")  # the first attempt is turned down
        self.standin.reply("login", "0 " + TOKEN)
        agent = self.new_agent().start()
        dialog = self.sign_in_dialog(agent)

        # The login edit has the focus from the start.
        left, top, _, _ = self.env.info(dialog)["rect"]
        self.env.click(left + 80, top + 8)
        self.env.type_text(LOGIN)
        self.assertEqual(self.env.info(self.env.item(dialog, IDC_LOGIN))["text"], LOGIN)
        self.assertFalse(self.ok_enabled(dialog), "OK stays disabled without a password")
        self.type_into(dialog, IDC_PASSWORD, PASSWORD[0])
        self.assertTrue(self.ok_enabled(dialog), "the first password character enables OK")
        self.env.type_text(PASSWORD[1:])
        self.env.key("Return")

        # The turned-down attempt: one box, then the dialog again.
        box = agent.find_own(BOX_CAPTION, 10)
        self.assertIsNotNone(box, "no message box after a rejected sign-in")
        self.assertEqual(self.env.info(self.env.item(box, BOX_TEXT_ID))["text"],
                         "Неверный логин/пароль")
        self.assertEqual(self.env.info(box)["owner"], agent.main_window)
        self.env.post(box, WM_COMMAND, IDOK)
        # A new dialog with the login filled in and the password to type.
        dialog = self.sign_in_dialog(agent)
        self.assertEqual(self.env.info(self.env.item(dialog, IDC_LOGIN))["text"], LOGIN)
        self.assertEqual(self.env.info(self.env.item(dialog, IDC_PASSWORD))["text"], "")
        self.assertIsNone(self.env.stored_credentials()[1])

        self.env.type_text(PASSWORD)
        self.env.key("Return")
        self.assertTrue(self.env.gone(dialog, 10), "the sign-in dialog stayed open")
        requests = self.wait_for_requests(3)
        self.assertEqual(requests[:2], [sign_in_path(LOGIN, PASSWORD)] * 2)
        self.assertEqual(requests[2], status_path(2, LOGIN, TOKEN))
        self.assertEqual(wait_until(self.env.stored_credentials, 5),
                         (cp1251(LOGIN), cp1251(TOKEN)))

    def test_sign_in_without_remember_keeps_the_token_in_memory_only(self):
        self.env.reg_set(CREDENTIALS_KEY, "Login", "old")  # no token: the dialog comes
        self.standin.reply("login", "0 " + TOKEN)
        agent = self.new_agent().start()
        dialog = self.sign_in_dialog(agent)
        self.env.click_window(self.env.item(dialog, IDC_REMEMBER))
        self.assertTrue(wait_until(lambda: not self.remember_checked(dialog), 5))

        self.sign_in(dialog, LOGIN, PASSWORD)
        requests = self.wait_for_requests(2)
        self.assertEqual(requests[0], sign_in_path(LOGIN, PASSWORD))
        self.assertEqual(requests[1], status_path(2, LOGIN, TOKEN), "the token is used from memory")
        self.assertEqual(self.env.stored_credentials(), (b"", b""), "the old login is forgotten")

        # So the next start asks again.
        agent.stop()
        self.sign_in_dialog(self.new_agent("again").start())


if __name__ == "__main__":
    unittest.main()
