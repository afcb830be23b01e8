"""Tests of the tour's own logic: reading the stand-in's log in words and its
record, placing the tray menus' items, and telling the tray's icon.
    python3 -m unittest discover -s tools/demo -p 'test_*.py'
"""
import http.server
import threading
import unittest

from service_log import ServiceLog, describe, record_field, request_target, summarise
from tray_menu import MAIN_MENU, SEPARATOR, SIGNED_OUT_MENU, item_centre
from tray_picture import agent_pictures, picture_name


class DescribeRequestTest(unittest.TestCase):
    def test_sign_in_names_the_login_decoded_from_windows_1251(self):
        self.assertEqual(describe("/newmessages?do=login&login=demo&password=fe01"), "sign-in demo")
        self.assertEqual(describe("/newmessages?do=login&login=%C8%E2%E0%ED%20%26&password=0"),
                         "sign-in Иван &")

    def test_status_is_told_as_presence(self):
        for status, word in (("0", "online"), ("1", "away"), ("2", "offline")):
            self.assertEqual(describe(f"/newmessages?do=get&status={status}&login=demo&token=t"),
                             "status " + word)
        self.assertEqual(describe("/newmessages?do=get&status=7&login=demo&token=t"), "status 7")

    def test_the_prefix_alone_is_the_update_probe_and_other_paths_stay_as_they_are(self):
        self.assertEqual(describe("/newmessages"), "update probe")
        self.assertEqual(describe("/newmessages?"), "/newmessages?")
        self.assertEqual(describe("/profile/expertconsult"), "/profile/expertconsult")
        self.assertEqual(describe("/other?do=get&status=0", prefix="/other"), "status online")
        self.assertEqual(describe("/newmessages?do=get&status=0", prefix="/other"),
                         "/newmessages?do=get&status=0")

    def test_the_target_is_the_request_lines_second_word(self):
        entry = b"GET /newmessages?do=get&status=1 HTTP/1.0\r\nHost: 127.0.0.10\r\n\r\n"
        self.assertEqual(request_target(entry), "/newmessages?do=get&status=1")
        self.assertEqual(request_target(b"\xff\r\n"), "\xff")


class SummariseTest(unittest.TestCase):
    def test_runs_of_equal_requests_are_counted_in_order(self):
        self.assertEqual(summarise(["sign-in demo", "status offline", "status online",
                                    "status online", "status online", "status away",
                                    "status online"]),
                         "sign-in demo, status offline, status online x3, status away, status online")

    def test_no_request_is_nothing(self):
        self.assertEqual(summarise([]), "nothing")


class RecordTest(unittest.TestCase):
    def test_a_field_of_the_presence_answer(self):
        answer = "presence: away\ntoken: \nmessages: 0"
        self.assertEqual([record_field(answer, name) for name in ("presence", "token", "status")],
                         ["away", "", None])


class FakeControl(http.server.BaseHTTPRequestHandler):
    """The two log routes of the stand-in's control interface, over a list
    that the test extends."""
    entries = []

    def do_GET(self):
        if self.path == "/control/log":
            body = str(len(self.entries)).encode()
        else:
            body = self.entries[int(self.path.rsplit("/", 1)[1])]
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def logged(status):
    return b"GET /newmessages?do=get&status=%d&login=demo&token=t HTTP/1.0\r\n\r\n" % status


class ServiceLogTest(unittest.TestCase):
    def setUp(self):
        FakeControl.entries = []
        self.server = http.server.HTTPServer(("127.0.0.1", 0), FakeControl)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()
        self.log = ServiceLog("127.0.0.1:%d" % self.server.server_address[1])

    def tearDown(self):
        self.server.shutdown()
        self.server.server_close()
        self.thread.join(5)

    def test_each_read_returns_only_what_came_since_the_last(self):
        self.assertEqual(self.log.read_new(), [])
        FakeControl.entries += [logged(2), logged(0)]
        self.assertEqual(self.log.read_new(), ["status offline", "status online"])
        self.assertEqual(self.log.read_new(), [])
        FakeControl.entries.append(logged(1))
        self.assertEqual(self.log.read_new(), ["status away"])

    def test_waiting_ends_at_the_wanted_request_with_everything_read_on_the_way(self):
        FakeControl.entries += [logged(0), logged(0), logged(1)]
        arrived, seen = self.log.wait_for("status away", timeout=5)
        self.assertTrue(arrived)
        self.assertEqual(seen, ["status online", "status online", "status away"])

    def test_waiting_for_a_request_that_never_comes_gives_up(self):
        FakeControl.entries.append(logged(0))
        arrived, seen = self.log.wait_for("status away", timeout=0.3)
        self.assertFalse(arrived)
        self.assertEqual(seen, ["status online"])

    def test_a_request_read_before_the_wait_does_not_end_it(self):
        FakeControl.entries.append(logged(1))
        self.log.read_new()
        arrived, _ = self.log.wait_for("status away", timeout=0.3)
        self.assertFalse(arrived)


