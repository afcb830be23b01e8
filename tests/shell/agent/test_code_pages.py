"""The texts a consultant sees, shown alike on a Russian and on an English
Windows: the agent hands every text to Windows as Unicode, so the system's
ANSI code page changes nothing on the screen, and what the consultant types
reaches the service as the same Windows-1251 bytes.

CTest runs this journey in both Wine environments (code pages 1251 and 1252);
each leaves its screenshots in WORK/code-pages, and same_pixels.py compares
the two sets. The tray icon is blanked in the screenshots that show it, since
a blinking icon may be caught on either frame, and so is the message box's OK
button, which the system labels in its own language."""
import os
import shutil
import subprocess
import unittest

from harness import (ABOUT_CAPTION, BOX_CAPTION, DESKTOP_SIZE, IDC_LOGIN, IDC_PASSWORD, IDOK,
                     MENU_CLASS, WM_COMMAND, Journey, sign_in_path, wait_until)

LOGIN = "консультант"
PASSWORD = "пароль"
TOKEN = "t0ken"
ID_ABOUT = 303
CONNECT_FAILED = "Не удалось установить соединение с сервером"
# The shell shows a balloon about 2 s after it was asked to: polls further
# apart than that let each failure's balloon come up.
POLL_SECONDS = 3
# The notification area and what comes up over it, right of Wine's localised
# Start button.
TRAY_CORNER = (DESKTOP_SIZE[0] - 480, DESKTOP_SIZE[1] - 240, DESKTOP_SIZE[0], DESKTOP_SIZE[1])


class CodePagesTest(Journey):
    def setUp(self):
        super().setUp()
        self.shots = os.path.join(self.env.work, "code-pages")
        shutil.rmtree(self.shots, ignore_errors=True)
        os.makedirs(self.shots)
        # A caret that does not blink is in a screenshot every time.
        self.env.reg_set("Control Panel\\Desktop", "CursorBlinkRate", "-1")

    def shot(self, name, rect, blank=None):
        """Screenshot of the rectangle; `blank` (screen coordinates) is painted black."""
        path = self.env.screenshot(os.path.join(self.shots, name), rect)
        if blank:
            left, top = rect[0], rect[1]
            box = "rectangle %d,%d %d,%d" % (blank[0] - left, blank[1] - top,
                                             blank[2] - left - 1, blank[3] - top - 1)
            subprocess.run(["convert", path, "-fill", "black", "-draw", box, path],
                           check=True, timeout=60)
        return path

    def test_texts_look_the_same_and_typed_letters_arrive_as_windows_1251(self):
        self.standin.reply("login", "0 " + TOKEN)
        self.standin.reply("get", "0 0000", default=True)
        agent = self.new_agent(RequestTimeout=POLL_SECONDS).start()

        # Sign-in: the Cyrillic login as typed, and on the wire as 1251 bytes.
        dialog = self.sign_in_dialog(agent)
        rect = self.env.info(dialog)["rect"]
        self.env.click(rect[0] + 80, rect[1] + 8)
        self.env.type_text(LOGIN)
        self.assertEqual(self.env.info(self.env.item(dialog, IDC_LOGIN))["text"], LOGIN)
        self.shot("sign-in.png", rect)
        self.type_into(dialog, IDC_PASSWORD, PASSWORD)
        self.env.key("Return")
        self.assertTrue(self.env.gone(dialog, 10), "the sign-in dialog stayed open")
        self.assertEqual(self.wait_for_requests(1)[0], sign_in_path(LOGIN, PASSWORD))

        # The signed-in menu.
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()
        icon = self.tray_icon()
        menu = self.open_tray_menu()
        self.move_pointer_away()  # the icon's tooltip would come up over the menu
        self.shot("menu.png", menu)
        menu_window = self.env.find("", MENU_CLASS)
        self.env.click(DESKTOP_SIZE[0] // 4, DESKTOP_SIZE[1] // 4)  # elsewhere: the menu closes
        self.assertTrue(wait_until(lambda: not (self.env.info(menu_window) or {}).get("visible"), 5),
                        "the menu stayed")

        # The tooltip with a count.
        self.standin.reply("get", "0 0003", default=True)
        expected = "Kovarentis : Новых сообщений 3"
        self.assertEqual(self.tray_tooltip(expected), expected)
        self.shot("tooltip.png", TRAY_CORNER, blank=icon)
        self.move_pointer_away()
        self.standin.reply("get", "0 0000", default=True)

        # About.
        agent.command(ID_ABOUT)
        about = agent.find_own(ABOUT_CAPTION, 10)
        self.assertIsNotNone(about, "no About box")
        self.shot("about.png", self.env.info(about)["rect"])
        self.env.post(about, WM_COMMAND, IDOK)
        self.assertTrue(self.env.gone(about, 10))

        # A failure: its balloon and its box.
        self.standin.control("down")
        box = agent.find_own(BOX_CAPTION, 2 * POLL_SECONDS + 5)
        self.assertIsNotNone(box, "no message box for the failure")
        self.assertEqual(self.box_text(box), CONNECT_FAILED)
        # The OK button is the system's, labelled in the system's language.
        self.shot("failure-box.png", self.env.info(box)["rect"],
                  blank=self.env.info(self.env.item(box, IDOK))["rect"])
        self.assertTrue(wait_until(lambda: CONNECT_FAILED in self.env.tooltips(), 3 * POLL_SECONDS),
                        "no failure balloon")
        self.shot("failure-balloon.png", TRAY_CORNER, blank=icon)
        self.env.post(box, WM_COMMAND, IDOK)
        self.standin.control("up")


if __name__ == "__main__":
    unittest.main()
