"""What the update journeys share: the signed installers they serve (made by
tools/signing/make-test-signatures.py from agent_probe.exe, which leaves
KovarentisSetup.ran beside itself when started as KovarentisSetup.exe), and
where the agent puts what it downloads: its own folder under the user's local
application data."""
import glob
import os
import subprocess

INSTALLER = "/download/KovarentisSetup.exe"
NOT_AUTHENTIC = "Обновление не прошло проверку подлинности и не будет установлено"
CONNECT_FAILED = "Не удалось установить соединение с сервером"
UNEXPECTED_ERROR = "Непредвиденная ошибка"


def signed_probe(variant):
    """agent_probe.exe signed as VARIANT (tools/signing/make-test-signatures.py
    lists them)."""
    return os.path.join(os.environ["KOV_SIGNED_PROBES"], variant + ".exe")


def offer_installer(standin, path):
    """The stand-in serves the file at INSTALLER and says the agent is
    outdated. The file goes up as a request body: the stand-in serves no file
    from outside its own folder."""
    with open(path, "rb") as installer:
        standin._call("POST", "/download?name=KovarentisSetup.exe", installer.read())
    standin.control("outdated", on=1)


def update_files(env, name):
    return glob.glob(os.path.join(env.env["WINEPREFIX"], "drive_c", "users", "*", "AppData", "Local",
                                  "KovarentisUpdate", name))


def installer_markers(env):
    return update_files(env, "KovarentisSetup.ran")


def downloaded_installers(env):
    return update_files(env, "KovarentisSetup.exe")


def trust_test_authority(env):
    """The test authority that issued the renewed publisher certificate
    becomes a trusted root of the prefix."""
    result = subprocess.run(["timeout", "--kill-after=5", "60", env.wine, os.environ["KOV_TRUST_ROOT"],
                             os.environ["KOV_TEST_CA_DER"]],
                            env=env.wine_env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    assert result.returncode == 0, "trust_root.exe failed"
