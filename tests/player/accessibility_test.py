#!/usr/bin/python3
"""The player window as a screen reader reads it: `discolo --demo` on a private X server and
session bus with Qt's accessibility on, its tree read through AT-SPI (pyatspi). Every program
started here is stopped at the end, also when a check fails.

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
PICTURE_BUTTONS = {"Play", "Pause or resume", "Stop", "Previous track", "Back 6 seconds",
                   "Forward 6 seconds", "Next track", "Eject or load"}
TIME = re.compile(r"^\d\d:\d\d$")
started = []


def start(command, env, **options):
    """A program in a process group of its own, which also dies if this script is killed."""
    die_with_parent = lambda: ctypes.CDLL(None).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    started.append(subprocess.Popen(command, env=env, start_new_session=True,
                                    preexec_fn=die_with_parent, **options))
    return started[-1]


def stop_all():
    for process in reversed(started):
        for sig in (signal.SIGTERM, signal.SIGKILL):
            try:
                os.killpg(process.pid, sig)
                process.wait(timeout=3)
                break
            except ProcessLookupError:
                break
            except subprocess.TimeoutExpired:
                continue


def walk(node):
    yield node
    for child in (node.getChildAtIndex(i) for i in range(node.childCount)):
        if child is not None:
            yield from walk(child)


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def labelled_by(pyatspi, node):
    return [r.getTarget(i).name for r in node.getRelationSet()
            if r.getRelationType() == pyatspi.RELATION_LABELLED_BY
            for i in range(r.getNTargets())]


def problems_in(pyatspi, application):
    """What a screen reader would stumble on."""
    problems = []
    nodes = list(walk(application))
    buttons = [n for n in nodes if n.getRole() in (pyatspi.ROLE_PUSH_BUTTON,
                                                   pyatspi.ROLE_TOGGLE_BUTTON,
                                                   pyatspi.ROLE_CHECK_BOX)]
    if len(buttons) != 10 or not all(n.name.strip() for n in buttons):
        problems.append("buttons and their names: %r" % [n.name for n in buttons])
    if PICTURE_BUTTONS - {n.name for n in buttons}:
        problems.append("unnamed: %s" % sorted(PICTURE_BUTTONS - {n.name for n in buttons}))

    def named(name, role):
        return [n for n in nodes if n.name == name and n.getRole() == role]

    for readout, caption in (("Track position", "Track Position"),
                             ("Disc position", "Disc Position")):
        found = named(readout, pyatspi.ROLE_LABEL)
        values = [text_of(n) for n in found]
        if (len(found) != 1 or not TIME.match(values[0])
                or labelled_by(pyatspi, found[0]) != [caption]):
            problems.append("%s reads %r" % (readout, values))
    for field, shows in (("Title", "Tides & Tin Roofs"), ("Artist", "The Marlow Vane Quartet")):
        if shows not in [text_of(n) for n in named(field, pyatspi.ROLE_LABEL)]:
            problems.append("no field named %s reads %r" % (field, shows))
    if not named("Position on the disc", pyatspi.ROLE_SLIDER):
        problems.append("no slider named Position on the disc")
    # A selector reads its entry as its name; the caption beside it labels it.
    if not any(n.getRole() == pyatspi.ROLE_COMBO_BOX and n.name.startswith("[")
               and labelled_by(pyatspi, n) == ["Track"] for n in nodes):
        problems.append("the track selector is not labelled Track")
    return problems


def main():
    with tempfile.TemporaryDirectory() as runtime:
        os.chmod(runtime, 0o700)
        env = {k: v for k, v in os.environ.items() if k != "DBUS_SESSION_BUS_ADDRESS"}
        env["XDG_RUNTIME_DIR"] = runtime
        display_read, display_write = os.pipe()
        start(["Xvfb", "-displayfd", str(display_write), "-screen", "0", "800x600x24",
               "-nolisten", "tcp"], env, pass_fds=[display_write], stderr=subprocess.DEVNULL)
        os.close(display_write)
        with os.fdopen(display_read) as display:
            env["DISPLAY"] = ":" + display.readline().strip()
        bus = start(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env,
                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        start([sys.argv[1], "--demo"], dict(env, QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1",
                                            QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"),
              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        os.environ.update(env)
        import pyatspi  # reaches the accessibility bus through the session bus set above

        # The tree fills in while the window starts: look until it reads right, or time out
        # with what was still wrong.
        deadline = time.monotonic() + WAIT_SECONDS
        problems = ["the player never appeared on the accessibility bus"]
        while problems and time.monotonic() < deadline:
            desktop = pyatspi.Registry.getDesktop(0)
            for application in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
                if application is not None and application.name.lower() == "discolo":
                    problems = problems_in(pyatspi, application)
            if problems:
                time.sleep(0.5)
        for problem in problems:
            print("FAIL: " + problem)
        return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    try:
        sys.exit(main())
    finally:
        stop_all()
