#!/usr/bin/env python3
"""End-to-end cases of quillet.exe under Wine.

The suite runs quillet.exe itself in a Wine prefix of its own (null graphics driver, no display)
against Windows programs of ours that play the other parties: the Messaging program (tmail.exe),
the phone's software that owns Status15 (phonesvc.exe), a message store that Wine's real mapi32
loads (mapistore.dll) and a hook recorder (hookrec.exe). Every party records what it saw, with
time stamps on one clock; a case reads those records and checks what happened, in what order.

  run_e2e.py --setup ...          make the prefix (once per run; CTest's fixture set-up)
  run_e2e.py --case NAME ...      run one case in that prefix
  run_e2e.py --list               the case names
  run_e2e.py --list --hardening   the names of the cases that upset the program on purpose

Every Wine process runs under `timeout`, so that a hang fails a case instead of stalling it.
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

PROGRAM_TIMEOUT = 30  # seconds: the longest any single Wine program may run in a case
NOBODY_ANSWERS = 1.0  # seconds a menu is left unanswered in the case that needs it
PARTY_END = 10  # seconds a party may take to end once asked; then it is killed and the case fails
JAPANESE_FOLDER = "メール送受信"
BIN = r"C:\quillet\bin"
HOOK = BIN + r"\hookrec.exe"
WINDOW_LEFT, WINDOW_BOTTOM = 12, 24 + 520  # tmail's compose window: left and bottom edges

DEFAULT_PROFILE_LINES = [
    "[exec]",
    "# 送受信前に起動するアプリ",
    "before=",
    "",
    "# 送受信後に起動するアプリ",
    "after=",
    "",
    "# 送受信後に未送信メールがなかったときだけ起動するアプリ",
    "send=",
]
DEFAULT_PROFILE_BYTES = "".join(line + "\n" for line in DEFAULT_PROFILE_LINES).encode("utf-8")

WM_LBUTTONDOWN, WM_LBUTTONUP = 0x201, 0x202
# The program's window as another process reads it. The platform adds WS_CLIPSIBLINGS and
# WS_CAPTION to any top-level window made with style 0, and WS_EX_WINDOWEDGE with the caption;
# what the program chose shows in what is absent: WS_VISIBLE, WS_CHILD, WS_POPUP. For the same
# reason a window asked for at 0 by 0 is made as small as the platform lets a captioned window be.
CONTROL_WINDOW = {"process": "quillet.exe", "classstyle": "0x3", "style": "0x4c00000", "exstyle": "0x100",
                  "visible": "no", "toplevel": "yes", "owner": "0x0"}
# The same window's class and creation as the program asked for them, from Wine's +class and +win
# channels: (instance, background, class style, class and window extra bytes), and (title, extended
# style, style, x, y, width, height, parent, menu, instance, creation parameter).
CLASS_REGISTERED = re.compile(r'RegisterClass\w* name=L"HIDE_WINDOW"->L"HIDE_WINDOW" atom=\S+ wndproc=\S+ '
                              r'hinst=(\S+) bg=(\S+) style=([0-9a-f]+) clsExt=(\d+) winExt=(\d+)')
WINDOW_CREATED = re.compile(r'CreateWindowEx L"(.*)" L"HIDE_WINDOW" ex=([0-9a-f]+) style=([0-9a-f]+) '
                            r'(-?\d+),(-?\d+) (-?\d+)x(-?\d+) parent=(\S+) menu=(\S+) inst=(\S+) params=(\S+)')
EXIT_DONE, EXIT_ALREADY_RUNNING, EXIT_RUN_FAILED = 0, 1, 2


class CaseFailure(AssertionError):
    pass


def expect(condition, message):
    if not condition:
        raise CaseFailure(message)


# ------------------------------------------------------------------------------------------------
# The prefix and its programs


class Wine:
    def __init__(self, args):
        self.loader = args.wine
        self.work = Path(args.work).resolve()
        self.prefix = self.work / "prefix"
        self.bin_dir = Path(args.bin) if args.bin else None
        self.quillet = Path(args.quillet) if args.quillet else None
        self.wineserver = shutil.which("wineserver") or "/usr/lib/wine/wineserver"

    def drive_c(self):
        return self.prefix / "drive_c"

    def env(self, state=None, debug="fixme-all"):
        env = dict(os.environ)
        env.update(WINEPREFIX=str(self.prefix), WINEARCH="win64", WINEDEBUG=debug,
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        if state is not None:
            env["QUILLET_E2E_DIR"] = windows_path(self, state)
        return env

    def command(self, program, args, timeout):
        return ["timeout", "-k", "5", str(timeout), self.loader, program, *args]

    def run(self, program, args=(), timeout=PROGRAM_TIMEOUT, state=None, debug="fixme-all"):
        return subprocess.run(self.command(program, args, timeout), env=self.env(state, debug),
                              capture_output=True, timeout=timeout + 15, check=False)

    def start(self, program, args=(), timeout=PROGRAM_TIMEOUT, state=None, debug="fixme-all",
              stderr=subprocess.DEVNULL):
        return subprocess.Popen(self.command(program, args, timeout), env=self.env(state, debug),
                                stdout=subprocess.DEVNULL, stderr=stderr, start_new_session=True)

    def server(self, *flags):
        subprocess.run(["timeout", "60", self.wineserver, *flags], env=self.env(), check=False)


def windows_path(wine, path):
    relative = Path(path).resolve().relative_to(wine.drive_c())
    return "C:\\" + "\\".join(relative.parts)


REGISTRY = """Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]
"Graphics"="null"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\\Software{view}\\Clients\\Mail]
@="QuilletStore"

