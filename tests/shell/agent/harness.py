"""What the agent journeys stand on: the Wine environment of the test run, the
probe program, the stand-in service's control interface, the screen (xdotool,
ImageMagick) and one running Kovarentis.exe.

Configuration comes from the environment that CTest sets:
    KOV_WINE_STATE      state directory of tools/wine/env.sh (holds `env`)
    KOV_AGENT_EXE       the Kovarentis.exe under test
    KOV_AGENT_PROBE     agent_probe.exe
    KOV_STANDIN_CONTROL control address of the stand-in, host:port
    KOV_WORK_DIR        a directory for the agents' folders and screenshots
    KOV_STANDIN_SERVER  the agents' "Server" (default http://127.0.0.1)
    KOV_DOCS_DIR        optional: where the documentation screenshots go too

Every agent and probe runs on a virtual Wine desktop of its own ("kovagent",
the size of the screen, with Wine's taskbar), chosen per program through
HKCU\\Software\\Wine\\AppDefaults so that other tests' programs keep theirs:
    harness.py desktop on|off
sets and removes that choice and starts and ends a probe that holds the
desktop open meanwhile (a CTest fixture). On the bare X screen, without a
window manager, windows would get no keyboard focus, and every dialog that
closes would wait two seconds for a window manager that never answers.
"""
import hashlib
import os
import re
import signal
import sys
import shutil
import subprocess
import time
import unittest
import urllib.request
from urllib.parse import quote_from_bytes

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools", "wine"))
from prefix_processes import prefix_processes  # noqa: E402
import started_process  # noqa: E402

SITE_CAPTION = "Kovarentis Online Consultant Agent"
SIGN_IN_CAPTION = "Kovarentis - Авторизация"
ABOUT_CAPTION = "Kovarentis - О программе"
BOX_CAPTION = "Kovarentis "
AGENT_KEY = "Software\\Kovarentis \\Kovarentis"
CREDENTIALS_KEY = AGENT_KEY + "\\App"
DESKTOP = "kovagent"
DESKTOP_PROGRAMS = ("Kovarentis.exe", "agent_probe.exe", "dialog_tests.exe", "platform_tests.exe")
DESKTOP_HOLD_SECONDS = 3600
DESKTOP_SIZE = (1024, 768)

# Window messages and ids the journeys send or look for.
WM_CLOSE = 0x0010
WM_KEYDOWN = 0x0100
WM_COMMAND = 0x0111
VK_RETURN = 0x0D
VK_ESCAPE = 0x1B
IDOK, IDCANCEL = 1, 2
IDC_LOGIN, IDC_PASSWORD, IDC_REMEMBER = 1000, 1001, 1002
BM_GETCHECK = 0x00F0
EM_SETSEL = 0x00B1
IDYES, IDNO = 6, 7
ID_STATUS_ONLINE, ID_STATUS_AWAY, ID_STATUS_OFFLINE = 300, 301, 302
ID_SIGN_IN_OUT, ID_CLOSE = 304, 305
# The tray hands a chosen item to the main window as this message, with the
# core's Command (core/platform.h) in wParam.
TRAY_COMMAND_MESSAGE = 0x8000 + 0x101
COMMAND_OF_MENU_ID = {ID_STATUS_ONLINE: 0, ID_STATUS_AWAY: 1, ID_STATUS_OFFLINE: 2, 303: 3,
                      ID_SIGN_IN_OUT: 4, ID_CLOSE: 5}
WS_EX_TOOLWINDOW = 0x80
WS_EX_APPWINDOW = 0x40000
TRAY_WINDOW_CLASS = "KovarentisTrayWindow"
TRAY_ICON_ID = 101
MENU_CLASS = "#32768"
# The message box's text control.
BOX_TEXT_ID = 0xFFFF


def cp1251(text):
    return text.encode("cp1251")


def digest(password):
    return hashlib.md5(cp1251(password)).hexdigest()


def percent(raw):
    """The agent's query encoding: unreserved bytes stay, the rest is %XX."""
    keep = b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~"
    return "".join(chr(b) if b in keep else "%%%02X" % b for b in raw)


