#!/usr/bin/python3
"""discolo.exe as a user meets it, under wine on the wine session's X server (Xvfb):

1. `discolo.exe --demo --audio-file windows.wav`, looked at and clicked by window_probe.exe (its
   window and controls against the dialog table, the About box, Play, Next, Close); it must end
   with 0 and say nothing.
2. The same run of the Linux build, through the media bus (play, next, and Quit, which is the
   window's close), into linux.wav.
3. The two files hold the same music: the demo synthesizes its discs alike everywhere, so where
   both played the same part of the disc the frames are equal, byte for byte, before Next (track
   2, from wherever the demo's play had got to) and after it (track 3 from its start).
4. --screenshot pictures of both windows, PNG and BMP, left beside the sound files.

Usage: wine_window_test.py DISCOLO.EXE WINDOW_PROBE.EXE LINUX_DISCOLO OUTPUT_FOLDER
"""

import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

FRAME = 2352
SECOND = 75
problems = []


def check(ok, what):
    if not ok:
        problems.append(what)
        print("wine_window_test: " + what, flush=True)
    return ok


def wine_environment():
    environment = dict(os.environ)
    with open(os.path.join(environment["WINEPREFIX"], "x-display")) as display:
        environment["DISPLAY"] = display.read().strip()
    return environment


def wav_frames(path):
    with open(path, "rb") as file:
        data = file.read()
    if len(data) < 44 or data[0:4] != b"RIFF" or data[36:40] != b"data":
        check(False, "%s is no WAV file" % path)
        return []
    size = struct.unpack("<I", data[40:44])[0]
    check(size == len(data) - 44, "%s: its header says %d bytes of %d" % (path, size, len(data) - 44))
    body = data[44:44 + size]
    return [body[i:i + FRAME] for i in range(0, len(body) - FRAME + 1, FRAME)]


def heard_after(path, frames, limit=30):
    """Waits until the WAV file at `path` holds `frames` frames (or `limit` seconds pass)."""
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        try:
            if os.path.getsize(path) >= 44 + frames * FRAME:
                return True
        except OSError:
            pass
        time.sleep(0.05)
    return check(False, "%s did not reach %d frames" % (path, frames))


def runs(ours, theirs, shortest):
    """Where `ours` plays what `theirs` plays: the longest runs (i, j, length) with ours[i + k] ==
    theirs[j + k], at least `shortest` frames long, that overlap neither in ours nor in theirs,
    in the order of i. Shorter runs are chance: the tunes of two tracks may meet for a moment."""
    where = {}
    silent = bytes(FRAME)
    for j, frame in enumerate(theirs):
        if frame != silent:
            where.setdefault(frame, []).append(j)
    found = []
    for i, frame in enumerate(ours):
        for j in where.get(frame, []):
            if i > 0 and j > 0 and ours[i - 1] == theirs[j - 1]:
                continue  # inside a run that starts earlier
            length = 0
            while i + length < len(ours) and j + length < len(theirs) and \
                    ours[i + length] == theirs[j + length]:
                length += 1
            if length >= shortest:
                found.append((i, j, length))
    chosen = []
    for i, j, length in sorted(found, key=lambda run: -run[2]):
        if all(i + length <= a or a + n <= i for a, _, n in chosen) and \
                all(j + length <= b or b + n <= j for _, b, n in chosen):
            chosen.append((i, j, length))
    return sorted(chosen)


def compare_sound(windows_wav, linux_wav):
    ours = wav_frames(windows_wav)
    theirs = wav_frames(linux_wav)
    check(len(ours) >= 2 * SECOND, "the Windows run heard %d frames" % len(ours))
    check(len(theirs) >= 2 * SECOND, "the Linux run heard %d frames" % len(theirs))
    matched = runs(ours, theirs, SECOND // 2)
    print("wine_window_test: %d and %d frames; equal runs (windows, linux, frames): %s"
          % (len(ours), len(theirs), matched), flush=True)
    # Track 2 where both heard it, from where the later of the two began, then track 3 from its
    # start to where the shorter of the two ended; between them only what one played of track 2
    # after the other had left it.
    if not check(len(matched) == 2, "not two runs of equal frames (track 2, track 3)"):
        return
    (i1, j1, n1), (i2, j2, n2) = matched
    check(i1 == 0 or j1 == 0, "track 2 differs where both began")
    check(j2 > j1, "the Linux run heard track 3 before track 2")
    check(i2 == i1 + n1 or j2 == j1 + n1, "both runs played past the other's track 2")
    check(i2 + n2 == len(ours) or j2 + n2 == len(theirs),
          "after Next the sound differs before either run ended")


def png_size(path):
    """The size of a PNG whose chunks and pixel data are whole, else None."""
    with open(path, "rb") as file:
        data = file.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    at, size, pixels = 8, None, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if zlib.crc32(kind + body) != struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0]:
            return None
        if kind == b"IHDR":
            size = struct.unpack(">II", body[:8])
        elif kind == b"IDAT":
            pixels += body
        at += 12 + length
    if size is None or len(zlib.decompress(pixels)) != size[1] * (1 + 3 * size[0]):
        return None
    return size


