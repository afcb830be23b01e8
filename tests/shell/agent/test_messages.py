"""New messages arriving while the consultant is online: the tooltip carries
the count, the icon blinks (stands still while the system's animations are
off), and the new-message sound plays once for each rise of the count, not
for every poll that repeats it.

The sound is heard the way a consultant's sound card would hear it: the
agent's ALSA output (Wine's audio driver runs inside the agent's process and
reads ALSA's configuration from $HOME) goes to files: ALSA writes each opening
of the device to a file of its own, so every sound played adds one sound's
worth of samples."""
import glob
import os
import shutil
import time
import unittest

from harness import Journey, wait_until

LOGIN = "consultant"
TOKEN = "t0ken"
SOUND_CONFIG = """pcm.!default {{
    type file
    slave.pcm "null"
    file "{path}"
    format "raw"
    truncate false
}}
"""
# The sound lasts half a second; the file is complete well after that.
SOUND_SETTLE_SECONDS = 1.5


class NewMessagesTest(Journey):
    def setUp(self):
        super().setUp()
        self.env.store_credentials(LOGIN, TOKEN)
        home = os.path.join(self.env.work, "sound-home")
        shutil.rmtree(home, ignore_errors=True)
        os.makedirs(home)
        self.capture = os.path.join(home, "sound.raw")
        with open(os.path.join(home, ".asoundrc"), "w") as config:
            config.write(SOUND_CONFIG.format(path=self.capture))
        self.home = home

    def sound_bytes(self):
        """The bytes of sound played so far, once the output has settled."""
        sizes = [-1]

        def settled():
            time.sleep(SOUND_SETTLE_SECONDS)
            sizes.append(sum(os.path.getsize(path) for path in glob.glob(self.capture + "*")))
            return sizes[-1] == sizes[-2]
        self.assertTrue(wait_until(settled, 20, step=0), "the sound output does not settle")
        return sizes[-1]

    def own_sound_samples(self):
        """The samples of the wave resource in the agent's executable."""
        with open(self.env.agent_exe, "rb") as exe:
            image = exe.read()
        start = image.find(b"RIFF")
        while start >= 0 and image[start + 8:start + 12] != b"WAVE":
            start = image.find(b"RIFF", start + 1)
        self.assertGreaterEqual(start, 0, "no wave resource in the agent")
        data = image.find(b"data", start)
        size = int.from_bytes(image[data + 4:data + 8], "little")
        return image[data + 8:data + 8 + size]

    def show_count(self, count):
        """Has the service answer `count` new messages until the tooltip shows it."""
        self.standin.reply("get", "0 %04d" % count, default=True)
        expected = "Kovarentis : Новых сообщений %d" % count
        self.assertEqual(self.tray_tooltip(expected), expected)
        self.move_pointer_away()

    def polls_go_by(self, polls):
        self.wait_for_requests(len(self.standin.requests()) + polls)

    def test_the_count_shows_blinking_and_each_rise_plays_the_sound_once(self):
        # Every reply restarts the blinking, whose second image comes 1.4 s
        # after the start: polls must come further apart than that.
        self.new_agent(unix_env={"HOME": self.home}, RequestTimeout=2).start()
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()
        self.assertEqual(len(self.icon_frames(1.5)), 1, "no blinking without messages")
        self.assertEqual(self.sound_bytes(), 0, "a sound without new messages")

        self.show_count(3)
        self.assertGreaterEqual(len(self.icon_frames(3)), 2, "the icon does not blink")
        one_sound = self.sound_bytes()
        self.assertGreater(one_sound, 0, "no sound for the first messages")
        with open(self.capture, "rb") as played:
            self.assertEqual(played.read(), self.own_sound_samples(), "not the agent's own sound")

        self.polls_go_by(2)
        self.assertEqual(self.sound_bytes(), one_sound, "the same count played the sound again")

        self.show_count(5)
        self.polls_go_by(2)
        played = self.sound_bytes()
        self.assertAlmostEqual(played, 2 * one_sound, delta=one_sound // 4,
                               msg="the rise to 5 did not play exactly one more sound")

        # Fewer messages (some were read) play nothing; a rise from there does.
        self.show_count(2)
        self.polls_go_by(2)
        self.assertEqual(self.sound_bytes(), played, "a falling count played the sound")
        self.show_count(3)
        self.polls_go_by(2)
        self.assertAlmostEqual(self.sound_bytes(), 3 * one_sound, delta=one_sound // 4,
                               msg="the rise from 2 to 3 did not play the sound once")

    def test_with_animations_off_the_new_message_icon_stays_steady(self):
        # Wine reads the setting once per process: it is off before the agent starts.
        self.addCleanup(self.env.probe, "animations", "1")
        self.assertEqual(self.env.probe("animations", "0")[0], 0, "animations not turned off")
        self.new_agent(RequestTimeout=2).start()
        self.assertEqual(self.tray_tooltip("Kovarentis : Онлайн"), "Kovarentis : Онлайн")
        self.move_pointer_away()
        online = self.icon_frames(1.5)

        self.show_count(3)
        self.polls_go_by(2)
        steady = self.icon_frames(3)
        self.assertEqual(len(steady), 1, "the icon blinks with animations off")
        self.assertNotEqual(steady, online, "the new-message icon does not show")

if __name__ == "__main__":
    unittest.main()