def status_path(status, login, token):
    return "/newmessages?do=get&status=%d&login=%s&token=%s" % (
        status, percent(cp1251(login)), percent(cp1251(token)))


def sign_in_path(login, password):
    return "/newmessages?do=login&login=%s&password=%s" % (percent(cp1251(login)), digest(password))


def reported_status(path):
    """The status a status request reports, None for other requests."""
    match = re.search(r"[?&]do=get&status=(\d+)&", path)
    return int(match.group(1)) if match else None


def wait_until(predicate, timeout, step=0.1):
    """The predicate's first true value, or None when the time runs out."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value or None
        time.sleep(step)


class Environment:
    """The Wine environment, the probe and the screen."""

    def __init__(self):
        self.state = os.environ["KOV_WINE_STATE"]
        self.agent_exe = os.environ["KOV_AGENT_EXE"]
        self.probe_exe = os.environ["KOV_AGENT_PROBE"]
        self.work = os.environ["KOV_WORK_DIR"]
        self.env = dict(os.environ)
        with open(os.path.join(self.state, "env")) as env_file:
            for line in env_file:
                name, _, value = line.strip().removeprefix("export ").partition("=")
                if name:
                    self.env[name] = value.strip('"')
        # The private Russian locale is for Wine only (tools/wine/run.sh).
        self.wine_env = dict(self.env, LANG=self.env["KOV_LANG"], LC_ALL=self.env["KOV_LANG"])
        self.wine = self.env["KOV_WINE"]
        os.makedirs(self.work, exist_ok=True)

    def probe(self, *args, timeout=30):
        """(exit status, output lines) of one probe command."""
        result = subprocess.run(
            ["timeout", "--kill-after=5", str(timeout), self.wine, self.probe_exe, *map(str, args)],
            env=self.wine_env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)
        return result.returncode, result.stdout.decode("utf-8", "replace").splitlines()

    def probe_value(self, *args, timeout=30):
        """The probe's first output line, or None when it found nothing."""
        code, lines = self.probe(*args, timeout=timeout)
        return lines[0] if code == 0 and lines else None

    # --- desktop

    def use_agent_desktop(self):
        self.reg_set("Software\\Wine\\Explorer\\Desktops", DESKTOP, "%dx%d" % DESKTOP_SIZE)
        for program in DESKTOP_PROGRAMS:
            self.reg_set("Software\\Wine\\AppDefaults\\%s\\Explorer" % program, "Desktop", DESKTOP)
        keeper = subprocess.Popen(
            ["timeout", str(DESKTOP_HOLD_SECONDS + 10), self.wine, self.probe_exe, "hold",
             str(DESKTOP_HOLD_SECONDS)],
            env=self.wine_env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        started_process.record(self._keeper_file(), keeper.pid)
        assert self.find("", "Shell_TrayWnd", wait=30), "the agent desktop did not come up"

    def release_agent_desktop(self):
        started_process.end_recorded(self._keeper_file(), group=True)
        for program in DESKTOP_PROGRAMS:
            self.reg_delete("Software\\Wine\\AppDefaults\\%s" % program)
        self._end_desktop_explorer()

    def _end_desktop_explorer(self):
        """The virtual desktop's explorer.exe outlives its last program, keeps
        later tests' windows on that desktop and holds their output pipes: end
        the one of this prefix."""
        for pid, argv in prefix_processes(self.wine_env.get("WINEPREFIX", "")):
            command = " ".join(argv)
            if "explorer.exe" in command and "/desktop" in command:
                try:
                    os.kill(pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass

    def _keeper_file(self):
        return os.path.join(self.work, "desktop-keeper.pid")

    # --- registry (HKEY_CURRENT_USER)

    def reg_get(self, key, value):
        """The string value's bytes in the ANSI code page, or None."""
        text = self.probe_value("regget", key, value)
        return bytes.fromhex(text) if text is not None else None

    def secret_get(self, key, value):
        """The bytes of a value the agent encrypted, b"" for an empty string, or None."""
        text = self.probe_value("secretget", key, value)
        return bytes.fromhex(text) if text is not None else None

    def reg_set(self, key, value, data):
        raw = data if isinstance(data, bytes) else cp1251(data)
        code, _ = self.probe("regset", key, value, raw.hex())
        assert code == 0, "cannot write %s\\%s" % (key, value)

    def reg_delete(self, key):
        self.probe("regdel", key)

    def store_credentials(self, login, token):
        """As versions before the token's encryption stored them: both plain."""
        self.reg_set(CREDENTIALS_KEY, "Login", login)
        self.reg_set(CREDENTIALS_KEY, "Token", token)

    def stored_credentials(self):
        """The login, and the token only when it is stored encrypted (or empty)."""
        return self.reg_get(CREDENTIALS_KEY, "Login"), self.secret_get(CREDENTIALS_KEY, "Token")

    # --- windows

    def find(self, caption, class_name="", wait=0.0):
        handle = self.probe_value("find", caption, class_name, int(wait * 1000),
                                  timeout=wait + 30)
        return int(handle) if handle else None

    def info(self, window):
        """The probe's description of a window (rect as a tuple), or None."""
        code, lines = self.probe("info", window)
        if code != 0:
            return None
        fields = {}
        for line in lines:
            name, _, value = line.partition(" ")
            fields[name] = value
        fields["rect"] = tuple(int(n) for n in fields["rect"].split())
        for name in ("style", "exstyle"):
            fields[name] = int(fields[name], 16)
        for name in ("visible", "enabled", "owner", "process", "thread", "hwnd"):
            fields[name] = int(fields[name])
        return fields

    def windows_of(self, process):
        """Top-level windows of a process: (handle, visible, rect, class, text)."""
        code, lines = self.probe("windows", process)
        found = []
        for line in lines if code == 0 else []:
            parts = line.split(" ", 6)
            class_name, _, text = parts[6].partition("|")
            found.append((int(parts[0]), parts[1] == "1", tuple(int(n) for n in parts[2:6]),
                          class_name, text))
        return found

    def modules(self, process):
        """File names of the modules a process has loaded, lower case."""
        code, lines = self.probe("modules", process)
        assert code == 0, "no module list for process %s" % process
        return set(lines)

    def item(self, dialog, control_id):
        value = self.probe_value("item", dialog, control_id)
        return int(value) if value else None

    def post(self, window, message, wparam=0, lparam=0):
        return self.probe("post", window, message, wparam, lparam)[0] == 0

    def send(self, window, message, wparam=0, lparam=0):
        value = self.probe_value("send", window, message, wparam, lparam)
        return int(value) if value is not None else None

    def gone(self, window, wait):
        return self.probe("gone", window, int(wait * 1000), timeout=wait + 30)[0] == 0

    def tooltips(self):
        """The texts of the tooltips and balloons on the screen."""
        code, lines = self.probe("tooltips")
        return lines if code == 0 else []

    def hover_for_tooltip(self, x, y, expected, timeout):
        """Points at (x, y), coming from a little way off as a hand would,
        until a tooltip reads as expected (a text, or any text of a set); the
        pointer stays there. Returns the text read (None when none was), and
        the tooltips last seen."""
        wanted = {expected} if isinstance(expected, str) else set(expected)
        seen = []

        def hover():
            self.xdotool("mousemove", x - 40, y - 40)
            time.sleep(0.3)
            self.xdotool("mousemove", x, y)
            seen[:] = wait_until(self.tooltips, 5) or []
            return next((text for text in seen if text in wanted), None)
        return wait_until(hover, timeout), seen

    # --- screen

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)

    def click(self, x, y, button=1):
        self.xdotool("mousemove", x, y)
        time.sleep(0.1)
        self.xdotool("click", button)

    def click_window(self, window):
        left, top, right, bottom = self.info(window)["rect"]
        self.click((left + right) // 2, (top + bottom) // 2)

    def type_text(self, text):
        # A fresh Wine session drops the first non-ASCII key without the
        # shift; xdotool maps each non-ASCII key on the fly, and Wine loses
        # keys that follow a new mapping too closely.
        self.xdotool("key", "shift")
        self.xdotool("type", "--delay", 40 if text.isascii() else 150, text)

    def key(self, *names):
        self.xdotool("key", *names)

    def screenshot(self, path, crop=None):
        args = ["import", "-display", self.env["DISPLAY"], "-window", "root"]
        if crop:
            left, top, right, bottom = crop
            args += ["-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage"]
        subprocess.run(args + [path], env=self.env, check=True, timeout=60)
        return path

    def keep_screenshot(self, name, crop):
        """A screenshot for the documentation, in the work folder (and in
        KOV_DOCS_DIR when that is set)."""
        path = self.screenshot(os.path.join(self.work, name), crop)
        docs = os.environ.get("KOV_DOCS_DIR")
        if docs:
            shutil.copy(path, os.path.join(docs, name))
        return path

    def pixels(self, crop):
        """The screen's pixels in the rectangle, as raw RGB bytes."""
        left, top, right, bottom = crop
        result = subprocess.run(
            ["import", "-display", self.env["DISPLAY"], "-window", "root", "-crop",
             "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage", "-depth", "8",
             "rgb:-"], env=self.env, stdout=subprocess.PIPE, check=True, timeout=60)
        return result.stdout


def tray_icon_box(environment, strip_height=40, strip_width=160):
    """The screen rectangle of the icons in the taskbar's notification area
    (the agent's is the only one on its desktop), or None."""
    width, height = DESKTOP_SIZE
    left, top = width - strip_width, height - strip_height
    raw = environment.pixels((left, top, width, height))

    def pixel(x, y):
        index = 3 * (y * strip_width + x)
        return raw[index:index + 3]

    # The taskbar: the rows at the bottom whose right-most pixel is the corner's.
    background = pixel(strip_width - 1, strip_height - 1)
    first_row = strip_height - 1
    while first_row > 0 and pixel(strip_width - 1, first_row - 1) == background:
        first_row -= 1
    hits = [(x, y) for y in range(first_row, strip_height) for x in range(strip_width)
            if pixel(x, y) != background]
    if not hits:
        return None
    xs, ys = [x for x, _ in hits], [y for _, y in hits]
    return (left + min(xs), top + min(ys), left + max(xs) + 1, top + max(ys) + 1)


class Standin:
    """The stand-in service's control interface."""

    def __init__(self, address=None):
        self.base = "http://%s/control" % (address or os.environ["KOV_STANDIN_CONTROL"])

    def _call(self, method, path, body=b""):
        request = urllib.request.Request(self.base + path, data=body if method == "POST" else None,
                                         method=method)
        with urllib.request.urlopen(request, timeout=30) as response:
            return response.read()

    def reset(self):
        self._call("POST", "/reset")

    def reply(self, kind, body, default=False, **params):
        query = "&".join(["kind=" + kind] + ["%s=%s" % item for item in params.items()])
        self._call("POST", "/%s?%s" % ("default" if default else "reply", query),
                   body if isinstance(body, bytes) else cp1251(body))

    def control(self, route, **params):
        """POST /control/ROUTE: text values go as Windows-1251, bytes (file
        paths) as they are."""
        query = "&".join("%s=%s" % (name, quote_from_bytes(
            value if isinstance(value, bytes) else cp1251(str(value)), safe=""))
            for name, value in params.items())
        self._call("POST", "/%s%s" % (route, "?" + query if query else ""))

    def request_count(self):
        return int(self._call("GET", "/log"))

    def requests(self):
        """The request targets received so far, in order."""
        count = self.request_count()
        targets = []
        for index in range(count):
            line = self._call("GET", "/log/%d" % index).split(b"\r\n", 1)[0]
            targets.append(line.split(b" ")[1].decode("latin-1"))
        return targets

    def wait_for_requests(self, count, timeout):
        return wait_until(lambda: len(self.requests()) >= count, timeout)


class Agent:
    """One Kovarentis.exe in a folder of its own, with its Params.ini."""

    def __init__(self, environment, name, params, unix_env=None, exe=None):
        self.environment = environment
        # Linux environment variables for this agent's Wine process only.
        self.unix_env = dict(unix_env or {})
        self.folder = os.path.join(environment.work, name)
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        shutil.copy(exe or environment.agent_exe, os.path.join(self.folder, "Kovarentis.exe"))
        with open(os.path.join(self.folder, "Params.ini"), "wb") as params_file:
            params_file.write(b"".join(b"%s=%s\r\n" % (k.encode(), str(v).encode())
                                       for k, v in params.items()))
        self.process = None
        self.main_window = None
        self.windows_pid = None

    def start(self, wait=True, lifetime_seconds=300):
        """Starts the program, ended after lifetime_seconds at the latest;
        with wait, also waits for its main window."""
        self.process = subprocess.Popen(
            ["timeout", "--kill-after=5", str(lifetime_seconds), self.environment.wine,
             os.path.join(self.folder, "Kovarentis.exe")],
            cwd=self.folder, env=dict(self.environment.wine_env, **self.unix_env),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if wait:
            self.wait_for_main_window()
        return self

    def wait_for_main_window(self, timeout=20):
        """The hidden main window of this agent."""
        self.main_window = self.environment.find(SITE_CAPTION, wait=timeout)
        assert self.main_window, "the agent's main window did not appear"
        self.windows_pid = self.environment.info(self.main_window)["process"]
        return self.main_window

    def ended(self, timeout):
        """True when the process has ended within the time."""
        try:
            self.process.wait(timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def running(self):
        return self.process is not None and self.process.poll() is None

    def windows(self):
        return self.environment.windows_of(self.windows_pid)

    def modules(self):
        return self.environment.modules(self.windows_pid)

    def find_own(self, caption, wait):
        """A top-level window of this agent with the caption."""
        def look():
            for handle, visible, _, _, text in self.windows():
                if text == caption and visible:
                    return handle
            return None
        return wait_until(look, wait, step=0.2)

    def tray_window(self):
        for handle, _, _, class_name, _ in self.windows():
            if class_name == TRAY_WINDOW_CLASS:
                return handle
        return None

    def command(self, menu_id):
        """The tray menu's item, as the tray hands it to the main window."""
        assert self.environment.post(self.main_window, TRAY_COMMAND_MESSAGE, COMMAND_OF_MENU_ID[menu_id], 0)

    def stop(self):
        """Ends the agent: Close first (after cancelling a sign-in dialog,
        which may hold the main window's thread), the hard way when that does
        not work."""
        if not self.running():
            return
        if self.windows_pid:
            for handle, visible, _, _, text in self.windows():
                if visible and text == SIGN_IN_CAPTION:
                    self.environment.post(handle, WM_COMMAND, IDCANCEL, 0)
        if self.main_window:
            self.environment.post(self.main_window, WM_COMMAND, ID_CLOSE, 0)
            if self.ended(10):
                return
        if self.windows_pid:
            self.environment.probe("kill", self.windows_pid)
        if not self.ended(10):
            self.process.terminate()  # timeout hands the signal on to Wine
            if not self.ended(10):
                self.process.kill()
            self.process.wait(10)


class Journey(unittest.TestCase):
    """A test case that runs agents on their desktop against the stand-in.
    Each test starts without stored credentials and ends its agents."""

    @classmethod
    def setUpClass(cls):
        cls.env = Environment()
        cls.standin = Standin()
        cls.server = os.environ.get("KOV_STANDIN_SERVER", "http://127.0.0.1")

    def setUp(self):
        self.standin.reset()
        self.env.reg_delete(AGENT_KEY)
        self.agents = []

    def tearDown(self):
        self.standin.reset()  # ends requests that hang
        for agent in self.agents:
            agent.stop()
        self.env.reg_delete(AGENT_KEY)

    def new_agent(self, name=None, unix_env=None, agent_exe=None, **params):
        """An agent (not started) whose Params.ini names the stand-in and a
        one-second poll period, plus the given settings; agent_exe replaces
        the build's executable."""
        agent = Agent(self.env, name or self.id().rsplit(".", 1)[-1],
                      dict({"Server": self.server, "RequestTimeout": 1}, **params), unix_env, agent_exe)
        self.agents.append(agent)
        return agent

    # --- the sign-in dialog

    def sign_in_dialog(self, agent, wait=15):
        dialog = agent.find_own(SIGN_IN_CAPTION, wait)
        self.assertIsNotNone(dialog, "no sign-in dialog")
        return dialog

    def ok_enabled(self, dialog):
        return self.env.info(self.env.item(dialog, IDOK))["enabled"] == 1

    def type_into(self, dialog, control_id, text):
        """Types the text into the field in place of what it holds."""
        field = self.env.item(dialog, control_id)
        self.env.click_window(field)
        self.env.send(field, EM_SETSEL, 0, 0x7FFFFFFF)
        self.env.type_text(text)

    def remember_checked(self, dialog):
        return self.env.send(self.env.item(dialog, IDC_REMEMBER), BM_GETCHECK) == 1

    def sign_in(self, dialog, login, password):
        self.type_into(dialog, IDC_LOGIN, login)
        self.type_into(dialog, IDC_PASSWORD, password)
        self.env.key("Return")
        self.assertTrue(self.env.gone(dialog, 10), "the sign-in dialog stayed open")

    # --- the tray

    def tray_icon(self):
        box = wait_until(lambda: tray_icon_box(self.env), 10)
        self.assertIsNotNone(box, "no tray icon")
        return box

    def tray_tooltip(self, expected):
        """Points at the tray icon until its tooltip reads as expected (a
        text, or any text of a set; the agent applies a reply after the
        request has arrived); returns the text read, or a tuple of the
        tooltips last seen. The pointer stays there."""
        box = self.tray_icon()
        shown, seen = self.env.hover_for_tooltip((box[0] + box[2]) // 2, (box[1] + box[3]) // 2,
                                                 expected, 15)
        return shown or tuple(seen)

    def move_pointer_away(self):
        """Moves the pointer off the tray and waits for the tooltip to go."""
        self.env.xdotool("mousemove", DESKTOP_SIZE[0] // 2, DESKTOP_SIZE[1] // 2)
        wait_until(lambda: not any(text.startswith(BOX_CAPTION + ":")
                                   for text in self.env.tooltips()), 5)

    def icon_frames(self, seconds):
        """The distinct images of the tray icon seen within the time."""
        box = self.tray_icon()
        frames = set()
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            frames.add(self.env.pixels(box))
        return frames

    def open_tray_menu(self):
        """Right-clicks the tray icon; returns the menu's screen rectangle."""
        box = self.tray_icon()
        self.env.click((box[0] + box[2]) // 2, (box[1] + box[3]) // 2, button=3)
        menu = self.env.find("", MENU_CLASS, wait=5)
        self.assertIsNotNone(menu, "no tray menu")
        return self.env.info(menu)["rect"]

    # --- message boxes

    def box_text(self, box):
        return self.env.info(self.env.item(box, BOX_TEXT_ID))["text"]

    def own_boxes(self, agent):
        return [w[0] for w in agent.windows() if w[4] == BOX_CAPTION and w[1]]

    # --- the service

    def wait_for_requests(self, count, timeout=15):
        self.assertIsNotNone(self.standin.wait_for_requests(count, timeout),
                             "fewer than %d requests: %s" % (count, self.standin.requests()))
        return self.standin.requests()

    def wait_for_request(self, predicate, start=0, timeout=15):
        """The index of the first request from `start` on that satisfies the
        predicate, waiting for it to arrive."""
        def look():
            for index, path in enumerate(self.standin.requests()[start:], start):
                if predicate(path):
                    return index + 1  # true even for index 0
            return None
        found = wait_until(look, timeout, step=0.2)
        self.assertIsNotNone(found, "no such request after #%d: %s"
                             % (start, self.standin.requests()[start:]))
        return found - 1

    def quiet_requests(self, seconds, timeout=20):
        """The number of requests once none has arrived for the time."""
        counts = [len(self.standin.requests())]

        def quiet():
            time.sleep(seconds)
            counts.append(len(self.standin.requests()))
            return counts[-1] == counts[-2]
        self.assertTrue(wait_until(quiet, timeout, step=0), "the requests do not stop")
        return counts[-1]


if __name__ == "__main__":
    if sys.argv[1:] == ["desktop", "on"]:
        Environment().use_agent_desktop()
    elif sys.argv[1:] == ["desktop", "off"]:
        Environment().release_agent_desktop()
    else:
        sys.exit("usage: harness.py desktop on|off")
