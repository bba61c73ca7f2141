#!/usr/bin/env python3
"""Writes the disc the virtual drive holds in the kernel check: a cue sheet with CD-Text and one
WAV file per track, whose samples are a different pseudo-random noise per track (a rip that comes
back shifted, cut or from the wrong track cannot match by chance).

usage: make_disc.py FOLDER        writes FOLDER/disc.cue and FOLDER/trackNN.wav
DISC below is also what the checks compare cd-info's and cdparanoia's output with.
"""
import os
import struct
import sys
import wave

FRAME_BYTES = 2352  # one CD frame of audio: 588 stereo 16-bit samples

DISC = {
    "title": "Ring Buffer & Friends",
    "performer": "The Kernel Quartet",
    "tracks": [
        {"title": "Mailbox Overture", "performer": "The Kernel Quartet", "frames": 450},
        {"title": "Tail & Head", "performer": "Uio Ensemble", "frames": 375},
        {"title": "Command Entry", "performer": "The Kernel Quartet", "frames": 300},
    ],
}


def track_audio(number, frames):
    """The track's samples: a 32-bit linear congruential noise seeded by the track number."""
    state = 0x9E3779B9 * number & 0xFFFFFFFF
    out = bytearray()
    for _ in range(frames * FRAME_BYTES // 4):
        state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
        out += struct.pack("<I", state)
    return bytes(out)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    lines = [f'TITLE "{DISC["title"]}"', f'PERFORMER "{DISC["performer"]}"']
    for number, track in enumerate(DISC["tracks"], start=1):
        name = f"track{number:02d}.wav"
        with wave.open(os.path.join(folder, name), "wb") as w:
            w.setnchannels(2)
            w.setsampwidth(2)
            w.setframerate(44100)
            w.writeframes(track_audio(number, track["frames"]))
        lines += [f'FILE "{name}" WAVE', f"  TRACK {number:02d} AUDIO",
                  f'    TITLE "{track["title"]}"', f'    PERFORMER "{track["performer"]}"',
                  "    INDEX 01 00:00:00"]
    with open(os.path.join(folder, "disc.cue"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
