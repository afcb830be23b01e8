#!/usr/bin/env python3
"""The demo's guided tour, for a machine without a display: drives the agent
that tools/demo.sh started on a 1024x768 Wine desktop under Xvfb, as a
consultant and a client would, and prints one line per step: what the
stand-in service received and what the consultant sees (the tray tooltip; at
Away, which icon the tray shows). Each step leaves a screenshot in the shots
folder.

    tour.py --wine-state DIR --agent-exe EXE --probe EXE --desktop NAME
            --control ADDR:PORT --shots DIR [--away-minutes N] [--poll-seconds N]

Exits 0 when every step showed what it should, 1 at the first one that did
not. The agent starts without stored credentials and ends closed.
"""
import argparse
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
# The agent journeys' helpers: the probe, finding windows, the screen.
sys.path.insert(0, os.path.join(ROOT, "tests", "shell", "agent"))
import harness  # noqa: E402
from harness import SIGN_IN_CAPTION, SITE_CAPTION, IDC_LOGIN, IDC_PASSWORD, wait_until  # noqa: E402
from service_log import ServiceLog, record_field, summarise  # noqa: E402
from tray_picture import agent_pictures, picture_name  # noqa: E402
from tray_menu import MAIN_MENU, SIGNED_OUT_MENU, item_centre  # noqa: E402

CLIENT = os.path.join(ROOT, "tools", "standin", "client.py")
DEMO_LOGIN = DEMO_PASSWORD = "demo"
MESSAGES = 3
STEPS = 8

TIP_ONLINE = "Kovarentis : Онлайн"
AWAY_PICTURE = "away.ico"
TIP_MESSAGES = "Kovarentis : Новых сообщений %d" % MESSAGES
TIP_SIGNED_OUT = "Kovarentis : Вы не вошли"
MENU_CLASS = "#32768"
# Seconds to wait for the agent to show what a step expects (beyond the poll
# period), and for the first window of a fresh Wine desktop.
SETTLE_SECONDS = 20
FIRST_WINDOW_SECONDS = 90


class TourFailed(Exception):
    pass