[HKEY_LOCAL_MACHINE\\Software{view}\\Clients\\Mail\\QuilletStore]
"DLLPathEx"="C:\\\\quillet\\\\bin\\\\mapistore.dll"
"""

# The PE header's machine field: the store must be of the program's word size, since the
# program's mapi32 loads it into the program's own process.
MACHINE_I386, MACHINE_AMD64 = 0x014C, 0x8664


def pe_machine(path):
    data = Path(path).read_bytes()
    header = int.from_bytes(data[0x3C:0x40], "little")
    expect(data[header:header + 4] == b"PE\0\0", f"{path} is not a PE image")
    return int.from_bytes(data[header + 4:header + 6], "little")


def registry_for(store):
    """A 32-bit program's mapi32 reads the mail client from the 32-bit view of the machine's
    software key, which a 64-bit prefix keeps under Wow6432Node."""
    machine = pe_machine(store)
    expect(machine in (MACHINE_I386, MACHINE_AMD64), f"{store}: unexpected machine {machine:#06x}")
    return REGISTRY.format(view="\\\\Wow6432Node" if machine == MACHINE_I386 else "")


def setup(wine):
    """Makes a fresh prefix: null graphics driver, the store DLL as the mail client's MAPI."""
    if wine.prefix.exists():
        wine.server("-k")
        shutil.rmtree(wine.prefix)
    wine.prefix.mkdir(parents=True)
    boot = subprocess.run(["timeout", "-k", "5", "150", wine.loader, "wineboot.exe", "--init"],
                          env=wine.env(), capture_output=True, check=False)
    expect(boot.returncode == 0, f"wineboot failed ({boot.returncode}): {boot.stderr.decode(errors='replace')}")
    wine.server("-w")
    store = wine.bin_dir / "mapistore.dll"
    # Where the kernel runs no 32-bit code, wineboot succeeds but leaves syswow64 empty, and every
    # 32-bit program would fail to start without saying why.
    syswow64 = wine.drive_c() / "windows" / "syswow64"
    expect(pe_machine(store) != MACHINE_I386 or (syswow64.is_dir() and any(syswow64.iterdir())),
           "the prefix holds no 32-bit Windows (its syswow64 is empty): this machine runs no "
           "32-bit programs, so the 32-bit build can't run end to end here")
    reg_file = wine.drive_c() / "quillet-e2e.reg"
    registry = registry_for(store)
    reg_file.write_text(registry.replace("\n", "\r\n"), encoding="utf-16")
    imported = wine.run("reg.exe", ["import", r"C:\quillet-e2e.reg"], timeout=60)
    expect(imported.returncode == 0, f"reg import failed: {imported.stderr.decode(errors='replace')}")
    # The graphics driver is chosen when the server starts: restart it before any window.
    wine.server("-k")
    wine.server("-w")
    install_programs(wine)


def install_programs(wine):
    bin_dir = wine.drive_c() / "quillet" / "bin"
    bin_dir.mkdir(parents=True, exist_ok=True)
    for name in ("tmail.exe", "phonesvc.exe", "hookrec.exe", "mapistore.dll"):
        shutil.copy2(wine.bin_dir / name, bin_dir / name)
    # Another program in front: the same stand-in under another name.
    shutil.copy2(wine.bin_dir / "tmail.exe", bin_dir / "pword.exe")


# ------------------------------------------------------------------------------------------------
# Records


class Event:
    def __init__(self, line):
        parts = line.split(" ", 2)
        self.time = int(parts[0]) / 1e6
        self.what = parts[1] if len(parts) > 1 else ""
        self.detail = parts[2] if len(parts) > 2 else ""

    def __repr__(self):
        return f"{self.what} {self.detail}".strip()


def read_events(path):
    if not path.exists():
        return []
    return [Event(line) for line in path.read_text(encoding="utf-8").splitlines() if line.strip()]


def wait_for(predicate, timeout=10.0, period=0.02):
    until = time.time() + timeout
    while time.time() < until:
        if predicate():
            return True
        time.sleep(period)
    return predicate()


# ------------------------------------------------------------------------------------------------
# One case: its state folder, its parties, its run of quillet.exe


