#!/usr/bin/env python3
"""quillet.exe's times under Wine, for scripts/measure-wine.sh.

  measure_press.py --bin DIR --quillet EXE --work DIR --rounds N [--setup] [--earlier EXE]

Each round runs, in the same world of stand-ins (the Messaging program in front with its bar,
the phone's software, a store with mail waiting, the three hooks):

  - quillet.exe, through the whole send/receive;
  - pressonly.exe, which only finds the bar and presses it;
  - pressonly.exe /window, which first makes the hidden window quillet.exe must make before its
    press, and presses from its creation;
  - with --earlier, another quillet.exe (an earlier build, say) through the whole send/receive.

They take turns going first, so that a machine growing busier or quieter during the run
weighs on all alike. Printed: the median time from each one's start to the press reaching the
bar and quillet.exe's ratios to the two base lines, the time from the removal of Status15 to the start of the send hook, and
the CPU time quillet.exe uses while it waits 10 s for a phone that never finishes.
"""

import argparse
import os
import shutil
import signal
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
import run_e2e  # noqa: E402  (the suite's prefix, stand-ins and records)
from run_e2e import Case, Wine, expect, send_receive_world, wait_for  # noqa: E402


def press_time(c, started):
    press = [e for e in c.events("tmail") if e.what == "bar"]
    expect(press, f"{c.name}: nothing reached the bar")
    return press[0].time - started


def quillet_round(wine, name, program=None):
    """Start to press, and Status15's removal to the send hook, of one whole run."""
    c = Case(wine, name)
    if program is not None:
        shutil.copy2(program, c.program_dir / "quillet.exe")
    send_receive_world(c)
    code = c.run_quillet()
    expect(code == run_e2e.EXIT_DONE, f"{name}: quillet.exe exit code {code}")
    expect(len(c.finish()) == 2, f"{name}: the hooks were not both started")
    c.expect_press()
    _, removed = c.expect_exchange()
    return press_time(c, c.quillet_started), c.hook_events()[1].time - removed.time


def press_only_round(wine, name, *options):
    c = Case(wine, name)
    send_receive_world(c)
    program = c.program_dir / "pressonly.exe"
    shutil.copy2(wine.bin_dir / "pressonly.exe", program)
    started = time.time()
    result = wine.run(run_e2e.windows_path(wine, program), list(options), state=c.state)
    expect(result.returncode == 0, f"{name}: pressonly.exe exit code {result.returncode}")
    wait_for(lambda: len(c.button_messages()) >= 2, timeout=5)
    c.stop()
    c.expect_press()
    return press_time(c, started)


def waiting_cpu(wine):
    """CPU seconds quillet.exe uses in 10 s of polling a phone that never finishes."""
    c = Case(wine, "measure_cpu")
    c.profile()
    c.outbox(["waiting mail"])
    c.phone("never")
    c.messaging()
    process = c.start_quillet()
    expect(wait_for(lambda: c.phone_events("written"), timeout=20), "quillet.exe did not start polling")
    start_cpu = run_e2e.cpu_seconds(process.pid)
    time.sleep(10)
    cpu = run_e2e.cpu_seconds(process.pid) - start_cpu
    os.killpg(process.pid, signal.SIGKILL)
    process.wait()
    c.stop()
    return cpu


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def summary(values):
    return f"median {median(values) * 1000:.0f} ms ({min(values) * 1000:.0f} to {max(values) * 1000:.0f} ms)"


def measure(wine, rounds, earlier):
    quillet, press_only, window, hook, before = [], [], [], [], []
    programs = ["quillet", "pressonly", "window"] + (["earlier"] if earlier else [])
    for number in range(rounds):
        shift = number % len(programs)
        for which in programs[shift:] + programs[:shift]:
            if which == "quillet":
                press, to_hook = quillet_round(wine, f"measure_quillet_{number}")
                quillet.append(press)
                hook.append(to_hook)
            elif which == "earlier":
                before.append(quillet_round(wine, f"measure_earlier_{number}", earlier)[0])
            elif which == "window":
                window.append(press_only_round(wine, f"measure_window_{number}", "/window"))
            else:
                press_only.append(press_only_round(wine, f"measure_pressonly_{number}"))
    cpu = waiting_cpu(wine)

    print(f"start -> press at the bar, over {rounds} interleaved rounds:")
    print(f"  quillet.exe    {summary(quillet)}")
    print(f"  pressonly.exe  {summary(press_only)}")
    print(f"  pressonly.exe /window  {summary(window)}")
    print(f"  ratio of the medians, quillet.exe / pressonly.exe: {median(quillet) / median(press_only):.2f}")
    print(f"  ratio of the medians, quillet.exe / pressonly.exe /window: {median(quillet) / median(window):.2f}")
    if earlier:
        print(f"  {earlier}: {summary(before)}, ratios {median(before) / median(press_only):.2f} "
              f"and {median(before) / median(window):.2f}")
    print(f"removal of Status15 -> start of the send hook: {summary(hook)}")
    tick = 1000 / os.sysconf("SC_CLK_TCK")
    print(f"CPU time of quillet.exe while it waits 10 s: {cpu * 1000:.0f} ms "
          f"(user + system, counted in clock ticks of {tick:.0f} ms)")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--wine", default="/usr/lib/wine/wine64")
    parser.add_argument("--bin", required=True, help="folder holding the stand-ins and pressonly.exe")
    parser.add_argument("--quillet", required=True, help="quillet.exe to run")
    parser.add_argument("--work", required=True, help="where the prefix lives")
    parser.add_argument("--setup", action="store_true", help="make a fresh prefix first")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--earlier", help="another quillet.exe to time in the same rounds")
    args = parser.parse_args()

    wine = Wine(args)
    try:
        if args.setup:
            run_e2e.setup(wine)
        else:
            run_e2e.install_programs(wine)
        measure(wine, args.rounds, args.earlier)
    except run_e2e.CaseFailure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        for started in Case.started:
            started.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
