"""What the installer tests stand on: the Wine environment of the test run,
installer_probe.exe, the stand-in service's control interface and xdotool.

Configuration comes from the environment that CTest sets
(tests/installer/CMakeLists.txt):
    KOV_WINE_STATE          state directory of tools/wine/env.sh (holds `env`)
    KOV_PROBE               installer_probe.exe
    KOV_AGENT_EXE           the agent of this build
    KOV_SETUP               its installer (version KOV_VERSION)
    KOV_NEW_SETUP           the installer of the same agent with KOV_NEW_VERSION
    KOV_DEFAULT_PARAMS_INI  Params.ini as the installer installs it
    KOV_STANDIN_CONTROL     host:port of the stand-in's control interface
    KOV_STANDIN_SERVER      the agents' "Server" (default http://127.0.0.1)
"""
import hashlib
import http.client
import os
import subprocess
import sys
import time
import unittest
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "wine"))
from prefix_processes import prefix_processes  # noqa: E402

AGENT_FILE = "Kovarentis.exe"
UNINSTALLER_FILE = "Uninstall.exe"
# NSIS runs an uninstaller from a copy under this name in the temporary folder.
UNINSTALLER_COPY = "Un.exe"
UNINSTALL_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kovarentis"
RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
RUN_VALUE = "Kovarentis"
PROFILE_KEY = "Software\\Kovarentis "
CREDENTIALS_KEY = PROFILE_KEY + "\\Kovarentis\\App"
SHORTCUT_NAME = "Kovarentis.lnk"
# The exit status of an agent that a silent installer had to end by force
# (installer/close_agent.nsh).
FORCED_EXIT_CODE = 0x4B0F
# Message-box button.
IDYES = 6
BOX_CAPTION = "Kovarentis "


def wait_until(predicate, timeout, step=0.2):
    """The predicate's first true value, or None when the time runs out."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value or None
        time.sleep(step)


def read_bytes(path):
    with open(path, "rb") as data:
        return data.read()


class Wine:
    """Programs in the test run's Wine prefix."""

    def __init__(self):
        self.probe_exe = os.environ["KOV_PROBE"]
        env = dict(os.environ)
        with open(os.path.join(os.environ["KOV_WINE_STATE"], "env")) as env_file:
            for line in env_file:
                name, _, value = line.strip().removeprefix("export ").partition("=")
                if name:
                    env[name] = value.strip('"')
        self.wine = env["KOV_WINE"]
        # The private Russian locale is for Wine only; shortcuts stay inside
        # the prefix instead of becoming menu entries of the host.
        self.env = dict(env, LANG=env["KOV_LANG"], LC_ALL=env["KOV_LANG"],
                        WINEDLLOVERRIDES=env["WINEDLLOVERRIDES"] + ";winemenubuilder.exe=d")

    def run(self, program, *args, timeout=120):
        """Exit status of a program run to its end. Its output is not
        collected: a pipe would stay open in every agent it starts."""
        return subprocess.run(
            ["timeout", "--kill-after=5", str(timeout), self.wine, program, *args],
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, check=False).returncode

    def start(self, program, *args):
        """Starts a program and returns at once, without waiting for it."""
        return subprocess.Popen(
            [self.wine, program, *args], env=self.env, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)

    def processes(self):
        """Command lines of the programs running in this prefix, for failure reports."""
        return [" ".join(argv) for _, argv in prefix_processes(self.env.get("WINEPREFIX", ""))]

    def probe(self, *args, timeout=60):
        """(exit status, output lines) of one probe command."""
        result = subprocess.run(
            ["timeout", "--kill-after=5", str(timeout), self.wine, self.probe_exe,
             *map(str, args)],
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, check=False)
        return result.returncode, result.stdout.decode("utf-8").splitlines()

    def probe_value(self, *args, timeout=60):
        """The probe's first output line, or None when it found nothing."""
        code, lines = self.probe(*args, timeout=timeout)
        return lines[0] if code == 0 and lines else None

    def unix_path(self, windows_path):
        result = subprocess.run(
            ["timeout", "60", self.wine, "winepath", "-u", windows_path], env=self.env,
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            check=True)
        return result.stdout.decode("utf-8").strip()

    @staticmethod
    def windows_path(unix_path):
        """Wine maps the Unix root to drive Z:."""
        return "Z:" + os.path.abspath(unix_path).replace("/", "\\")

    # --- registry (HKEY_CURRENT_USER)

    def reg_get(self, key, value):
        return self.probe_value("reg-get", key, value)

    def reg_key_exists(self, key):
        return self.probe("reg-get", key)[0] == 0

    def reg_set(self, key, value, data):
        if self.probe("reg-set", key, value, data)[0] != 0:
            raise AssertionError(f"cannot write {key}\\{value}")

    # --- the agent

    def agent(self):
        """(process id, image path) of the running agent, or None."""
        line = self.probe_value("agent")
        if line is None:
            return None
        pid, _, image = line.partition("\t")
        return int(pid), image

    def version(self, windows_path):
        return self.probe_value("version", windows_path)

    def close_agent(self, timeout=30):
        """Closes a running agent as its menu's Close does; True once none runs."""
        running = self.agent()
        if running is None:
            return True
        self.probe("close-agent")
        return self.probe("wait-exit", running[0], timeout, timeout=timeout + 30)[0] == 0

    def watch_exit(self, pid, timeout):
        """A process that waits for `pid` to end; exit_code() reads the result."""
        return ExitWatch(self, pid, timeout)