class Case:
    started = []  # every case of this run, so that a failed one still ends its parties

    def __init__(self, wine, name, folder=None):
        Case.started.append(self)
        self.wine = wine
        self.name = name
        self.state = wine.drive_c() / "state" / name
        self.program_dir = wine.drive_c() / "cases" / (folder or name)
        for directory in (self.state, self.program_dir):
            if directory.exists():
                shutil.rmtree(directory)
            directory.mkdir(parents=True)
        shutil.copy2(wine.quillet, self.program_dir / "quillet.exe")
        self.parties = []  # (process, log) of every party started
        self.killed = []  # the logs of parties that had to be killed
        self.settles = 0
        self.copies = []
        self.stores(["070-1234-5678"])

    # -- the world before the run

    def stores(self, names):
        (self.state / "stores.txt").write_text("".join(n + "\n" for n in names), encoding="utf-8")

    def outbox(self, messages, store=0):
        (self.state / f"outbox-{store}.txt").write_text("".join(m + "\n" for m in messages), encoding="utf-8")

    def outbox_messages(self, store=0):
        path = self.state / f"outbox-{store}.txt"
        return path.read_text(encoding="utf-8").splitlines() if path.exists() else []

    def profile(self, before=True, send=True, after=True):
        lines = ["[exec]"]
        for key, present in (("before", before), ("send", send), ("after", after)):
            if present:
                lines.append(f"{key}={HOOK}|{key}")
        self.profile_path().write_text("".join(line + "\n" for line in lines), encoding="utf-8")

    def profile_path(self):
        return self.program_dir / "quillet.ini"

    def phone(self, mode="send", exchange_ms=800, acknowledge=None):
        args = ["--mode", mode, "--exchange", str(exchange_ms)]
        if acknowledge is not None:
            args += ["--acknowledge", str(acknowledge)]
        self._start_party("phonesvc.exe", args, "phone")

    def messaging(self, role="compose", bar=True, menu=None, draft=None, log="tmail", program="tmail.exe",
                  upset=None, when=None):
        args = ["--role", role, "--log", log, "--bar", "yes" if bar else "no"]
        if menu:
            args += ["--menu", menu]
        if draft:
            args += ["--draft", draft]
        if upset:
            args += ["--upset", upset, "--when", when]
        self._start_party(program, args, log)
        # A window that should be in front and is not would make every "nothing happened" vacuous.
        ready = [e for e in self.events(log) if e.what == "ready"][0]
        expect(role in ("bar", "watcher") or "front=yes" in ready.detail, f"{program} is not in front: {ready}")

    def _start_party(self, program, args, log):
        self.parties.append((self.wine.start(BIN + "\\" + program, args, timeout=PROGRAM_TIMEOUT * 2,
                                             state=self.state), log))
        ready = wait_for(lambda: any(e.what == "ready" for e in self.events(log)), timeout=20)
        expect(ready, f"{program} {' '.join(args)} did not get ready")

    # -- the run

    def quillet_command(self):
        return windows_path(self.wine, self.program_dir / "quillet.exe")

    def run_quillet(self, *options, debug="fixme-all", timeout=PROGRAM_TIMEOUT):
        started = time.time()
        result = self.wine.run(self.quillet_command(), list(options), timeout=timeout, state=self.state,
                               debug=debug)
        self.quillet_started, self.quillet_ended = started, time.time()
        self.stderr = result.stderr.decode("utf-8", errors="replace")
        expect(result.returncode != 124, f"quillet.exe {' '.join(options)} hung (stopped by timeout)")
        self.check_no_crash(self.stderr)
        return result.returncode

    def start_quillet(self, *options):
        return self.wine.start(self.quillet_command(), list(options), state=self.state, stderr=subprocess.PIPE)

    def start_quillet_copies(self, count, *options):
        """Starts count copies as nearly at once as the driver can; each one's standard error goes to
        a file of its own, so that no pipe fills while the others run."""
        copies = []
        for number in range(count):
            path = self.state / f"quillet-{number}.err"
            with path.open("wb") as stderr:
                copies.append(Copy(self.wine.start(self.quillet_command(), list(options), state=self.state,
                                                   stderr=stderr), path))
        self.copies += copies
        return copies

    def menu_choices(self):
        """The command identifiers the program's menus returned, from Wine's +menu channel."""
        return [int(m.group(1), 16) for m in MENU_CHOICE.finditer(self.stderr)]

    @staticmethod
    def check_no_crash(stderr):
        for sign in ("Unhandled exception", "unimplemented function", "Unhandled page fault",
                     "Backtrace:", "err:seh"):
            expect(sign not in stderr, f"quillet.exe crashed or hit a missing function:\n{stderr[-3000:]}")

    def stop(self):
        # A copy of the program still running here would hold the mutex into the next case.
        for copy in self.copies:
            copy.end(timeout=0)
        self.copies = []
        if not self.parties:
            return
        (self.state / "stop").touch()
        for party, log in self.parties:
            try:
                party.wait(timeout=PARTY_END)
            except subprocess.TimeoutExpired:
                os.killpg(party.pid, signal.SIGKILL)
                party.wait()
                self.killed.append(log)
        self.parties = []

    def finish(self):
        """Ends the parties, which a case does once the program has exited, and answers the hooks
        started, in order. A Messaging stand-in ends only after every message posted to it before,
        and the phone records "quiet" only once no hook program runs: the program starts hooks only
        while it runs, so nothing it did can still show afterwards."""
        self.stop()
        expect(not self.killed, f"parties that did not end when asked, so their records may be short: {self.killed}")
        quiet = [e.detail for e in self.phone_events("quiet")]
        expect(quiet == ["hooks=0"], f"the hook programs did not all end: {quiet}")
        return self.hooks()

    def settle(self):
        """Waits until every party still running has caught up with everything done before now:
        a Messaging stand-in answers once it has taken every message posted to it before, the phone
        once no hook program runs. What must not have happened by now can then be judged."""
        self.settles += 1
        number = str(self.settles)
        request = self.state / "settle.new"
        request.write_text(number + "\n", encoding="utf-8")
        request.replace(self.state / "settle")

        def answer(log):
            return [e.detail for e in self.events(log) if e.what == "settled" and e.detail.split()[0] == number]

        settled = wait_for(lambda: all(answer(log) for party, log in self.parties if party.poll() is None),
                           timeout=PROGRAM_TIMEOUT)
        expect(settled, f"the parties did not settle: {[(log, party.poll()) for party, log in self.parties]}")
        expect(answer("phone") == [f"{number} hooks=0"], f"hook programs still running: {answer('phone')}")

    # -- what was recorded

    def events(self, log):
        return read_events(self.state / f"{log}.log")

    def ready_detail(self, log):
        """The name=value pairs a party recorded when it got ready."""
        ready = [e for e in self.events(log) if e.what == "ready"][0]
        return dict(pair.split("=", 1) for pair in ready.detail.split() if "=" in pair)

    def hooks(self):
        return [e.detail.split()[-1] if e.detail.split() else "" for e in self.events("hooks")]

    def hook_events(self):
        return self.events("hooks")

    def bar_messages(self, log="tmail"):
        return [tuple(int(x, 16) for x in e.detail.split()) for e in self.events(log) if e.what == "bar"]

    def button_messages(self, log="tmail"):
        return [m for m in self.bar_messages(log) if m[0] in (WM_LBUTTONDOWN, WM_LBUTTONUP)]

    def phone_events(self, what):
        return [e for e in self.events("phone") if e.what == what]

    def mapi(self, what):
        return [e for e in self.events("mapi") if e.what == what]


    # -- checks that every case makes

    def expect_press(self, log="tmail"):
        expect(self.button_messages(log) == [(WM_LBUTTONDOWN, 0, 0), (WM_LBUTTONUP, 0, 0)],
               f"the bar should get exactly one press at (0,0), got {self.bar_messages(log)}")

    def expect_no_press(self, log="tmail"):
        expect(not self.bar_messages(log), f"nothing should reach the bar, got {self.bar_messages(log)}")

    def expect_inspections(self, count):
        logons, ends = self.mapi("logon"), self.mapi("uninitialize")
        expect(len(logons) == count, f"expected {count} Outbox inspections, got {len(logons)} logons")
        expect(len(ends) == count, f"every inspection ends with MAPIUninitialize: {self.events('mapi')}")
        expect(all(e.detail == "live=0" for e in ends), f"MAPI objects left alive: {self.events('mapi')}")
        expect(not self.mapi("over-release"), f"a MAPI object was released too often: {self.events('mapi')}")

    def expect_no_request(self):
        """After finish(): no write was seen, and none was left unseen in the key at the end."""
        expect(not self.phone_events("written"), f"Status15 should not be written: {self.events('phone')}")
        ends = [e.detail for e in self.phone_events("end")]
        expect(len(ends) == 1 and "value=" not in ends[0] or ends == ["key=present value=none"],
               f"Status15 should not be there at the end: {ends}")

    def expect_control_window(self):
        """The program's hidden window as the phone stand-in saw it, from its own process, when the
        request came: of the class "HIDE_WINDOW" (class style CS_HREDRAW | CS_VREDRAW), made with
        style 0 at 0,0 and 0 by 0, so hidden, top level and unowned, and titled with the program's
        full path. Answers the white stock brush's handle as that process has it."""
        records = [e.detail for e in self.phone_events("control")]
        expect(len(records) == 1, f"the phone should have seen the program's window once: {records}")
        fields, title = records[0].split(" title=", 1)
        seen = dict(pair.split("=", 1) for pair in fields.split())
        white = int(seen.pop("white"), 16)
        smallest = seen.pop("mintrack")
        expect(seen == dict(CONTROL_WINDOW, rect=f"0,0,{smallest}"),
               f"the program's window: {seen}, expected {CONTROL_WINDOW} at 0,0,{smallest}")
        expected_title = windows_path(self.wine, self.program_dir / "quillet.exe")
        expect(title == expected_title, f"the window's title should be {expected_title!r}: {title!r}")
        return white

    def expect_control_window_made(self, white):
        """From a run with Wine's +class and +win channels: the class and the window exactly as
        the program asked for them, its background the white stock brush (white, as another
        process has it), class and window made with the program's instance."""
        classes = CLASS_REGISTERED.findall(self.stderr)
        expect(len(classes) == 1, f"one registration of HIDE_WINDOW in the +class trace: {classes}")
        instance, background, class_style, class_extra, window_extra = classes[0]
        expect((int(background, 16), int(class_style, 16), class_extra, window_extra) == (white, 3, "0", "0"),
               f"the class: background {background} (white is {white:#x}), style {class_style}, "
               f"extra bytes {class_extra} and {window_extra}")
        windows = WINDOW_CREATED.findall(self.stderr)
        expect(len(windows) == 1, f"one window of HIDE_WINDOW in the +win trace: {windows}")
        title, *numbers = windows[0]
        made = [int(value, 16) for value in numbers[:2]] + [int(value) for value in numbers[2:6]] + \
            [int(value, 16) for value in numbers[6:]]
        expect(made == [0, 0, 0, 0, 0, 0, 0, 0, int(instance, 16), 0],
               f"the window: extended style, style, x, y, width, height, parent, menu, instance "
               f"(the class's is {instance}), parameter: {made}")
        title = re.sub(r'\\(\\|"|[0-9a-f]{4})',
                       lambda m: m.group(1) if len(m.group(1)) == 1 else chr(int(m.group(1), 16)), title)
        expected_title = windows_path(self.wine, self.program_dir / "quillet.exe")
        expect(title == expected_title, f"the title asked for should be {expected_title!r}: {title!r}")

    def expect_exchange(self):
        written, removed = self.phone_events("written"), self.phone_events("removed")
        expect([e.detail for e in written] == ["1"], f"Status15 should be written with 1 once: {written}")
        expect(len(removed) == 1 and removed[0].time >= written[0].time, f"exchange not finished: {removed}")
        return written[0], removed[0]


