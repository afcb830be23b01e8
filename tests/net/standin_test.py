"""The stand-in service's own behaviour, natively: scripted replies, the raw
request log and the control interface, on ephemeral loopback ports."""
import threading
import time
import unittest

from standin_harness import RunningStandin, exchange
# The harness puts tools/standin on the module path.
from endpoints import parse_listen
from protocol import request_kind


class RequestKindTest(unittest.TestCase):
    def test_agent_requests_are_told_apart_by_prefix_and_first_parameter(self):
        prefix = "/newmessages"
        self.assertEqual(request_kind("/newmessages?do=login&login=a&password=b", prefix), "login")
        self.assertEqual(request_kind("/newmessages?do=get&status=0", prefix), "get")
        self.assertEqual(request_kind("/newmessages", prefix), "probe")
        self.assertEqual(request_kind("/newmessages?status=0&do=get", prefix), "other")
        self.assertEqual(request_kind("/newmessages/?do=get", prefix), "other")
        self.assertEqual(request_kind("/elsewhere?do=get", prefix), "other")

    def test_listen_addresses_pair_tls_with_a_certificate(self):
        self.assertEqual(parse_listen("http://127.0.0.1:80"), (("127.0.0.1", 80), None))
        self.assertEqual(parse_listen("https://127.0.0.2:443/leaf"), (("127.0.0.2", 443), "leaf"))
        for bad in ("https://127.0.0.2:443", "http://127.0.0.1:80/leaf", "ftp://127.0.0.1:21"):
            with self.assertRaises(ValueError, msg=bad):
                parse_listen(bad)


class StandinServiceTest(unittest.TestCase):
    def setUp(self):
        self.standin = RunningStandin()
        self.state, self.service = self.standin.state, self.standin.service
        self.call_control, self.get = self.standin.call_control, self.standin.get

    def tearDown(self):
        self.standin.stop()

    def test_queued_replies_come_in_order_then_the_default(self):
        self.call_control("POST", "/control/reply?kind=get", b"0 0001")
        self.call_control("POST", "/control/reply?kind=get&status=500", b"broken")
        self.call_control("POST", "/control/default?kind=get", b"0 0009")

        first, second, third = (self.get("/newmessages?do=get") for _ in range(3))

        self.assertTrue(first.startswith(b"HTTP/1.0 200 OK\r\n") and first.endswith(b"\r\n\r\n0 0001"))
        self.assertTrue(second.startswith(b"HTTP/1.0 500 ") and second.endswith(b"\r\n\r\nbroken"))
        self.assertTrue(third.endswith(b"\r\n\r\n0 0009"))

    def test_log_keeps_each_request_byte_for_byte(self):
        raw = (b"GET /newmessages?do=get&login=\xc8\xe2\xe0\xed&token=a#b HTTP/1.0\r\n"
               b"Host: 127.0.0.1\r\nX-Odd:  two  blanks \r\nContent-Length: 3\r\n\r\nxyz")
        exchange(self.service.server_address[1], raw)

        status, count, _ = self.call_control("GET", "/control/log")
        self.assertEqual((status, count), (200, b"1"))
        status, logged, headers = self.call_control("GET", "/control/log/0")
        self.assertEqual(logged, raw)
        self.assertEqual(headers["X-Standin-Kind"], "get")
        self.assertEqual(headers["X-Standin-Endpoint"], self.service.name)
        self.assertEqual(self.call_control("GET", "/control/log/1")[0], 404)

    def test_requests_the_parser_refuses_are_logged_too(self):
        # A line break inside the target splits the request line; a tab in it
        # makes a line the parser rejects outright.
        broken = (b"GET /newmessages?do=get&token=ab\r\ncd HTTP/1.0\r\n"
                  b"Host: 127.0.0.1\r\n\r\n")
        refused = b"GET /newmessages?do=get&token=a\tb HTTP/1.0\r\n\r\n"

        self.assertTrue(exchange(self.service.server_address[1], broken).endswith(b"0 0000"))
        self.assertTrue(exchange(self.service.server_address[1], refused).startswith(
            b"HTTP/1.0 400 "))

        self.assertEqual(self.call_control("GET", "/control/log/0")[1], broken)
        status, logged, headers = self.call_control("GET", "/control/log/1")
        self.assertEqual(logged, refused[:-2])  # the head's end is never read
        self.assertEqual(headers["X-Standin-Kind"], "malformed")

    def test_cut_reply_promises_the_whole_body_but_sends_part(self):
        self.call_control("POST", "/control/reply?kind=probe&cut=4", b"0123456789")

        received = self.get("/newmessages")

        self.assertIn(b"\r\nContent-Length: 10\r\n", received)
        self.assertTrue(received.endswith(b"\r\n\r\n0123"))

    def test_raw_reply_goes_out_unchanged(self):
        response = b"HTTP/1.0 302 Moved\r\nLocation: /x\r\n\r\nnot\x00text"
        self.call_control("POST", "/control/reply?kind=login&raw=1", response)

        self.assertEqual(self.get("/newmessages?do=login&login=a&password=b"), response)

    def test_reset_ends_a_hanging_reply_unanswered_and_clears_the_log(self):
        self.call_control("POST", "/control/reply?kind=get&hang=60", b"late")
        received = []
        client = threading.Thread(target=lambda: received.append(self.get("/newmessages?do=get")))
        client.start()
        while self.state.log_size() == 0:
            time.sleep(0.01)

        self.call_control("POST", "/control/reset")
        client.join(timeout=10)

        self.assertFalse(client.is_alive())
        self.assertEqual(received, [b""])
        self.assertEqual(self.call_control("GET", "/control/log")[1], b"0")

    def test_connections_are_counted_per_endpoint(self):
        self.get("/newmessages")
        self.get("/elsewhere")

        target = f"/control/connections?endpoint={self.service.name}"
        self.assertEqual(self.call_control("GET", target)[1], b"2")
        self.assertEqual(self.call_control("GET", "/control/connections?endpoint=x:1")[1], b"0")

    def test_control_refuses_what_it_cannot_script(self):
        self.assertEqual(self.call_control("POST", "/control/reply?kind=bogus", b"x")[0], 400)
        self.assertEqual(self.call_control("POST", "/control/reply?kind=get&cut=5", b"abc")[0], 400)
        self.assertEqual(self.call_control("POST", "/control/reply?kind=get&hang=soon")[0], 400)
        self.assertEqual(self.call_control("POST", "/control/reply?kind=get&header=NoColon")[0], 400)
        self.assertEqual(self.call_control("GET", "/control/nothing")[0], 404)
        # Nothing refused was queued: the default still answers.
        self.assertTrue(self.get("/newmessages?do=get").endswith(b"\r\n\r\n0 0000"))


if __name__ == "__main__":
    unittest.main()
