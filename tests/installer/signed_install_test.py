"""The signed installer still installs, and what it puts in place carries the
build publisher's signature: the agent, and the uninstaller that NSIS writes
out of the installer itself."""
import os
import subprocess
import tempfile
import unittest

from installer_harness import AGENT_FILE, UNINSTALLER_FILE, Installation, InstallerTestCase


def signed_by_publisher(path):
    """osslsigncode checks the digest and the chain up to the publisher."""
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", os.environ["KOV_PUBLISHER_CERT"], "-in", path],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
    return result.returncode == 0


class SignedInstallTest(InstallerTestCase):

    def test_the_installer_the_agent_and_the_uninstaller_are_signed_by_the_publisher(self):
        self.assertTrue(signed_by_publisher(self.setup_exe), "the installer")
        self.install(self.setup_exe)
        home = Installation.default(self.wine)
        self.assertTrue(signed_by_publisher(home.unix(AGENT_FILE)), "the installed agent")
        self.assertTrue(signed_by_publisher(home.unix(UNINSTALLER_FILE)), "the installed uninstaller")

    def test_a_changed_file_fails_the_same_check(self):
        with open(self.setup_exe, "rb") as setup:
            data = bytearray(setup.read())
        data[len(data) // 3] ^= 0x01
        with tempfile.NamedTemporaryFile(suffix=".exe") as changed:
            changed.write(data)
            changed.flush()
            self.assertFalse(signed_by_publisher(changed.name))


if __name__ == "__main__":
    unittest.main()