class Copy:
    """One of several copies of quillet.exe started together."""

    def __init__(self, process, stderr_path):
        self.process = process
        self.stderr_path = stderr_path

    def code(self):
        return self.process.poll()

    def end(self, timeout):
        """Waits for the copy to end; one still running then is killed. Answers its exit code."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
            return None

    def check_no_crash(self):
        Case.check_no_crash(self.stderr_path.read_text(encoding="utf-8", errors="replace"))


# ------------------------------------------------------------------------------------------------
# The cases

CASES = {}
HARDENING = set()  # cases that load the program or change its world under it on purpose


def case(function):
    CASES[function.__name__] = function
    return function


def hardening(function):
    HARDENING.add(function.__name__)
    return case(function)


def send_receive_world(c, phone_mode="send", send=True, menu=None):
    c.profile(send=send)
    c.outbox(["waiting mail"])
    c.phone(phone_mode)
    c.messaging(menu=menu)


@case
def full_send_path(wine):
    c = Case(wine, "full_send_path")
    send_receive_world(c)
    code = c.run_quillet(debug="fixme-all,+class,+win")
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    c.expect_press()
    written, removed = c.expect_exchange()
    c.expect_control_window_made(c.expect_control_window())
    expect(hooks == ["before", "send"], f"hooks: {hooks}")
    send_hook = c.hook_events()[1]
    expect(send_hook.time > removed.time, "the send hook started before Status15 was removed")
    expect(c.quillet_ended > removed.time, "quillet.exe ended before the exchange was over")
    expect(c.outbox_messages() == [], "the phone sent the Outbox mail")
    c.expect_inspections(2)


@case
def mail_left_after_exchange(wine):
    c = Case(wine, "mail_left_after_exchange")
    send_receive_world(c, phone_mode="leave")
    code = c.run_quillet()
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    c.expect_press()
    c.expect_exchange()
    expect(hooks == ["before", "after"], f"mail left: only the after hook follows, got {hooks}")
    c.expect_inspections(2)


@case
def no_send_key(wine):
    c = Case(wine, "no_send_key")
    send_receive_world(c, send=False)
    code = c.run_quillet()
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    c.expect_press()
    c.expect_exchange()
    expect(c.outbox_messages() == [], "the phone sent the Outbox mail")
    expect(hooks == ["before", "after"], f"without a send key the after hook stands in, got {hooks}")
    c.expect_inspections(2)


@case
def draft_moves_to_outbox(wine):
    c = Case(wine, "draft_moves_to_outbox")
    c.profile()
    c.outbox([])
    c.phone("leave", exchange_ms=100)
    c.messaging(draft="new mail")
    code = c.run_quillet()
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    c.expect_press()
    expect(any(e.what == "moved" for e in c.events("tmail")), "the press did not move the draft")
    expect(c.outbox_messages() == ["new mail"], f"Outbox: {c.outbox_messages()}")
    # Whether the count already saw the draft is not fixed, but the run must follow the count it
    # made: the mail is left, so a send/receive ends with the after hook.
    if c.phone_events("written"):
        c.expect_exchange()
        expect(hooks == ["before", "after"], f"the count saw the draft; hooks: {hooks}")
        c.expect_inspections(2)
    else:
        c.expect_no_request()
        expect(hooks == [], f"the count did not see the draft; hooks: {hooks}")
        c.expect_inspections(1)


@case
def nothing_waits_after_press(wine):
    """The press moves nothing (no draft) and the Outbox is empty: the run ends after the count."""
    c = Case(wine, "nothing_waits_after_press")
    c.profile()
    c.outbox([])
    c.phone()
    c.messaging()
    code = c.run_quillet()
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    c.expect_press()
    c.expect_inspections(1)
    c.expect_no_request()
    expect(hooks == [], f"nothing waits, so no hook: {hooks}")


MF_STRING, TPM_RETURNCMD, TPM_BOTTOMALIGN = 0, 0x100, 0x20
MENU_ITEMS = [(MF_STRING, 40001, "すぐに送信"), (MF_STRING, 40002, "「送信トレイ」へ")]


MENU_ITEM = re.compile(r'InsertMenuW hMenu \S+ pos -?\d+, flags ([0-9a-f]+), id ([0-9a-f]+), str L"(.*)"')
MENU_TRACK = re.compile(r"TrackPopupMenuEx hmenu \S+ flags ([0-9a-f]+) \((-?\d+),(-?\d+)\) hwnd (0x[0-9a-f]+)")
MF_BYPOSITION = 0x400
MENU_CHOICE = re.compile(r"exec_focused_item handle \S+ ID ([0-9a-f]+)")


def wine_text(escaped):
    """A text as Wine's debug channels print it: non-ASCII code units as backslash and 4 hex digits."""
    return re.sub(r"\\([0-9a-f]{4})", lambda m: chr(int(m.group(1), 16)), escaped)