class Tour:
    def __init__(self, env, log, options):
        self.env = env
        self.log = log
        self.options = options
        self.number = 0
        self.icon = None          # centre of the tray icon
        self.dialog = None        # the sign-in dialog
        self.main_window = None
        self.pictures = agent_pictures()

    # --- reporting

    def finish(self, title, received, seen, shots, failure=None):
        """Prints the step's line (the screenshots are already taken) and
        stops the tour when the step failed. `received` is in words, `seen`
        what the consultant sees: "Tooltip: ..." or "Tray icon: ..."."""
        names = ", ".join(os.path.basename(path) for path in shots)
        print(f"[{self.number}/{STEPS}] {title}. Service received: {received}. "
              f"{seen}. Screenshot: {names}", flush=True)
        if failure:
            raise TourFailed(f"step {self.number}: {failure}")

    def next_shot(self, name):
        """The path of the next screenshot of the current step, taken now."""
        return self.env.screenshot(os.path.join(self.options.shots, f"{self.number:02d}-{name}.png"))

    def begin(self):
        self.number += 1

    # --- the tray

    def hover_tooltip(self, expected):
        """Points at the tray icon (from a little way off, as a hand would)
        until its tooltip reads as expected; the pointer stays on the icon.
        Returns (shown, the text to report)."""
        shown, seen = self.env.hover_for_tooltip(*self.icon, expected, SETTLE_SECONDS)
        return shown, tooltip_text(expected if shown else None, seen)

    def tray_picture(self):
        """The file name of the agent's icon that the tray shows, or None."""
        box = harness.tray_icon_box(self.env)
        return picture_name(self.env.pixels(box), self.pictures) if box else None

    def presence_and_picture(self, presence, picture, timeout):
        """The service's record of the consultant's presence and the tray's
        icon, read until they are as wanted or the time runs out; neither
        moves the pointer."""
        seen = [None, None]

        def look():
            seen[:] = record_field(self.client("presence", DEMO_LOGIN), "presence"), self.tray_picture()
            return seen == [presence, picture]
        wait_until(look, timeout, step=0.5)
        return seen

    def open_menu(self):
        """The open popup menu's rectangle, or None."""
        handle = self.env.find("", MENU_CLASS)
        info = self.env.info(handle) if handle else None
        return info["rect"] if info and info["visible"] else None

    def choose_from_menu(self, layout, label, shot_name):
        """Right click on the icon, point at the item (screenshot), click."""
        self.env.click(*self.icon, button=3)
        menu = wait_until(self.open_menu, 5, step=0.2)
        if not menu:
            raise TourFailed(f"step {self.number}: the tray menu did not open")
        point = item_centre(menu, layout, label)
        if not point:
            raise TourFailed(f"step {self.number}: the tray menu is too small for its items")
        self.env.xdotool("mousemove", *point)
        time.sleep(0.5)
        shot = self.next_shot(shot_name)
        self.env.xdotool("click", 1)
        return shot

    def client(self, *command):
        """Runs the stand-in's client, as a person would from a terminal;
        returns what it printed."""
        result = subprocess.run([sys.executable, "-B", CLIENT, "--control", self.options.control,
                                 *map(str, command)], stdout=subprocess.PIPE, check=False)
        if result.returncode != 0:
            raise TourFailed(f"step {self.number}: client.py {command[0]} failed")
        return result.stdout.decode("utf-8", "replace")

    # --- the steps

    def run(self):
        self.sign_in_dialog()
        self.signed_in()
        self.messages_arrive()
        self.messages_read()
        self.rest_until_away()
        self.move_back_online()
        self.sign_out()
        self.close()

    def sign_in_dialog(self):
        self.begin()
        self.dialog = self.env.find(SIGN_IN_CAPTION, wait=FIRST_WINDOW_SECONDS)
        if not self.dialog:
            raise TourFailed("step 1: the sign-in dialog did not appear")
        for control, text in ((IDC_LOGIN, DEMO_LOGIN), (IDC_PASSWORD, DEMO_PASSWORD)):
            self.env.click_window(self.env.item(self.dialog, control))
            self.env.type_text(text)
        shot = self.next_shot("sign-in")
        self.finish(f'The agent starts with nobody signed in and asks; typed login "{DEMO_LOGIN}", '
                    f'password "{DEMO_PASSWORD}"', summarise(self.log.read_new()),
                    "Tooltip: none yet (the tray icon comes after the sign-in)", [shot])

    def signed_in(self):
        self.begin()
        self.env.key("Return")
        if not self.env.gone(self.dialog, 10):
            raise TourFailed("step 2: the sign-in dialog stayed open")
        online, received = self.log.wait_for("status online", SETTLE_SECONDS)
        self.main_window = self.env.find(SITE_CAPTION, wait=10)
        self.icon = centre(wait_until(lambda: harness.tray_icon_box(self.env), 10))
        if not self.icon:
            raise TourFailed("step 2: no tray icon")
        shown, tooltip = self.hover_tooltip(TIP_ONLINE)
        received += self.log.read_new()
        self.finish("Enter: signed in, the agent polls every %d s" % self.options.poll_seconds,
                    summarise(received), tooltip, [self.next_shot("online")],
                    expectation(online and shown, "Online after the sign-in"))

    def messages_arrive(self):
        self.begin()
        self.client("send-messages", DEMO_LOGIN, MESSAGES)
        shown, tooltip = self.hover_tooltip(TIP_MESSAGES)
        time.sleep(1)  # a blink frame or two, for the screenshot
        self.finish(f"A client sends {MESSAGES} messages (client.py send-messages {DEMO_LOGIN} "
                    f"{MESSAGES}): the icon blinks", summarise(self.log.read_new()), tooltip,
                    [self.next_shot("messages")], expectation(shown, "the new-message count"))

    def messages_read(self):
        self.begin()
        self.client("set-messages", DEMO_LOGIN, 0)
        shown, tooltip = self.hover_tooltip(TIP_ONLINE)
        self.finish(f"The consultant reads them on the site (client.py set-messages {DEMO_LOGIN} 0)",
                    summarise(self.log.read_new()), tooltip, [self.next_shot("read")],
                    expectation(shown, "Online without messages"))

    def rest_until_away(self):
        self.begin()
        # The agent samples the pointer every 3 s, and the hovers so far have
        # left it on the icon's centre: come to rest on another point of the
        # icon, so that the agent sees one last move now.
        x, y = self.icon
        self.env.xdotool("mousemove", x - 2, y - 2)
        resting = time.monotonic()
        limit = self.options.away_minutes * 60 + SETTLE_SECONDS + self.options.poll_seconds
        away, received = self.log.wait_for("status away", limit)
        seconds = time.monotonic() - resting
        # The tooltip that a hover brought up has gone by now; the service's
        # record and the icon's pixels tell Away without moving the pointer.
        presence, picture = self.presence_and_picture("away", AWAY_PICTURE,
                                                      SETTLE_SECONDS if away else 0)
        icon = picture or "none of the agent's icons"
        missing = [text for met, text in ((away, f"no status away within {limit} s"),
                                          (presence == "away", f"the service's record says {presence}"),
                                          (picture == AWAY_PICTURE, f"the tray shows {icon}"))
                   if not met]
        self.finish("The pointer rests on the icon; %d s later (AwayTimeout %d min): Away, "
                    "the icon with a clock" % (seconds, self.options.away_minutes),
                    f"{summarise(received)}; its record (client.py presence): {presence}",
                    f"Tray icon: {icon}", [self.next_shot("away")],
                    "expected Away: " + "; ".join(missing) if missing else None)

    def move_back_online(self):
        self.begin()
        width, height = harness.DESKTOP_SIZE
        for x, y in ((width // 2, height // 2), (width // 3, height // 3)):
            self.env.xdotool("mousemove", x, y)
            time.sleep(0.3)
        online, received = self.log.wait_for("status online", SETTLE_SECONDS)
        shown, tooltip = self.hover_tooltip(TIP_ONLINE)
        received += self.log.read_new()
        self.finish("The mouse moves: back Online", summarise(received), tooltip,
                    [self.next_shot("online-again")],
                    expectation(online and shown, "Online after the move"))

    def sign_out(self):
        self.begin()
        menu_shot = self.choose_from_menu(MAIN_MENU, "Выйти", "menu")
        # A poll already under way may still arrive; after it, silence.
        time.sleep(1)
        at_click = self.log.read_new()
        quiet = 2 * self.options.poll_seconds
        time.sleep(quiet)
        later = self.log.read_new()
        received = summarise(at_click + later)
        if at_click and not later:
            received = f"{received} (a poll under way at the click), then nothing for {quiet} s"
        shown, tooltip = self.hover_tooltip(TIP_SIGNED_OUT)
        self.finish('Tray menu, "Выйти": signed out, the agent sends nothing more',
                    received, tooltip, [menu_shot, self.next_shot("signed-out")],
                    expectation(shown and not later, "signed out and silent"))

    def close(self):
        self.begin()
        menu_shot = self.choose_from_menu(SIGNED_OUT_MENU, "Закрыть", "close")
        closed = self.main_window is not None and self.env.gone(self.main_window, 15)
        self.finish('Tray menu, "Закрыть": the agent ends', summarise(self.log.read_new()),
                    "Tooltip: none (the icon is gone)", [menu_shot], expectation(closed, "the agent to end"))


def centre(box):
    return ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2) if box else None


def tooltip_text(expected, seen):
    if expected:
        return f'Tooltip: "{expected}"'
    return "Tooltip: " + (", ".join(f'"{text}"' for text in seen) if seen else "none shown")


def expectation(met, wanted):
    """None when the step showed what it should, else what was missing."""
    return None if met else f"expected {wanted}"


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description="The demo's guided tour")
    for name in ("--wine-state", "--agent-exe", "--probe", "--desktop", "--control", "--shots"):
        parser.add_argument(name, required=True)
    parser.add_argument("--away-minutes", type=int, default=1)
    parser.add_argument("--poll-seconds", type=int, default=3)
    return parser.parse_args(argv)


def environment(options):
    """The journeys' environment, with the probe on the demo's desktop."""
    os.makedirs(options.shots, exist_ok=True)
    os.environ.update(KOV_WINE_STATE=options.wine_state, KOV_AGENT_EXE=options.agent_exe,
                      KOV_AGENT_PROBE=options.probe, KOV_WORK_DIR=options.shots)
    env = harness.Environment()
    env.reg_set("Software\\Wine\\Explorer\\Desktops", options.desktop, "%dx%d" % harness.DESKTOP_SIZE)
    env.reg_set("Software\\Wine\\AppDefaults\\agent_probe.exe\\Explorer", "Desktop", options.desktop)
    return env


def main(argv):
    options = parse_arguments(argv)
    tour = Tour(environment(options), ServiceLog(options.control), options)
    started = time.monotonic()
    try:
        tour.run()
    except TourFailed as failure:
        print(f"The tour stopped: {failure}", file=sys.stderr, flush=True)
        return 1
    print(f"The tour is complete after {time.monotonic() - started:.0f} s; screenshots in "
          f"{options.shots}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
