"""The agent at 150 % (144 DPI; CTest runs this journey in a Wine environment
set to it): the tray shows the icon's 24-pixel frame as drawn, not the 16-pixel
one stretched, and the menus and dialogs come at that scale. The screenshots
go to the documentation folder when KOV_DOCS_DIR is set.

KOV_ICON_DIR names the icon files the executable was built from."""
import os
import struct
import sys
import unittest

from harness import (ABOUT_CAPTION, DESKTOP_SIZE, IDCANCEL, IDOK, MENU_CLASS, WM_COMMAND, Journey,
                     wait_until)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools"))
from render_icon_sheet import PNG_SIGNATURE, decode_png  # noqa: E402

LOGIN = "consultant"
TOKEN = "t0ken"
ID_ABOUT = 303
SCALED_ICON = 24
# The menus' item background, which shows through an icon's corners.
MENU_BACK = bytes((255, 255, 250))
WM_DPICHANGED = 0x02E0


def icon_frame(file_name, size):
    """The raw image of the frame of that size in an icon file."""
    with open(os.path.join(os.environ["KOV_ICON_DIR"], file_name), "rb") as icon:
        data = icon.read()
    for index in range(struct.unpack_from("<H", data, 4)[0]):
        width, _, _, _, _, _, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * index)
        if width == size:
            return data[offset:offset + length]
    raise AssertionError("no %d-pixel frame in %s" % (size, file_name))


class HighDpiTest(Journey):
    def test_the_tray_shows_the_24_pixel_frame_and_the_menu_and_about_box_scale(self):
        frame = icon_frame("online.ico", SCALED_ICON)
        self.assertTrue(frame.startswith(PNG_SIGNATURE))
        with open(self.env.agent_exe, "rb") as exe:
            self.assertIn(frame, exe.read(), "the executable does not carry this frame")

        self.env.store_credentials(LOGIN, TOKEN)
        self.standin.reply("get", "0 0000", default=True)
        agent = self.new_agent().start()
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()

        left, top, right, bottom = box = self.tray_icon()
        self.assertEqual((right - left, bottom - top), (SCALED_ICON, SCALED_ICON),
                         "the tray icon is not %d pixels" % SCALED_ICON)
        screen = self.env.pixels(box)
        background = screen[0:3]  # a transparent corner
        expected = b"".join(bytes(pixel[:3]) if pixel[3] else background
                            for row in decode_png(frame) for pixel in row)
        self.assertEqual(screen, expected, "the tray does not show the 24-pixel frame as drawn")
        # A DPI change while the agent runs: the icons are loaded again for it.
        self.env.send(agent.main_window, WM_DPICHANGED, 96 | 96 << 16, 0)
        self.assertTrue(wait_until(lambda: self.env.pixels(box) != screen, 5),
                        "the icon did not change with the DPI")
        self.env.send(agent.main_window, WM_DPICHANGED, 144 | 144 << 16, 0)
        self.assertTrue(wait_until(lambda: self.env.pixels(box) == screen, 5),
                        "back at 144 DPI the tray does not show the 24-pixel frame")
        self.env.keep_screenshot("agent-tray-150.png",
                                 (DESKTOP_SIZE[0] - 300, DESKTOP_SIZE[1] - 70) + DESKTOP_SIZE)

        menu = self.open_tray_menu()
        self.move_pointer_away()
        self.env.keep_screenshot("agent-menu-150.png", menu)
        # 144 pixels high at 100 %: the items grew with the font and the icons.
        self.assertGreater(menu[3] - menu[1], 144 * 5 // 4, "the menu items did not grow")
        self.assertIsNotNone(self.find_image(menu, decode_png(icon_frame("away.ico", SCALED_ICON)),
                                             MENU_BACK), "no 24-pixel Away icon in the menu")
        menu_window = self.env.find("", MENU_CLASS)
        self.env.click(DESKTOP_SIZE[0] // 4, DESKTOP_SIZE[1] // 4)  # elsewhere: the menu closes
        self.assertTrue(wait_until(lambda: not (self.env.info(menu_window) or {}).get("visible"), 5))

        agent.command(ID_ABOUT)
        about = agent.find_own(ABOUT_CAPTION, 10)
        self.assertIsNotNone(about, "no About box")
        rect = self.env.info(about)["rect"]
        self.env.keep_screenshot("agent-about-150.png", rect)
        # The template is 143 dialog units wide: about 256 pixels at 100 %.
        self.assertGreater(rect[2] - rect[0], 256 * 5 // 4, "the About box did not scale")
        self.env.post(about, WM_COMMAND, IDOK)

    def find_image(self, area, image, background):
        """The top left corner of the image drawn over the background within
        the screen area, or None."""
        left, top, right, bottom = area
        width = right - left
        screen = self.env.pixels(area)
        size = len(image)
        rows = [b"".join(bytes(p[:3]) if p[3] else background for p in row) for row in image]
        for y in range(bottom - top - size + 1):
            for x in range(width - size + 1):
                if all(screen[3 * ((y + dy) * width + x):3 * ((y + dy) * width + x + size)] == rows[dy]
                       for dy in range(size)):
                    return left + x, top + y
        return None

    def test_the_sign_in_dialog_scales(self):
        agent = self.new_agent().start()
        dialog = self.sign_in_dialog(agent)
        rect = self.env.info(dialog)["rect"]
        self.env.keep_screenshot("agent-sign-in-150.png", rect)
        # 198 dialog units wide: 353 pixels at 100 %.
        self.assertGreater(rect[2] - rect[0], 353 * 5 // 4, "the sign-in dialog did not scale")
        self.env.post(dialog, WM_COMMAND, IDCANCEL)
        self.assertTrue(agent.ended(10))


if __name__ == "__main__":
    unittest.main()
