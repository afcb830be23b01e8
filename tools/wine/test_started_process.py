"""started_process: a recorded process is ended only while it is still the
one recorded."""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import started_process  # noqa: E402


class StartedProcessTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        self.record = os.path.join(self.folder.name, "process.pid")

    def sleeper(self):
        process = subprocess.Popen(["sleep", "60"])
        self.addCleanup(process.kill)
        return process

    def test_the_recorded_process_is_ended(self):
        process = self.sleeper()
        started_process.record(self.record, process.pid)
        self.assertTrue(started_process.end_recorded(self.record))
        self.assertEqual(process.wait(10), -15)
        self.assertFalse(os.path.exists(self.record))

    def test_another_process_under_the_recorded_id_is_left_alone(self):
        process = self.sleeper()
        started_process.record(self.record, process.pid)
        pid, started = open(self.record).read().split()
        with open(self.record, "w") as record:  # as if the id had been handed on since
            record.write(f"{pid} {int(started) - 1}\n")
        self.assertFalse(started_process.end_recorded(self.record))
        self.assertIsNone(process.poll())

    def test_an_ended_process_or_no_record_is_nothing_to_do(self):
        process = self.sleeper()
        started_process.record(self.record, process.pid)
        process.kill()
        process.wait(10)
        self.assertFalse(started_process.end_recorded(self.record))
        self.assertFalse(started_process.end_recorded(self.record))


if __name__ == "__main__":
    unittest.main()
