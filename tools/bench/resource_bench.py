#!/usr/bin/env python3
"""Measuring side of resource_bench.sh: finds a program's Wine process from
Linux, samples it over a window, signs in to the stand-in service, and prints
the side-by-side report.

    resource_bench.py find PREFIX EXE WAIT
        pid of the Wine process of prefix PREFIX running EXE (file name),
        waiting up to WAIT seconds for it to appear
    resource_bench.py measure PREFIX PID STATE PROGRAM SECONDS INTERVAL OUT PROBE...
        sample PID for SECONDS and append one JSON record to OUT; at the end
        of the window, PROBE... PROGRAM.exe (process_probe.exe through
        run.sh) counts its handles, GDI objects and windows
    resource_bench.py sign-in SERVER LOGIN PASSWORD
        print the token the service issues (reply "0 TOKEN")
    resource_bench.py startup PREFIX RUN_SH STATE OUT ROUNDS HOST AGENT REFERENCE OBJECT PERIOD_MS
        start the agent (AGENT, its Params.ini pointing at http://HOST) and
        the reference (REFERENCE idle HOST OBJECT PERIOD_MS) ROUNDS times each, in
        turn, through RUN_SH STATE, and append their start-up times to OUT
    resource_bench.py report OUT NAME=PATH...
        print the table, the executable sizes and the goals

A process is sampled through /proc: VmRSS and Threads from status, utime +
stime from stat (whole clock ticks, 10 ms here), and the process CPU clock,
which counts nanoseconds over all its threads, dead ones included: a tray
program at rest uses less than a tick a minute, so only the exact clock can
tell 2x the baseline from noise. The Wine services that do work on a tray
program's behalf (wineserver, and explorer.exe, which draws the tray icons)
are charged to the state in which they ran; the bench runs one program at a
time so that this is fair.
"""
import hashlib
import json
import os
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
from prefix_processes import prefix_processes  # noqa: E402
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from startup_timing import FirstRequestListener, time_startup, tray_icon_shown  # noqa: E402

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
WINE_SERVICES = ("wineserver", "wineserver64", "explorer.exe")
WINE_THREAD_PREFIX = "wine_"  # Wine names the helper threads it starts itself
GOAL_IDLE_CPU_RATIO = 1.25
GOAL_PRIVATE_RATIO = 1.15
GOAL_MAX_THREADS = 4
GOAL_STARTUP_MS = 100
GOAL_EXE_KIB = 400


def _read(path, mode="r"):
    try:
        with open(path, mode) as f:
            return f.read()
    except OSError:
        return None


def _program_name(argv0):
    """File name of a Wine command line's first word, Unix or Windows path."""
    return argv0.replace("\\", "/").rsplit("/", 1)[-1].lower()


def find_process(prefix, exe):
    for pid, argv in prefix_processes(prefix):
        if _program_name(argv[0]) == exe.lower():
            return pid
    return None


def cpu_clock_ns(pid):
    """Exact CPU time of the whole process (Linux's process CPU clock id)."""
    try:
        return time.clock_gettime_ns(((~pid) << 3) | 2)
    except OSError:
        return None


def _status_fields(pid):
    """(VmRSS KiB, RssAnon KiB, Threads) or None when the process is gone."""
    text = _read(f"/proc/{pid}/status")
    if text is None:
        return None
    fields = dict(line.split(":", 1) for line in text.splitlines() if ":" in line)
    return (int(fields["VmRSS"].split()[0]), int(fields["RssAnon"].split()[0]),
            int(fields["Threads"]))


def _thread_names(pid):
    """Linux names of the threads (Wine names its own helper threads)."""
    try:
        tids = sorted(os.listdir(f"/proc/{pid}/task"), key=lambda t: (int(t) != pid, int(t)))
    except OSError:
        return []
    names = []
    for tid in tids:
        name = _read(f"/proc/{pid}/task/{tid}/comm")
        if name is not None:
            names.append(name.strip())
    return names


def _stat_ticks(pid):
    text = _read(f"/proc/{pid}/stat")
    if text is None:
        return None
    after_name = text.rsplit(")", 1)[1].split()
    return int(after_name[11]) + int(after_name[12])  # utime + stime