def menu_items_traced(stderr):
    """(flags, identifier, text) of every item put into a menu, in order, from Wine's +menu channel.
    AppendMenuW reaches InsertMenuW with MF_BYPOSITION added, which is left out here."""
    return [(int(m.group(1), 16) & ~MF_BYPOSITION, int(m.group(2), 16), wine_text(m.group(3)))
            for m in MENU_ITEM.finditer(stderr)]


def menu_tracks_traced(stderr):
    """(flags, x, y, owner window) of every popup menu tracking call."""
    return [(int(m.group(1), 16), int(m.group(2)), int(m.group(3)), int(m.group(4), 16))
            for m in MENU_TRACK.finditer(stderr)]


def menu_case(wine, name, answer):
    c = Case(wine, name)
    send_receive_world(c, menu=answer)
    code = c.run_quillet("/showmenu", debug="fixme-all,+menu")
    menus = [e for e in c.events("tmail") if e.what == "menu"]
    expect(len(menus) == 1, f"the menu should show once, got {menus}")
    rect = [int(v) for v in menus[0].detail.split("rect=")[1].split(",")]
    expect((rect[0], rect[3]) == (WINDOW_LEFT, WINDOW_BOTTOM),
           f"the menu's bottom-left corner should sit on the window's, got {rect}")
    items = menu_items_traced(c.stderr)
    expect(items == MENU_ITEMS, f"menu items (flags, identifier, text) in order: {items}")
    tracks = menu_tracks_traced(c.stderr)
    window = int(c.ready_detail("tmail")["window"], 16)
    expect(tracks == [(TPM_RETURNCMD | TPM_BOTTOMALIGN, WINDOW_LEFT, WINDOW_BOTTOM, window)],
           f"the menu should be tracked once, upwards from the compose window's bottom-left corner, "
           f"owned by that window ({window:#x}): {tracks}")
    return c, code


@case
def menu_send_at_once(wine):
    c, code = menu_case(wine, "menu_send_at_once", "send")
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    c.expect_press()
    c.expect_exchange()
    expect(hooks == ["before", "send"], f"hooks: {hooks}")
    c.expect_inspections(2)


@case
def menu_to_outbox(wine):
    c, code = menu_case(wine, "menu_to_outbox", "outbox")
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    c.expect_press()
    c.expect_no_request()
    expect(hooks == [], f"no hook after the Outbox choice, got {hooks}")
    c.expect_inspections(0)


@case
def menu_dismissed(wine):
    c, code = menu_case(wine, "menu_dismissed", "dismiss")
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    c.expect_no_press()
    c.expect_no_request()
    expect(hooks == [], f"no hook after a dismissal, got {hooks}")
    c.expect_inspections(0)


@case
def messaging_window_not_compose(wine):
    c = Case(wine, "messaging_window_not_compose")
    c.profile()
    c.outbox(["waiting mail"])
    c.phone()
    c.messaging(role="list", menu="dismiss")
    code = c.run_quillet("/showmenu", debug="fixme-all,+menu")
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    c.expect_press()
    expect(not [e for e in c.events("tmail") if e.what == "menu"], "no menu for a window that is not compose")
    c.expect_no_request()
    expect(hooks == [], f"hooks: {hooks}")
    c.expect_inspections(0)


