"""Journeys of a consultant with stored credentials: the agent starts straight
into the tray, shows new messages, and reacts to a token the service turns
down."""
import os
import time
import unittest

from harness import (ABOUT_CAPTION, BOX_CAPTION, BOX_TEXT_ID, CREDENTIALS_KEY, DESKTOP_SIZE, IDC_LOGIN,
                     IDOK, MENU_CLASS, SIGN_IN_CAPTION, WM_COMMAND, WS_EX_APPWINDOW, WS_EX_TOOLWINDOW,
                     Journey, cp1251, status_path, wait_until)

LOGIN = "consultant"
TOKEN = "t0ken"
ID_ABOUT = 303


class RunningAgentTest(Journey):
    def setUp(self):
        super().setUp()
        self.env.store_credentials(LOGIN, TOKEN)

    def test_start_with_credentials_polls_at_once_and_shows_the_count(self):
        self.standin.reply("get", "0 0003", default=True)
        agent = self.new_agent().start()
        requests = self.wait_for_requests(1)
        self.assertEqual(requests[0], status_path(2, LOGIN, TOKEN), "the first poll reports Offline")
        # The token that an earlier version stored plain is now stored encrypted.
        self.assertEqual(self.env.stored_credentials(), (cp1251(LOGIN), cp1251(TOKEN)))
        self.assertIsNone(self.env.reg_get(CREDENTIALS_KEY, "Token"), "the token's text is still stored")

        # Nothing to see but the tray: the main window has no area and no
        # taskbar button (a tool window, not an application window).
        for _, visible, rect, class_name, text in agent.windows():
            if visible:
                self.assertEqual(rect[2:], rect[:2], "%s %r is visible" % (class_name, text))
        info = self.env.info(agent.main_window)
        self.assertEqual(info["rect"], (0, 0, 0, 0))
        self.assertTrue(info["exstyle"] & WS_EX_TOOLWINDOW)
        self.assertFalse(info["exstyle"] & WS_EX_APPWINDOW)

        self.assertEqual(self.tray_tooltip("Kovarentis : Новых сообщений 3"),
                         "Kovarentis : Новых сообщений 3")
        width, height = DESKTOP_SIZE
        self.env.keep_screenshot("agent-tray.png", (width - 300, height - 70, width, height))
        self.move_pointer_away()

        # The pointer moving over the blinking icon: the shell's callbacks come
        # while the icon changes, and the agent keeps going.
        box = self.tray_icon()
        count = len(self.standin.requests())
        for step in range(30):
            self.env.xdotool("mousemove", box[0] + 2 + step % 12, box[1] + 2 + step % 12)
            time.sleep(0.1)
        self.move_pointer_away()
        self.assertIsNotNone(self.env.send(agent.main_window, 0), "the agent does not answer")
        self.assertGreater(len(self.standin.requests()), count, "the agent stopped polling")

    def test_the_common_controls_wait_for_the_first_dialog(self):
        # Under Wine comctl32.dll alone holds about 1.7 MB of private memory:
        # online, with its menu shown and closed, the agent has not loaded it.
        agent = self.new_agent().start()
        self.wait_for_requests(1)
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()
        self.open_tray_menu()
        menu = self.env.find("", MENU_CLASS)
        self.env.click(DESKTOP_SIZE[0] // 4, DESKTOP_SIZE[1] // 4)  # elsewhere: the menu closes
        self.assertTrue(wait_until(lambda: not (self.env.info(menu) or {}).get("visible"), 5))
        modules = agent.modules()
        self.assertIn("user32.dll", modules, "the probe does not see the agent's modules")
        self.assertNotIn("comctl32.dll", modules)

        # With a dialog open the probe sees them, so their absence above is real.
        agent.command(ID_ABOUT)
        about = agent.find_own(ABOUT_CAPTION, 10)
        self.assertIsNotNone(about, "no About box")
        self.assertIn("comctl32.dll", agent.modules(), "the About box opened without them")
        self.env.post(about, WM_COMMAND, IDOK)
        self.assertTrue(self.env.gone(about, 10))

    def test_double_click_on_the_icon_opens_the_consultant_page(self):
        # The "page" is a script that leaves a file behind when the shell opens it.
        agent = self.new_agent()
        page = os.path.join(agent.folder, "page.cmd")
        opened = os.path.join(agent.folder, "opened.txt")
        with open(page, "w") as script:
            script.write('@echo opened>"%~dp0opened.txt"\r\n')
        with open(os.path.join(agent.folder, "Params.ini"), "a") as params:
            params.write("ConsultURL=Z:%s\r\n" % page.replace("/", "\\"))
        agent.start()
        box = self.tray_icon()
        self.env.xdotool("mousemove", (box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
        time.sleep(0.2)
        self.env.xdotool("click", "--repeat", 2, "--delay", 80, 1)
        self.assertTrue(wait_until(lambda: os.path.exists(opened), 10), "the page was not opened")

    def test_rejected_token_shows_balloon_box_and_sign_in_dialog(self):
        agent = self.new_agent().start()
        self.wait_for_requests(1)
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()

        self.standin.reply("get", "1")
        box = agent.find_own(BOX_CAPTION, 10)
        self.assertIsNotNone(box, "no message box for the rejected token")
        self.assertEqual(self.env.info(self.env.item(box, BOX_TEXT_ID))["text"],
                         "Неверный логин/пароль")
        self.assertIsNotNone(wait_until(lambda: "Неверный логин/пароль" in self.env.tooltips(), 10),
                             "no balloon for the rejected token")
        self.assertIsNone(agent.find_own(SIGN_IN_CAPTION, 0), "the dialog waits for the box")

        self.env.post(box, WM_COMMAND, IDOK)
        dialog = self.sign_in_dialog(agent)
        self.assertEqual(self.env.info(self.env.item(dialog, IDC_LOGIN))["text"], LOGIN)
        # Stopped: no more polls while the dialog is open.
        count = len(self.standin.requests())
        time.sleep(3)
        self.assertEqual(len(self.standin.requests()), count)


if __name__ == "__main__":
    unittest.main()
