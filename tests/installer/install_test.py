"""Silent installation and uninstallation for the current user."""
import os
import shutil
import unittest

from installer_harness import (AGENT_FILE, PROFILE_KEY, RUN_KEY, RUN_VALUE, UNINSTALL_KEY,
                               UNINSTALLER_FILE, Installation, InstallerTestCase, Wine,
                               read_bytes)

# Wine would quote an argument with a blank, and NSIS reads /D= unquoted.
OUTSIDE_PROFILE_DIR = "C:\\Consultant\\Kovarentis"


class SilentInstallTest(InstallerTestCase):

    def test_the_installer_records_its_version_and_needs_no_administrator(self):
        setup = Wine.windows_path(self.setup_exe)
        self.assertEqual(self.wine.version(setup), self.version)
        self.assertEqual(self.wine.version(Wine.windows_path(self.new_setup_exe)),
                         self.new_version)
        self.assertIn(b'level="asInvoker"', read_bytes(self.setup_exe))

    def test_install_puts_agent_settings_shortcut_and_run_entry_in_place(self):
        self.install(self.setup_exe)
        home = Installation.default(self.wine)
        self.assertEqual(read_bytes(home.unix(AGENT_FILE)),
                         read_bytes(os.environ["KOV_AGENT_EXE"]))
        params = read_bytes(home.unix("Params.ini"))
        self.assertEqual(params, read_bytes(os.environ["KOV_DEFAULT_PARAMS_INI"]))
        # Windows-1251 with CR LF, as the agent and Notepad read it.
        self.assertTrue(params.startswith(
            "; Настройки агента консультанта Kovarentis.\r\n".encode("cp1251")))
        self.assertIn(b"\r\nServer=https://", params)
        self.assertTrue(os.path.isfile(home.unix(UNINSTALLER_FILE)))

        self.assertEqual(self.wine.probe_value("shortcut", home.shortcut()), home.agent)
        self.assertEqual(self.wine.reg_get(RUN_KEY, RUN_VALUE), f'"{home.agent}"')
        entry = {name: self.wine.reg_get(UNINSTALL_KEY, name) for name in (
            "DisplayVersion", "InstallLocation", "UninstallString", "QuietUninstallString")}
        self.assertEqual(entry, {
            "DisplayVersion": self.version,
            "InstallLocation": home.dir,
            "UninstallString": f'"{home.path(UNINSTALLER_FILE)}"',
            "QuietUninstallString": f'"{home.path(UNINSTALLER_FILE)}" /S'})
        self.assertIsNone(self.wine.agent(), "a silent first installation starts no agent")

    def test_a_folder_outside_the_profile_is_refused(self):
        # Any user of the computer may write there and replace the agent.
        self.assertNotEqual(self.wine.run(self.setup_exe, "/S", "/D=" + OUTSIDE_PROFILE_DIR), 0)
        self.assertFalse(os.path.exists(self.wine.unix_path(OUTSIDE_PROFILE_DIR)))
        self.assertIsNone(self.wine.reg_get(RUN_KEY, RUN_VALUE))
        self.assertFalse(self.wine.reg_key_exists(UNINSTALL_KEY))

    def test_uninstall_removes_what_was_installed_and_keeps_the_stored_sign_in(self):
        self.install(self.setup_exe)
        home = Installation.default(self.wine)
        shortcut = self.wine.unix_path(home.shortcut())
        self.assertTrue(os.path.isfile(shortcut))
        self.store_credentials("demo", "token-1")

        self.assertEqual(home.uninstall(), 0)
        self.assertFalse(os.path.exists(home.unix_dir), "the installation folder stays")
        self.assertFalse(os.path.exists(shortcut), "the shortcut stays")
        self.assertIsNone(self.wine.reg_get(RUN_KEY, RUN_VALUE))
        self.assertFalse(self.wine.reg_key_exists(UNINSTALL_KEY))
        self.assertEqual(self.stored_credentials(), ("demo", "token-1"))

    def test_uninstall_on_request_forgets_the_sign_in_and_spares_foreign_files(self):
        custom_dir = self.folder_in_profile()
        self.install(self.setup_exe, "/D=" + custom_dir)
        home = Installation(self.wine, custom_dir)
        self.addCleanup(shutil.rmtree, os.path.dirname(home.unix_dir), True)
        self.assertEqual(self.wine.reg_get(RUN_KEY, RUN_VALUE), f'"{home.agent}"')
        with open(home.unix("notes.txt"), "w") as notes:
            notes.write("the consultant's own file")
        self.store_credentials("demo", "token-1")

        self.assertEqual(home.uninstall("/REMOVECREDENTIALS"), 0)
        self.assertFalse(self.wine.reg_key_exists(PROFILE_KEY))
        self.assertTrue(os.path.isdir(home.unix_dir), "the folder went with a foreign file")
        self.assertEqual(os.listdir(home.unix_dir), ["notes.txt"])
        self.assertFalse(self.wine.reg_key_exists(UNINSTALL_KEY))


if __name__ == "__main__":
    unittest.main()