def other_program_case(wine, name, *options):
    c = Case(wine, name)
    c.profile()
    c.outbox(["waiting mail"])
    c.phone()
    c.messaging(role="front", log="pword", program="pword.exe")
    code = c.run_quillet(*options)
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    c.expect_no_request()
    expect(hooks == [], f"hooks: {hooks}")
    c.expect_inspections(0)
    return c


@case
def other_program_in_front(wine):
    c = other_program_case(wine, "other_program_in_front")
    c.expect_no_press("pword")


@case
def other_program_in_front_touchleft(wine):
    c = other_program_case(wine, "other_program_in_front_touchleft", "/touchleft")
    c.expect_press("pword")


@case
def bar_of_another_process(wine):
    c = Case(wine, "bar_of_another_process")
    c.profile()
    c.outbox(["waiting mail"])
    c.phone()
    c.messaging(role="bar", log="otherbar")
    c.messaging(bar=False)
    code = c.run_quillet()
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    c.expect_no_press("otherbar")
    c.expect_no_request()
    expect(hooks == [], f"hooks: {hooks}")
    c.expect_inspections(0)


@case
def second_copy_while_polling(wine):
    c = Case(wine, "second_copy_while_polling")
    c.profile()
    c.outbox(["waiting mail"])
    # The phone turns the request into 2 at once, so that a second write of 1 would show.
    c.phone("hold", acknowledge=2)
    c.messaging()
    first = c.start_quillet()
    polling = wait_for(lambda: c.phone_events("acknowledged") and len(c.hook_events()) >= 1, timeout=20)
    expect(polling, "the first copy did not start polling")
    c.settle()
    before = world_snapshot(c)
    second = c.run_quillet()
    c.settle()
    after = world_snapshot(c)
    (c.state / "release").touch()
    try:
        first_code = first.wait(timeout=PROGRAM_TIMEOUT)
    finally:
        if first.poll() is None:
            os.killpg(first.pid, signal.SIGKILL)
    first_stderr = first.stderr.read().decode("utf-8", errors="replace")
    hooks = c.finish()
    expect(second == EXIT_ALREADY_RUNNING, f"the second copy should end with 1, got {second}")
    expect(before == after, f"the second copy changed something: {before} -> {after}")
    c.check_no_crash(first_stderr)
    expect(first_code == EXIT_DONE, f"the first copy ended with {first_code}")
    expect(hooks == ["before", "after"], f"hooks of the first copy: {hooks}")
    c.expect_press()
    c.expect_exchange()
    c.expect_inspections(2)


@case
def compose_window_without_bar(wine):
    c = Case(wine, "compose_window_without_bar")
    c.profile()
    c.outbox(["waiting mail"])
    c.phone()
    c.messaging(bar=False)
    code = c.run_quillet()
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    c.expect_no_request()
    expect(hooks == [], f"hooks: {hooks}")
    c.expect_inspections(0)


@case
def no_profile_in_japanese_folder(wine):
    c = Case(wine, "no_profile_in_japanese_folder", folder=JAPANESE_FOLDER)
    c.outbox(["waiting mail"])
    c.phone()
    c.messaging()
    code = c.run_quillet()
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    expect(c.profile_path().exists(), "the default profile was not written beside quillet.exe")
    written = c.profile_path().read_bytes()
    expect(written == DEFAULT_PROFILE_BYTES, f"default profile bytes: {written!r}")
    expect(hooks == [], f"this run's profile is empty, so no hook runs; got {hooks}")
    c.expect_press()
    c.expect_exchange()
    c.expect_control_window()
    c.expect_inspections(2)


@case
def status_key_absent(wine):
    c = Case(wine, "status_key_absent")
    send_receive_world(c, phone_mode="absent")
    code = c.run_quillet()
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    c.expect_press()
    c.expect_no_request()
    ends = c.phone_events("end")
    expect([e.detail for e in ends] == ["key=absent"], f"quillet.exe must not create the key: {ends}")
    expect(hooks == ["before", "after"], f"the mail stays, so the after hook runs: {hooks}")
    c.expect_inspections(2)


@case
def no_070_account(wine):
    c = Case(wine, "no_070_account")
    c.stores(["Office mail", "07 short", " 070 blank first"])
    send_receive_world(c)
    code = c.run_quillet()
    hooks = c.finish()
    expect(code == EXIT_RUN_FAILED, f"a failed inspection ends the run with 2, got {code}")
    c.expect_press()
    c.expect_no_request()
    expect(hooks == [], f"nothing is started after the failure: {hooks}")
    c.expect_inspections(1)
    opened = [e.detail for e in c.mapi("open")]
    expect(opened.count("store") == 3, f"every store is opened before giving up: {opened}")


# ------------------------------------------------------------------------------------------------
# Hardening: many copies at once, and windows that vanish or change between the program's steps.
# Wine's timing can't be steered from outside, so the stand-ins act on the program's own messages
# (tmail's --upset ... --when ...), which puts each change between two known steps of the program.

COPIES = 20
LOSERS_DEADLINE = 20  # seconds for copies that find the program running to end; they take about 3
IDM_SEND_AT_ONCE = 40001


def held_exchange_world(c):
    """Mail waiting, the compose window in front, and a phone that holds the exchange until
    released. The phone turns each request into 2 at once, so that any later write of 1 shows."""
    c.profile()
    c.outbox(["waiting mail"])
    c.phone("hold", acknowledge=2)
    c.messaging()


def world_snapshot(c):
    """What a copy that does anything at all would change: the bar, the phone, hooks, logons."""
    return (c.bar_messages(), [e.detail for e in c.phone_events("written")], c.hooks(), len(c.mapi("logon")))