def bmp_size(path):
    with open(path, "rb") as file:
        data = file.read()
    if data[:2] != b"BM" or struct.unpack("<I", data[2:6])[0] != len(data):
        return None
    return struct.unpack("<ii", data[18:26])


def main():
    exe, probe, linux_discolo, output = sys.argv[1:5]
    shutil.rmtree(output, ignore_errors=True)
    os.makedirs(output)
    environment = wine_environment()
    windows_wav = os.path.join(output, "windows.wav")
    linux_wav = os.path.join(output, "linux.wav")

    # 1. The Windows program, clicked from another process.
    player = subprocess.Popen(["wine", exe, "--demo", "--audio-file", windows_wav],
                              env=environment, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    looked = subprocess.run(["wine", probe], env=environment, capture_output=True, text=True,
                            timeout=180)
    print(looked.stdout, end="", flush=True)
    check(looked.returncode == 0, "window_probe found problems")
    try:
        out, err = player.communicate(timeout=30)
        check(player.returncode == 0, "discolo.exe ended with %d" % player.returncode)
        check(err == b"" and out == b"", "discolo.exe said %r %r" % (out, err))
    except subprocess.TimeoutExpired:
        player.kill()
        player.communicate()
        check(False, "discolo.exe did not end after Close")

    # 2. The Linux build, the same run through the media bus.
    if not check(os.access(linux_discolo, os.X_OK),
                 "no Linux build at %s (make build makes it)" % linux_discolo):
        return finish()
    with tempfile.TemporaryDirectory() as runtime:
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               stdout=subprocess.PIPE, text=True)
        linux = None
        try:
            address = bus.stdout.readline().strip()
            linux_environment = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address,
                                     QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime,
                                     XDG_CACHE_HOME=os.path.join(runtime, "cache"))
            linux = subprocess.Popen([linux_discolo, "--demo", "--audio-file", linux_wav],
                                     env=linux_environment, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE)

            def media(*words):
                return subprocess.run(["playerctl", "-p", "discolo"] + list(words),
                                      env=linux_environment, capture_output=True, timeout=20)

            deadline = time.monotonic() + 30
            while media("status").returncode != 0 and time.monotonic() < deadline:
                time.sleep(0.1)
            # The clicks follow what the file has heard, not the clock: a loaded machine
            # starts the play late, and the run must still hear track 2, then track 3.
            media("play")
            heard_after(linux_wav, 0.7 * SECOND)
            media("next")
            heard_after(linux_wav, 2.2 * SECOND)
            subprocess.run(["gdbus", "call", "--session", "--dest", "org.mpris.MediaPlayer2.discolo",
                            "--object-path", "/org/mpris/MediaPlayer2",
                            "--method", "org.mpris.MediaPlayer2.Quit"],
                           env=linux_environment, capture_output=True, timeout=20)
            linux.communicate(timeout=30)
            check(linux.returncode == 0, "the Linux discolo ended with %d" % linux.returncode)
        finally:
            for process in (linux, bus):
                if process is not None and process.poll() is None:
                    process.send_signal(signal.SIGKILL)
                    process.wait()

    # 3. The same music.
    compare_sound(windows_wav, linux_wav)

    # 4. Pictures of both windows.
    for name in ("windows.png", "windows.bmp"):
        shot = subprocess.run(["wine", exe, "--demo", "--analog", "--screenshot",
                               os.path.join(output, name)],
                              env=environment, capture_output=True, timeout=60)
        check(shot.returncode == 0 and shot.stderr == b"",
              "--screenshot %s: %d %r" % (name, shot.returncode, shot.stderr))
    png = png_size(os.path.join(output, "windows.png"))
    bmp = bmp_size(os.path.join(output, "windows.bmp"))
    check(png is not None and png[0] > 300 and png[1] > 200, "windows.png: %r" % (png,))
    check(bmp is not None and tuple(bmp) == png, "windows.bmp %r beside windows.png %r" % (bmp, png))
    subprocess.run([linux_discolo, "--demo", "--analog", "--screenshot",
                    os.path.join(output, "linux.png")],
                   env=dict(os.environ, QT_QPA_PLATFORM="offscreen"), capture_output=True,
                   timeout=60)
    return finish()


def finish():
    if problems:
        print("wine_window_test: %d problems" % len(problems))
        return 1
    print("wine_window_test: all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
