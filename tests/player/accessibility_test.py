#!/usr/bin/python3
"""The player window as a screen reader sees it.

Starts `discolo --demo` on a private X server (Xvfb) and a private session bus, with Qt's
accessibility on, and reads the window's tree through AT-SPI (pyatspi), as Orca would. Every
program it starts is stopped at the end, also when a check fails.

Usage: accessibility_test.py PATH-TO-DISCOLO
"""

import ctypes
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

WAIT_SECONDS = 30
PICTURE_BUTTONS = {
    "Play", "Pause or resume", "Stop", "Previous track", "Back 6 seconds",
    "Forward 6 seconds", "Next track", "Eject or load",
}
TIME = re.compile(r"^\d\d:\d\d$")

libc = ctypes.CDLL(None, use_errno=True)
PR_SET_PDEATHSIG = 1


def die_with_parent():
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


class Programs:
    """Programs started for the test, each in a process group of its own, all stopped at the end."""

    def __init__(self):
        self.started = []

    def start(self, command, env, **options):
        process = subprocess.Popen(command, env=env, start_new_session=True,
                                   preexec_fn=die_with_parent, **options)
        self.started.append(process)
        return process

    def stop_all(self):
        for process in reversed(self.started):
            for sig in (signal.SIGTERM, signal.SIGKILL):
                try:
                    os.killpg(process.pid, sig)
                except ProcessLookupError:
                    break
                try:
                    process.wait(timeout=3)
                    break
                except subprocess.TimeoutExpired:
                    continue


def wait_for(what, probe):
    deadline = time.monotonic() + WAIT_SECONDS
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    raise AssertionError("timed out waiting for " + what)


def start_desktop(programs, runtime):
    """An X server and a session bus; returns the environment that reaches both."""
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    display_read, display_write = os.pipe()
    programs.start(["Xvfb", "-displayfd", str(display_write), "-screen", "0", "800x600x24",
                    "-nolisten", "tcp"], env, pass_fds=[display_write],
                   stderr=subprocess.DEVNULL)
    os.close(display_write)
    with os.fdopen(display_read) as display:
        env["DISPLAY"] = ":" + display.readline().strip()
    bus = programs.start(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env,
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    return env


def find_player(pyatspi):
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        application = desktop.getChildAtIndex(index)
        if application is not None and application.name.lower().startswith("discolo"):
            return application
    return None


def walk(node):
    yield node
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            yield from walk(child)


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def labelled_by(pyatspi, node):
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return []


def check_window(pyatspi, application):
    """What a screen reader would stumble on, as a list of problems."""
    problems = []
    nodes = list(walk(application))
    buttons = [n for n in nodes if n.getRole() in (pyatspi.ROLE_PUSH_BUTTON,
                                                   pyatspi.ROLE_TOGGLE_BUTTON,
                                                   pyatspi.ROLE_CHECK_BOX)]
    if len(buttons) != 10:
        problems.append("%d buttons in the tree, not 10" % len(buttons))
    unnamed = [n.getRoleName() for n in buttons if not n.name.strip()]
    if unnamed:
        problems.append("buttons without a name: " + ", ".join(unnamed))
    missing = PICTURE_BUTTONS - {n.name for n in buttons}
    if missing:
        problems.append("buttons not named: " + ", ".join(sorted(missing)))

    def named(name, role):
        return [n for n in nodes if n.name == name and n.getRole() == role]

    for readout in ("Track position", "Disc position"):
        found = named(readout, pyatspi.ROLE_LABEL)
        values = [text_of(n) for n in found]
        if len(found) != 1 or not TIME.match(values[0]):
            problems.append("%s reads %r, not one time" % (readout, values))
        elif labelled_by(pyatspi, found[0]) != [readout.replace("p", "P")]:
            problems.append("%s is not labelled by its caption" % readout)
    for field, shows in (("Title", "Tides & Tin Roofs"), ("Artist", "The Marlow Vane Quartet")):
        if shows not in [text_of(n) for n in named(field, pyatspi.ROLE_LABEL)]:
            problems.append("no field named %s reads %r" % (field, shows))
    if not named("Position on the disc", pyatspi.ROLE_SLIDER):
        problems.append("no slider named Position on the disc")
    # A selector reads its entry as its name; the caption beside it labels it.
    combos = [n for n in nodes if n.getRole() == pyatspi.ROLE_COMBO_BOX]
    if not any(c.name.startswith("[") and labelled_by(pyatspi, c) == ["Track"]
               for c in combos):
        problems.append("the track selector is not labelled Track")
    return problems


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    discolo = sys.argv[1]
    programs = Programs()
    try:
        with tempfile.TemporaryDirectory() as runtime:
            os.chmod(runtime, 0o700)
            env = start_desktop(programs, runtime)
            os.environ.update(DISPLAY=env["DISPLAY"],
                              DBUS_SESSION_BUS_ADDRESS=env["DBUS_SESSION_BUS_ADDRESS"],
                              XDG_RUNTIME_DIR=runtime)
            programs.start([discolo, "--demo"],
                           dict(env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                                QT_ACCESSIBILITY="1"),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            import pyatspi  # reaches the accessibility bus through the session bus set above

            application = wait_for("the player on the accessibility bus",
                                   lambda: find_player(pyatspi))
            # The tree fills in while the window starts: look until it reads right, or time out
            # with what was still wrong.
            deadline = time.monotonic() + WAIT_SECONDS
            problems = check_window(pyatspi, application)
            while problems and time.monotonic() < deadline:
                time.sleep(0.5)
                problems = check_window(pyatspi, application)
            for problem in problems:
                print("FAIL: " + problem)
            print("accessible tree checked: %d problems" % len(problems))
            return 1 if problems else 0
    finally:
        programs.stop_all()


if __name__ == "__main__":
    sys.exit(main())