def expect_losers(copies, context):
    codes = [copy.code() for copy in copies]
    expect(codes == [EXIT_ALREADY_RUNNING] * len(copies),
           f"{context}: every other copy should end with 1, got {codes}")
    for copy in copies:
        copy.check_no_crash()


def release_and_finish(c, winner):
    """Ends the held exchange; the copy that proceeded then finishes the send/receive."""
    (c.state / "release").touch()
    code = winner.end(timeout=PROGRAM_TIMEOUT)
    winner.check_no_crash()
    hooks = c.finish()
    expect(code == EXIT_DONE, f"the copy that proceeded ended with {code}")
    expect(hooks == ["before", "after"], f"one set of hooks, the mail was left: {hooks}")
    c.expect_exchange()
    c.expect_inspections(2)


@hardening
def copies_started_at_once(wine):
    c = Case(wine, "copies_started_at_once")
    held_exchange_world(c)
    profile = c.profile_path().read_bytes()
    copies = c.start_quillet_copies(COPIES)
    # While the exchange is held the copy that got the mutex polls; every other one ends.
    settled = wait_for(lambda: sum(copy.code() is not None for copy in copies) >= COPIES - 1
                       and c.phone_events("written") and c.hook_events(), timeout=PROGRAM_TIMEOUT)
    running = [copy for copy in copies if copy.code() is None]
    expect(settled and len(running) == 1,
           f"exactly one copy should proceed and poll: {len(running)} still running, "
           f"written {c.phone_events('written')}, hooks {c.hooks()}")
    c.settle()
    bar, written, hooks, logons = world_snapshot(c)
    expect_losers([copy for copy in copies if copy is not running[0]], "started at once")
    expect(c.button_messages() == [(WM_LBUTTONDOWN, 0, 0), (WM_LBUTTONUP, 0, 0)],
           f"one press should reach the bar, got {bar}")
    expect(written == ["1"], f"Status15 should be written once, got {written}")
    expect(hooks == ["before"] and logons == 1, f"one copy's hooks and inspection: {hooks}, {logons} logons")
    expect(c.profile_path().read_bytes() == profile, "the profile was changed")
    release_and_finish(c, running[0])


@hardening
def copies_started_while_polling(wine):
    c = Case(wine, "copies_started_while_polling")
    held_exchange_world(c)
    first = c.start_quillet_copies(1)[0]
    polling = wait_for(lambda: c.phone_events("acknowledged") and c.hook_events(), timeout=PROGRAM_TIMEOUT)
    expect(polling, "the first copy did not start polling")
    c.settle()
    before = world_snapshot(c)
    others = c.start_quillet_copies(COPIES - 1)
    # One deadline for all of them, well inside the first copy's own bound.
    wait_for(lambda: all(copy.code() is not None for copy in others), timeout=LOSERS_DEADLINE)
    c.settle()
    after = world_snapshot(c)
    expect(first.code() is None, "the first copy should still be polling")
    expect_losers(others, "started while the first polled")
    expect(before == after, f"the other copies changed something: {before} -> {after}")
    release_and_finish(c, first)


def expect_nothing_after_press_refused(c, bars):
    """Once the program has exited: no bar of bars got anything, and nothing else happened."""
    hooks = c.finish()
    for log in bars:
        c.expect_no_press(log)
    c.expect_no_request()
    expect(hooks == [], f"no hook: {hooks}")
    c.expect_inspections(0)


def upset_on_press(wine, name, upset):
    """The press reaches the bar, and the Messaging program reacts to the button-down by upsetting
    its own windows before the button-up is handled. The press was already posted, so the program
    goes on with the mail that waits; nothing it does afterwards touches those windows."""
    c = Case(wine, name)
    c.profile()
    c.outbox(["waiting mail"])
    c.phone()
    c.messaging(upset=upset, when="press")
    code = c.run_quillet()
    hooks = c.finish()
    expect(code == EXIT_DONE, f"exit code {code}")
    expect(any(e.what == "upset" for e in c.events("tmail")), "the Messaging program was not upset")
    buttons = c.button_messages()
    expect(buttons[:1] == [(WM_LBUTTONDOWN, 0, 0)] and buttons[1:] in ([], [(WM_LBUTTONUP, 0, 0)]),
           f"one press at most, the button-up only where a window is left: {buttons}")
    c.expect_exchange()
    expect(hooks == ["before", "send"], f"hooks: {hooks}")
    c.expect_inspections(2)
    return c


@hardening
def bar_destroyed_on_press(wine):
    upset_on_press(wine, "bar_destroyed_on_press", "destroy-bar")


@hardening
def compose_window_destroyed_on_press(wine):
    c = upset_on_press(wine, "compose_window_destroyed_on_press", "destroy-compose")
    c.expect_press()


@hardening
def messaging_exits_on_press(wine):
    c = upset_on_press(wine, "messaging_exits_on_press", "exit")
    expect(not [e for e in c.events("tmail") if e.what == "end"], "the Messaging program should have died")


def upset_while_menu_up(wine, name, upset, when, other_bar=False, watcher=False):
    """/showmenu with mail waiting; the Messaging program is upset while the program's menu is
    being tracked over its window, and then "すぐに送信" is chosen (by the Messaging stand-in, or by a
    watcher when the Messaging program is gone). The press that follows must not land anywhere:
    the compose window is gone or its bar is.

    Only bars that still exist afterwards are checked for a press: a press posted to a destroyed
    bar, or to one whose process has ended, reaches nobody and can't be seen, so a check of it
    could never fail. Where the Messaging program's bar is gone, what shows a wrong press is the
    other process's bar and the send/receive that would follow it."""
    c = Case(wine, name)
    c.profile()
    c.outbox(["waiting mail"])
    c.phone()
    if other_bar:
        c.messaging(role="bar", log="otherbar")
    if watcher:
        c.messaging(role="watcher", log="watcher", menu="send")
    c.messaging(menu=None if watcher else "send", upset=upset, when=when)
    code = c.run_quillet("/showmenu", debug="fixme-all,+menu")
    expect(code == EXIT_DONE, f"exit code {code}")
    expect(any(e.what == "upset" for e in c.events("tmail")), "the Messaging program was not upset")
    expect(c.menu_choices() == [IDM_SEND_AT_ONCE], f"the menu should return 40001 once: {c.menu_choices()}")
    bars = ("tmail",) if upset == "destroy-compose" else ()
    expect_nothing_after_press_refused(c, bars + (("otherbar",) if other_bar else ()))
    return c