class ExitWatch:
    """The exit status of a process, observed from the moment of the call:
    the probe holds the process open, so the status survives its end."""

    def __init__(self, wine, pid, timeout):
        self.timeout = timeout
        self.process = subprocess.Popen(
            ["timeout", "--kill-after=5", str(timeout + 30), wine.wine, wine.probe_exe,
             "wait-exit", str(pid), str(timeout)],
            env=wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL)
        if self.process.stdout.readline().strip() != b"watching":
            self.process.wait()
            raise AssertionError(f"process {pid} cannot be watched")

    def exit_code(self):
        """The process's exit status, or None if it did not end in time."""
        output, _ = self.process.communicate(timeout=self.timeout + 60)
        if self.process.returncode != 0:
            return None
        return int(output.decode().split()[0])


class Installation:
    """Where an installation lives, in Windows and Unix terms."""

    def __init__(self, wine, windows_dir):
        self.wine = wine
        self.dir = windows_dir
        self.unix_dir = wine.unix_path(windows_dir)

    @classmethod
    def default(cls, wine):
        return cls(wine, wine.probe_value("folder", "local-appdata") + "\\Kovarentis")

    def path(self, name):
        return self.dir + "\\" + name

    def unix(self, name):
        return os.path.join(self.unix_dir, name)

    @property
    def agent(self):
        return self.path(AGENT_FILE)

    def shortcut(self):
        return self.wine.probe_value("folder", "programs") + "\\" + SHORTCUT_NAME

    def uninstall(self, *args):
        """Runs the uninstaller silently and waits for its copy in the
        temporary folder, which does the work, to end."""
        status = self.wine.run(self.path(UNINSTALLER_FILE), "/S", *args)
        if status != 0:
            return status
        return self.wine.probe("wait-gone", UNINSTALLER_COPY, 60, timeout=90)[0]


class Standin:
    """The stand-in service (the Standin fixture) through its control
    interface, and its service endpoint as the agent sees it."""

    def __init__(self):
        host, _, port = os.environ["KOV_STANDIN_CONTROL"].partition(":")
        self.control = (host, int(port))
        self.server = os.environ.get("KOV_STANDIN_SERVER", "http://127.0.0.1")
        service = urllib.parse.urlsplit(self.server)
        self.service = (service.hostname, service.port or 80)

    def _call(self, method, path, address, body=b""):
        connection = http.client.HTTPConnection(*address, timeout=10)
        try:
            connection.request(method, path, body=body)
            response = connection.getresponse()
            data = response.read()
        finally:
            connection.close()
        if response.status != 200:
            raise AssertionError(f"stand-in: {method} {path}: {response.status} {data!r}")
        return data

    def post(self, path):
        return self._call("POST", path, self.control)

    def reset(self):
        self.post("/control/reset")

    def demo(self, on):
        self.post("/control/demo?on=%d" % int(on))

    def offer_update(self, installer_path):
        """Uploads the installer: the stand-in serves no file from outside its
        own folder."""
        with open(installer_path, "rb") as installer:
            self._call("POST", "/control/download?name=KovarentisSetup.exe", self.control, installer.read())
        self.post("/control/outdated?on=1")

    def withdraw_update(self):
        self.post("/control/outdated?on=0")

    def presence(self, login):
        text = self._call("GET", "/control/presence?login=" + urllib.parse.quote(login),
                          self.control).decode()
        fields = {}
        for line in text.splitlines():
            name, _, value = line.partition(":")
            fields[name.strip()] = value.strip()
        return fields

    def sign_in(self, login, password):
        """Signs in as the agent does and returns the token."""
        digest = hashlib.md5(password.encode("cp1251")).hexdigest()
        reply = self._call("GET", "/newmessages?do=login&login=%s&password=%s" % (
            urllib.parse.quote(login), digest), self.service).decode()
        if not reply.startswith("0 "):
            raise AssertionError(f"sign-in refused: {reply!r}")
        return reply[2:].rstrip("\r\n")