# The main menu as the agent opens it under Wine, at the bottom right of the
# desktop: seven commands of 18 pixels (the menu font's 13 and 5), three
# separators of 6, the 3-pixel frame; 150 pixels high.
MEASURED_MAIN_MENU = (883, 598, 1024, 748)


class MenuItemTest(unittest.TestCase):
    def test_items_of_the_measured_menu(self):
        # frame 3, then the consultant page 601-619, separator -625, Онлайн
        # -643, Отошел -661, Оффлайн -679, separator -685, О программе...
        # -703, separator -709, Выйти -727, Закрыть -745.
        self.assertEqual(item_centre(MEASURED_MAIN_MENU, MAIN_MENU, "Онлайн"), (953, 634))
        self.assertEqual(item_centre(MEASURED_MAIN_MENU, MAIN_MENU, "Выйти"), (953, 718))
        self.assertEqual(item_centre(MEASURED_MAIN_MENU, MAIN_MENU, "Закрыть"), (953, 736))

    def test_every_item_lies_inside_the_menu_below_the_one_before(self):
        for layout, rect in ((MAIN_MENU, MEASURED_MAIN_MENU), (SIGNED_OUT_MENU, (10, 20, 150, 95))):
            points = [item_centre(rect, layout, label) for label in layout if label is not SEPARATOR]
            ys = [y for _, y in points]
            self.assertEqual(ys, sorted(set(ys)), layout)
            for x, y in points:
                self.assertTrue(rect[0] < x < rect[2] and rect[1] < y < rect[3], (layout, x, y))

    def test_a_larger_font_moves_the_lower_items_down(self):
        taller = (883, 598, 1024, 748 + 7 * 4)  # four more pixels per text item
        self.assertEqual(item_centre(taller, MAIN_MENU, "Закрыть")[1],
                         item_centre(MEASURED_MAIN_MENU, MAIN_MENU, "Закрыть")[1] + 6 * 4 + 4 // 2)

    def test_separators_and_unknown_labels_cannot_be_chosen(self):
        with self.assertRaises(ValueError):
            item_centre(MEASURED_MAIN_MENU, MAIN_MENU, SEPARATOR)
        with self.assertRaises(ValueError):
            item_centre(MEASURED_MAIN_MENU, SIGNED_OUT_MENU, "Выйти")

    def test_a_menu_too_small_for_its_items_gives_no_point(self):
        self.assertIsNone(item_centre((0, 0, 100, 18), MAIN_MENU, "Онлайн"))
        self.assertIsNone(item_centre((100, 0, 100, 200), MAIN_MENU, "Онлайн"))


def on_screen(frame, background=(255, 255, 255)):
    """The raw RGB bytes of the frame drawn over the taskbar's colour."""
    return b"".join(bytes(colour or background) for row in frame for colour in row)


class TrayPictureTest(unittest.TestCase):
    def setUp(self):
        self.pictures = agent_pictures()
        self.frames = {(name, len(frame)): frame for name, frame in self.pictures}

    def test_an_icon_is_told_by_its_opaque_pixels_at_any_size(self):
        for name, size, background in (("away.ico", 16, (0, 0, 0)), ("online.ico", 16, (212, 208, 200)),
                                       ("new_message.ico", 16, (255, 255, 255)), ("away.ico", 24, (9, 9, 9))):
            raw = on_screen(self.frames[name, size], background)
            self.assertEqual(picture_name(raw, self.pictures), name, (size, background))

    def test_a_changed_pixel_a_taller_box_or_a_bare_taskbar_is_no_icon(self):
        away = on_screen(self.frames["away.ico", 16])
        changed = away[:3 * (11 * 16 + 12)] + b"\xff\xff\xff" + away[3 * (11 * 16 + 13):]  # a clock hand
        # The About icon is transparent at 20 pixels.
        for raw in (changed, away + b"\xff" * 3 * 16, b"\xff" * 3 * 20 * 20):
            self.assertIsNone(picture_name(raw, self.pictures))


if __name__ == "__main__":
    unittest.main()