@hardening
def compose_window_destroyed_while_menu_up(wine):
    upset_while_menu_up(wine, "compose_window_destroyed_while_menu_up", "destroy-compose", "menu")


@hardening
def bar_destroyed_while_menu_up(wine):
    # The only bar left belongs to another process: the press must not go there.
    upset_while_menu_up(wine, "bar_destroyed_while_menu_up", "destroy-bar", "menu", other_bar=True)


@hardening
def messaging_exits_as_menu_starts(wine):
    # The Messaging program dies inside the program's own menu notification, before the menu shows;
    # the menu stays up over nothing until a person answers it.
    upset_while_menu_up(wine, "messaging_exits_as_menu_starts", "exit", "menuloop", other_bar=True,
                        watcher=True)


@hardening
def messaging_exits_while_menu_up(wine):
    """The Messaging program dies while the menu is up, and nobody answers at first. Under Wine the
    menu stays up over nothing, and the program waits in it; a person who then dismisses it ends
    the run with nothing done. Should the menu close by itself instead, the run must end the same."""
    c = Case(wine, "messaging_exits_while_menu_up")
    c.profile()
    c.outbox(["waiting mail"])
    c.phone()
    c.messaging(role="bar", log="otherbar")
    c.messaging(upset="exit", when="menu")
    copy = c.start_quillet_copies(1, "/showmenu")[0]
    expect(wait_for(lambda: any(e.what == "upset" for e in c.events("tmail")), timeout=PROGRAM_TIMEOUT),
           "the menu did not show")
    time.sleep(NOBODY_ANSWERS)
    if copy.code() is None:
        c.messaging(role="watcher", log="watcher", menu="dismiss")
    code = copy.end(timeout=PROGRAM_TIMEOUT)
    copy.check_no_crash()
    expect(code == EXIT_DONE, f"exit code {code}")
    # The Messaging program is gone with its bar: only the other bar can show a press.
    expect_nothing_after_press_refused(c, ("otherbar",))


@hardening
def foreground_switched_while_menu_up(wine):
    """Another program, with a bar of its own, comes to the front while the menu is up; then
    "すぐに送信" is chosen. The program acts on the window it started with: the other program's bar
    gets nothing. Which bar the window manager names first is its own choice, so the compose
    window's bar either gets one press (and the send/receive follows) or nothing."""
    c = Case(wine, "foreground_switched_while_menu_up")
    c.profile()
    c.outbox(["waiting mail"])
    c.phone()
    c.messaging(menu="send", upset="pause", when="menu")
    run = {}

    def run_program():
        try:
            run["code"] = c.run_quillet("/showmenu", debug="fixme-all,+menu")
        except CaseFailure as failure:
            run["failure"] = failure

    thread = threading.Thread(target=run_program)
    thread.start()
    try:
        paused = wait_for(lambda: any(e.what == "upset" for e in c.events("tmail")), timeout=PROGRAM_TIMEOUT)
        expect(paused, "the menu did not show")
        c.messaging(role="front", log="pword", program="pword.exe")
    finally:
        (c.state / "resume").touch()
        thread.join()
    if "failure" in run:
        raise run["failure"]
    expect(run.get("code") == EXIT_DONE, f"exit code {run.get('code')}")
    expect(c.menu_choices() == [IDM_SEND_AT_ONCE], f"the menu should return 40001 once: {c.menu_choices()}")
    hooks = c.finish()
    c.expect_no_press("pword")
    if c.bar_messages():
        c.expect_press()
        expect(hooks == ["before", "send"], f"hooks: {hooks}")
        c.expect_exchange()
        c.expect_inspections(2)
    else:
        expect_nothing_after_press_refused(c, ("tmail",))


# ------------------------------------------------------------------------------------------------
# Measurements (wine/pressonly/measure_press.py, run by scripts/measure-wine.sh)


def cpu_seconds(pid):
    """User and system time of a process and its descendants, from /proc."""
    total = 0.0
    ticks = os.sysconf("SC_CLK_TCK")
    pending = [pid]
    while pending:
        current = pending.pop()
        try:
            fields = Path(f"/proc/{current}/stat").read_text().rsplit(")", 1)[1].split()
            total += (int(fields[11]) + int(fields[12])) / ticks
            for task in Path(f"/proc/{current}/task").iterdir():
                children = (task / "children").read_text().split()
                pending.extend(int(child) for child in children)
        except (FileNotFoundError, ProcessLookupError, IndexError):
            continue
    return total


# ------------------------------------------------------------------------------------------------


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--wine", default="/usr/lib/wine/wine64")
    parser.add_argument("--bin", help="folder holding tmail.exe, phonesvc.exe, hookrec.exe, mapistore.dll")
    parser.add_argument("--quillet", help="quillet.exe to run")
    parser.add_argument("--work", default="build-wine/wine/e2e", help="where the prefix lives")
    parser.add_argument("--setup", action="store_true")
    parser.add_argument("--case", action="append", default=[])
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--hardening", action="store_true", help="with --list: only the hardening cases")
    args = parser.parse_args()

    if args.list:
        print("\n".join(name for name in CASES if name in HARDENING or not args.hardening))
        return 0
    wine = Wine(args)
    try:
        if args.setup:
            setup(wine)
        else:
            install_programs(wine)
        for name in args.case:
            try:
                CASES[name](wine)
            finally:
                for started in Case.started:
                    started.stop()
            print(f"{name}: passed")
    except CaseFailure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