class InstallerTestCase(unittest.TestCase):
    """Every test starts and ends with no agent running, no installation
    and no stored credentials in the shared prefix."""

    def setUp(self):
        self.wine = Wine()
        self.setup_exe = os.environ["KOV_SETUP"]
        self.new_setup_exe = os.environ["KOV_NEW_SETUP"]
        self.version = os.environ["KOV_VERSION"]
        self.new_version = os.environ["KOV_NEW_VERSION"]
        self.started = []
        self.clean_up()
        self.addCleanup(self.clean_up)

    def clean_up(self):
        # A silent uninstall closes the agent, by force if it must.
        location = self.wine.reg_get(UNINSTALL_KEY, "InstallLocation")
        if location is not None:
            Installation(self.wine, location).uninstall("/REMOVECREDENTIALS")
        self.assertTrue(self.wine.close_agent(), "an agent would not close")
        self.wine.probe("reg-delete", PROFILE_KEY)
        while self.started:
            self.started.pop().wait(timeout=30)

    def start(self, program, *args):
        """Starts a program in the background; the test's end waits for it."""
        process = self.wine.start(program, *args)
        self.started.append(process)
        return process

    def folder_in_profile(self):
        """A folder of the consultant's own choosing, inside the profile."""
        return self.wine.probe_value("folder", "local-appdata") + "\\Consultant\\Kovarentis"

    def install(self, setup_exe, *args):
        status = self.wine.run(setup_exe, "/S", *args)
        self.assertEqual(status, 0, f"{os.path.basename(setup_exe)} /S {' '.join(args)}")

    def write_params(self, installation, text):
        with open(installation.unix("Params.ini"), "wb") as params:
            params.write(text.replace("\n", "\r\n").encode("cp1251"))

    def store_credentials(self, login, token):
        self.wine.reg_set(CREDENTIALS_KEY, "Login", login)
        self.wine.reg_set(CREDENTIALS_KEY, "Token", token)

    def stored_credentials(self):
        """The login, and the token: decrypted, or as stored plain before an agent ran."""
        token = self.wine.probe_value("secret-get", CREDENTIALS_KEY, "Token")
        return (self.wine.reg_get(CREDENTIALS_KEY, "Login"),
                token if token is not None else self.wine.reg_get(CREDENTIALS_KEY, "Token"))

    def wait_for_agent(self, other_than=None, timeout=60):
        """(pid, image) of a running agent whose process is not `other_than`."""
        def found():
            agent = self.wine.agent()
            return agent if agent and agent[0] != other_than else None
        agent = wait_until(found, timeout, step=0.5)
        self.assertIsNotNone(agent, "no agent runs; running: %s" % "; ".join(self.wine.processes()))
        return agent


class AgentTestCase(InstallerTestCase):
    """Tests with an installed agent that talks to the stand-in service in
    demo mode as the demo consultant."""
    LOGIN = PASSWORD = "demo"

    def setUp(self):
        super().setUp()
        self.standin = Standin()
        self.standin.reset()
        self.standin.demo(True)
        self.addCleanup(self.standin.reset)

    def consultant_params(self):
        """The consultant's own settings: the stand-in, a poll every second."""
        return f"; Настроено для стенда\nServer={self.standin.server}\nRequestTimeout=1\n"

    def sign_in_once(self):
        """The sign-in that an earlier run of the agent remembered."""
        token = self.standin.sign_in(self.LOGIN, self.PASSWORD)
        self.store_credentials(self.LOGIN, token)
        return token

    def start_at_logon(self, home):
        """Starts the agent as the logon does, from the Run entry; its process id."""
        command = self.wine.reg_get(RUN_KEY, RUN_VALUE)
        self.assertEqual(command, f'"{home.agent}"')
        self.start(command.strip('"'))
        return self.wait_for_agent()[0]

    def status_requests(self):
        return int(self.standin.presence(self.LOGIN)["status_requests"])

    def wait_for_polls_with(self, token, more_than=0, timeout=60):
        """The service's count of accepted status requests, once it exceeds
        `more_than` with the consultant online under `token`."""
        def polled():
            presence = self.standin.presence(self.LOGIN)
            count = int(presence["status_requests"])
            online = presence["presence"] == "online" and presence["token"] == token
            return count if online and count > more_than else None
        count = wait_until(polled, timeout, step=0.5)
        self.assertIsNotNone(count, f"no accepted poll with the stored token after {more_than}")
        return count