def _main_thread_ns(pid):
    """CPU time of the process's first thread, the UI thread of both programs."""
    text = _read(f"/proc/{pid}/task/{pid}/schedstat")
    return int(text.split()[0]) if text else None


def _services_cpu_ns(prefix):
    total = 0
    for pid, argv in prefix_processes(prefix):
        if _program_name(argv[0]) in WINE_SERVICES:
            total += cpu_clock_ns(pid) or 0
    return total


def anonymous_regions(pid, smallest_kib=64):
    """Private anonymous memory by mapping, largest first: [resident KiB, size
    KiB, what] for each anonymous mapping (or the Unix heap) holding at least
    smallest_kib. Under Wine each thread has a region of its own (stack and
    the area Wine keeps for it), so this shows what the threads cost."""
    text = _read(f"/proc/{pid}/smaps")
    if text is None:
        return []
    regions, current = [], None
    for line in text.splitlines():
        parts = line.split()
        if parts and "-" in parts[0] and not parts[0].endswith(":"):
            start, end = (int(x, 16) for x in parts[0].split("-"))
            name = parts[5] if len(parts) > 5 else ""
            current = [0, (end - start) // 1024, name or "anonymous"] if name in ("", "[heap]") else None
        elif current is not None and parts[0] == "Anonymous:" and int(parts[1]) >= smallest_kib:
            current[0] = int(parts[1])
            regions.append(current)
    return sorted(regions, reverse=True)


def measure(prefix, pid, seconds, interval):
    """Samples PID for SECONDS; None when it is gone before the end."""
    start_ns, start_ticks = cpu_clock_ns(pid), _stat_ticks(pid)
    start_main = _main_thread_ns(pid)
    start_services = _services_cpu_ns(prefix)
    if start_ns is None or start_ticks is None:
        return None
    rss, anon, threads, own, names_at_peak = [], [], [], [], []
    began = time.monotonic()
    while time.monotonic() - began < seconds:
        fields = _status_fields(pid)
        if fields is None:
            return None
        names = _thread_names(pid)
        if not threads or fields[2] > max(threads):
            names_at_peak = names
        rss.append(fields[0])
        anon.append(fields[1])
        threads.append(fields[2])
        own.append(sum(1 for n in names if not n.startswith(WINE_THREAD_PREFIX)))
        time.sleep(interval)
    regions = anonymous_regions(pid)
    end_ns, end_ticks, end_main = cpu_clock_ns(pid), _stat_ticks(pid), _main_thread_ns(pid)
    if end_ns is None or end_ticks is None or end_main is None or start_main is None:
        return None
    minutes = (time.monotonic() - began) / 60
    return {
        "seconds": round(minutes * 60, 1),
        "samples": len(rss),
        "rss_kib_mean": round(sum(rss) / len(rss)),
        "rss_kib_max": max(rss),
        "anon_kib_mean": round(sum(anon) / len(anon)),
        "anon_kib_max": max(anon),
        "threads_min": min(threads),
        "threads_max": max(threads),
        "own_threads_max": max(own),
        "thread_names_at_peak": names_at_peak,
        "anonymous_regions_at_end": regions,
        "cpu_ms_per_min": (end_ns - start_ns) / 1e6 / minutes,
        "main_thread_ms_per_min": (end_main - start_main) / 1e6 / minutes,
        "cpu_stat_ms_per_min": (end_ticks - start_ticks) * 1000 / CLOCK_TICKS / minutes,
        "wine_services_ms_per_min": (_services_cpu_ns(prefix) - start_services) / 1e6 / minutes,
    }


def probe_counts(command, env=None):
    """{"handles", "gdi", "windows"} from process_probe.exe's line; {} when
    it printed none (the process is gone, the probe failed)."""
    try:
        result = subprocess.run(command, capture_output=True, text=True, timeout=60, env=env)
    except subprocess.TimeoutExpired:
        return {}
    for line in result.stdout.splitlines():
        fields = dict(part.split("=", 1) for part in line.split() if "=" in part)
        if {"handles", "gdi", "windows"} <= fields.keys():
            return {key: int(fields[key]) for key in ("handles", "gdi", "windows")}
    return {}


def sign_in(server, login, password):
    digest = hashlib.md5(password.encode("cp1251")).hexdigest()
    query = urllib.parse.urlencode({"do": "login", "login": login, "password": digest})
    with urllib.request.urlopen(f"{server}/newmessages?{query}", timeout=10) as reply:
        body = reply.read().decode("cp1251")
    if not body.startswith("0") or len(body) < 3:
        raise SystemExit(f"sign-in refused: {body!r}")
    return body[2:]


# --- report ------------------------------------------------------------------

STATE_TITLES = {"baseline": "at rest", "online": "online idle, http", "https": "online idle, https",
                "blinking": "blinking (3 messages)", "connecting": "connecting, box open"}
AGENT, REFERENCE, BASELINE = "Kovarentis", "same_work_tray", "baseline_tray"
STATES = ("online", "https", "blinking", "connecting")


def _load_records(path):
    records = {}
    if os.path.exists(path):
        with open(path) as f:
            for line in f:
                record = json.loads(line)
                records[(record["state"], record["program"])] = record
    return records


def _measured(record):
    return record is not None and not record.get("error")


def _row(record):
    title = STATE_TITLES.get(record["state"], record["state"])
    head = f"{record['program']:<15} {title:<26}"
    if record.get("error"):
        return f"{head} {record['error']}"
    counts = " ".join(f"{record.get(key, '-'):>5}" for key in ("handles", "gdi", "windows"))
    return (f"{head} {record['rss_kib_mean']:>7} {record['rss_kib_max']:>7}"
            f" {record.get('anon_kib_mean', record['anon_kib_max']):>7} {record['anon_kib_max']:>7}"
            f" {record['threads_max']:>7} {record['own_threads_max']:>5}"
            f" {record['cpu_ms_per_min']:>9.1f}"
            f" {record['cpu_stat_ms_per_min']:>8.0f} {record['wine_services_ms_per_min']:>9.1f} {counts}")


def _ratio_row(state, agent, reference):
    def ratio(key):
        return agent[key] / max(reference[key], 1e-3)
    return (f"{'agent/reference':<15} {STATE_TITLES[state]:<26} {ratio('rss_kib_mean'):>7.2f}"
            f" {ratio('rss_kib_max'):>7.2f} {ratio('anon_kib_mean'):>7.2f} {ratio('anon_kib_max'):>7.2f}"
            f" {ratio('threads_max'):>7.2f} {ratio('own_threads_max'):>5.2f} {ratio('cpu_ms_per_min'):>9.2f}"
            f" {'':>8} {ratio('wine_services_ms_per_min'):>9.2f}")


def _strip_size(path):
    """Size of a stripped copy, or None without a strip tool for the file."""
    with tempfile.TemporaryDirectory() as scratch:
        copy = os.path.join(scratch, "stripped.exe")
        for strip in ("x86_64-w64-mingw32-strip", "i686-w64-mingw32-strip"):
            if subprocess.run([strip, "-o", copy, path], capture_output=True).returncode == 0:
                return os.path.getsize(copy)
    return None


def _verdict(ok):
    return "meets" if ok else "MISSES"


def _median(values):
    seen = sorted(v for v in values if v is not None)
    if not seen:
        return None
    middle = len(seen) // 2
    return seen[middle] if len(seen) % 2 else (seen[middle - 1] + seen[middle]) / 2


def _startup_lines(records):
    agent, reference = records.get(("startup", AGENT)), records.get(("startup", REFERENCE))
    if not agent or not reference:
        return []
    lines = [f"{'start-up, ms after the process started':<40} {'icon':>16} {'first request':>22}"]
    for label, record in ((AGENT, agent), (REFERENCE, reference)):
        def shown(key):
            values = ", ".join("-" if v is None else str(v) for v in record[key])
            median = _median(record[key])
            return f"{'-' if median is None else round(median):>5} ({values})"
        lines.append(f"  {label:<38} {shown('icon_ms'):>16} {shown('request_ms'):>22}")
    lines.append("  (median, then every round; - when not seen within 30 s)")
    return lines


def _state_goal_lines(state, agent, reference):
    title = STATE_TITLES[state]
    ratio = agent["cpu_ms_per_min"] / max(reference["cpu_ms_per_min"], 1e-3)
    lines = [f"{title}: CPU {agent['cpu_ms_per_min']:.1f} ms/min vs reference"
             f" {reference['cpu_ms_per_min']:.1f}: {ratio:.2f}x (goal at most"
             f" {GOAL_IDLE_CPU_RATIO}x): {_verdict(ratio <= GOAL_IDLE_CPU_RATIO)}"]
    if "main_thread_ms_per_min" in agent and "main_thread_ms_per_min" in reference:
        def split(record):
            ui = record["main_thread_ms_per_min"]
            return f"{ui:.1f} + {record['cpu_ms_per_min'] - ui:.1f}"
        lines.append(f"{title}: of which UI thread + the others {split(agent)} vs {split(reference)} ms/min")
    ratio = agent["anon_kib_max"] / reference["anon_kib_max"]
    lines.append(f"{title}: private (anon, peak) {agent['anon_kib_max']} KiB vs reference"
                 f" {reference['anon_kib_max']} KiB: {ratio:.2f}x (goal at most"
                 f" {GOAL_PRIVATE_RATIO}x): {_verdict(ratio <= GOAL_PRIVATE_RATIO)};"
                 f" resident {agent['rss_kib_max']} vs {reference['rss_kib_max']} KiB")
    return lines


def _goal_lines(records, sizes):
    lines = []
    for state in STATES:
        agent, reference = records.get((state, AGENT)), records.get((state, REFERENCE))
        if _measured(agent) and _measured(reference):
            lines.extend(_state_goal_lines(state, agent, reference))
    agent_states = [r for (s, p), r in records.items() if p == AGENT and s in STATES and _measured(r)]
    if agent_states:
        own = max(r["own_threads_max"] for r in agent_states)
        most = max(r["threads_max"] for r in agent_states)
        lines.append(f"threads: the agent ran {own} of its own at most ({most} with Wine's wine_*"
                     f" threads; goal never more than {GOAL_MAX_THREADS}): {_verdict(own <= GOAL_MAX_THREADS)}")
    agent, ref = records.get(("startup", AGENT)), records.get(("startup", REFERENCE))
    if agent and ref and _median(agent["request_ms"]) is not None and _median(ref["request_ms"]) is not None:
        late = _median(agent["request_ms"]) - _median(ref["request_ms"])
        lines.append(f"start to first request with stored credentials: {_median(agent['request_ms']):.0f} ms"
                     f" vs reference {_median(ref['request_ms']):.0f} ms: {late:+.0f} ms (goal within"
                     f" {GOAL_STARTUP_MS} ms): {_verdict(late <= GOAL_STARTUP_MS)}")
    product = sizes.get("Kovarentis.exe i686")
    if product and os.path.exists(product):
        kib = os.path.getsize(product) / 1024
        lines.append(f"Kovarentis.exe i686: {kib:.0f} KiB (goal under {GOAL_EXE_KIB} KiB): {_verdict(kib < GOAL_EXE_KIB)}")
    return lines


def report(path, sizes):
    records = _load_records(path)
    print(f"{'program':<15} {'state':<26} {'resident KiB':>15} {'private KiB':>15} {'threads':>13}"
          f" {'CPU ms/min':>18} {'Wine svc':>9} {'hndl':>5} {'gdi':>5} {'wnds':>5}")
    print(f"{'':<15} {'':<26} {'mean':>7} {'peak':>7} {'mean':>7} {'peak':>7} {'peak':>7} {'own':>5}"
          f" {'exact':>9} {'stat':>8} {'ms/min':>9}")
    baseline = records.get(("baseline", BASELINE))
    if baseline:
        print(_row(baseline))
    for state in STATES:
        agent, reference = records.get((state, AGENT)), records.get((state, REFERENCE))
        if agent:
            print(_row(agent))
        if reference:
            print(_row(reference))
        if _measured(agent) and _measured(reference):
            print(_ratio_row(state, agent, reference))
    print("resident: VmRSS; private: RssAnon (heap, stacks: what the program itself holds).")
    print("threads: most in one sample; own: without the helper threads Wine names wine_*.")
    print("CPU exact: the process CPU clock (all its threads, ended ones too); stat: utime+stime in")
    print("whole ticks. Wine svc: wineserver and explorer.exe (which draws the tray) in the same")
    print("window, beside the program's own figures, not in them. hndl, gdi, wnds: kernel handles,")
    print("GDI objects and windows at the end of the window (process_probe.exe).")
    print()
    for (state, program), record in sorted(records.items()):
        if record.get("thread_names_at_peak"):
            print(f"threads at the peak, {program}, {STATE_TITLES.get(state, state)}:"
                  f" {', '.join(record['thread_names_at_peak'])}")
    print()
    print("private memory at the end of the window by mapping, KiB resident/size (64 KiB or more):")
    for (state, program), record in sorted(records.items()):
        if record.get("anonymous_regions_at_end"):
            shown = ", ".join(f"{r}/{z} {w}" for r, z, w in record["anonymous_regions_at_end"])
            print(f"  {program}, {STATE_TITLES.get(state, state)}: {shown}")
    print()
    for line in _startup_lines(records):
        print(line)
    print()
    print(f"{'executable':<28} {'KiB':>7} {'stripped KiB':>13}")
    for name, exe in sizes.items():
        if not os.path.exists(exe):
            print(f"{name:<28} {'missing':>7}")
            continue
        stripped = _strip_size(exe)
        shown = f"{stripped / 1024:.0f}" if stripped is not None else "-"
        print(f"{name:<28} {os.path.getsize(exe) / 1024:>7.0f} {shown:>13}")
    print()
    for line in _goal_lines(records, sizes):
        print(line)


def _stop(program, prefix, exe):
    program.terminate()
    try:
        program.wait(timeout=20)
    except subprocess.TimeoutExpired:
        program.kill()
        program.wait()
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline and (find_process(prefix, exe)
                                           or tray_icon_shown(os.environ["DISPLAY"])):
        time.sleep(0.1)


def startup(prefix, run_sh, state, out, rounds, host, agent, reference, object_name, period_ms):
    programs = [("Kovarentis", agent, [agent]),
                ("same_work_tray", reference, [reference, "idle", host, object_name, period_ms])]
    times = {label: {"icon_ms": [], "request_ms": []} for label, _, _ in programs}
    listener = FirstRequestListener(host)
    try:
        for _ in range(int(rounds)):
            for label, exe_path, args in programs:
                exe = os.path.basename(exe_path)
                result, program = time_startup([run_sh, state] + args,
                                               lambda: find_process(prefix, exe), listener,
                                               os.environ["DISPLAY"])
                _stop(program, prefix, exe)
                for key, value in result.items():
                    times[label][key].append(value)
    finally:
        listener.close()
    with open(out, "a") as f:
        for label, record in times.items():
            f.write(json.dumps({"state": "startup", "program": label, **record}) + "\n")


def main(argv):
    command, args = argv[1], argv[2:]
    if command == "find":
        prefix, exe, wait = args
        deadline = time.monotonic() + float(wait)
        while True:
            pid = find_process(prefix, exe)
            if pid or time.monotonic() >= deadline:
                break
            time.sleep(0.2)
        if not pid:
            return 1
        print(pid)
    elif command == "measure":
        prefix, pid, state, program, seconds, interval, out = args[:7]
        result = measure(prefix, int(pid), float(seconds), float(interval))
        record = {"state": state, "program": program}
        record.update(result or {"error": f"{program} ended during the window"})
        if result:
            record.update(probe_counts(args[7:] + [program + ".exe"]))
        with open(out, "a") as f:
            f.write(json.dumps(record) + "\n")
        return 0 if result else 1
    elif command == "sign-in":
        print(sign_in(*args))
    elif command == "startup":
        startup(*args)
    elif command == "report":
        report(args[0], dict(a.split("=", 1) for a in args[1:]))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
