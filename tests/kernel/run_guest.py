#!/usr/bin/env python3
"""Boots the kernel check's guest in qemu and records its console.

The guest's SCSI hosts, in the order the kernel numbers them as the modules load:
  host0 virtio-scsi: target 0 a disk; target 3 LUN 0 VORTANE "CD-ROM VX-6012SA" with a data disc
                     (drive A); target 3 LUN 1 another CD (must not be listed); target 5 NORDISK
                     with a data disc (drive B)
  host1 virtio-scsi: empty (adapter numbers close the gap)
  host2 virtio-scsi: target 2 VORTANE "CD-ROM VX-4020SA", empty tray
  host3-8 AHCI:      port 0 an ATAPI CD (libata fixes its vendor to "ATA")
  tcm_loop host:     target 4, the virtual drive answered through TCMU (set up by the guest)
QEMU's own CD drives implement no audio commands; the virtual drive does.

The guest asks for monitor commands with console lines "@@ HOST device_del vx6012" and
"@@ HOST device_add vx6012"; they are run as soon as the line appears. KVM is tried first unless
--tcg; a KVM guest that prints nothing in --kvm-wait seconds (nested KVM can hang silently) is
killed and the run repeated under TCG.

usage: run_guest.py --kernel VMLINUZ --initrd INITRD --work DIR --log FILE [--only a,b] [--tcg]
"""
import argparse
import json
import os
import socket
import subprocess
import sys
import threading
import time


def make_image(path, mib):
    if not os.path.exists(path):
        with open(path, "wb") as f:
            f.truncate(mib * 1024 * 1024)


def monitor(path, line):
    """One human monitor command; returns what it printed."""
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(path)
    s.settimeout(3)
    out = b""
    try:
        out += s.recv(4096)  # banner and prompt
        s.sendall(line.encode() + b"\n")
        time.sleep(0.5)
        out += s.recv(65536)
    except socket.timeout:
        pass
    s.close()
    text = out.decode(errors="replace").replace("\r", "")
    lines = [l for l in text.split("\n") if l and not l.startswith("QEMU ") and "(qemu)" not in l]
    return " | ".join(lines) or "(ok)"


def qmp(path, command, arguments):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(path)
    f = s.makefile("rw")
    f.readline()  # greeting
    f.write(json.dumps({"execute": "qmp_capabilities"}) + "\n")
    f.flush()
    f.readline()
    f.write(json.dumps({"execute": command, "arguments": arguments}) + "\n")
    f.flush()
    reply = f.readline().strip()
    while '"event"' in reply:
        reply = f.readline().strip()
    s.close()
    return reply


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--kernel", required=True)
    ap.add_argument("--initrd", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--log", required=True)
    ap.add_argument("--only", default="")
    ap.add_argument("--tcg", action="store_true", help="do not try KVM")
    ap.add_argument("--kvm-wait", type=int, default=10)
    ap.add_argument("--timeout", type=int, default=900)
    a = ap.parse_args()

    os.makedirs(a.work, exist_ok=True)
    img = {n: os.path.join(a.work, n + ".img") for n in ("hd", "vx6012", "lun1", "nordisk", "atapi")}
    make_image(img["hd"], 8)
    for n in ("vx6012", "lun1", "nordisk", "atapi"):
        make_image(img[n], 4)  # a "data disc" of 2048 blocks of 2048 bytes
    mon_path = os.path.join(a.work, "monitor.sock")
    qmp_path = os.path.join(a.work, "qmp.sock")

    append = "console=ttyS0 panic=-1 loglevel=4"
    if a.only:
        append += " kcheck.only=" + a.only
    cd = "format=raw,media=cdrom,readonly=on"
    base = [
        "qemu-system-x86_64", "-M", "q35", "-m", "1024", "-smp", "1", "-nodefaults",
        "-no-reboot", "-display", "none", "-serial", "stdio",
        "-monitor", f"unix:{mon_path},server=on,wait=off",
        "-qmp", f"unix:{qmp_path},server=on,wait=off",
        "-kernel", a.kernel, "-initrd", a.initrd, "-append", append,
        "-device", "virtio-scsi-pci,id=vs0", "-device", "virtio-scsi-pci,id=vs1",
        "-device", "virtio-scsi-pci,id=vs2",
        "-drive", f"if=none,id=hd0,file={img['hd']},format=raw",
        "-device", "scsi-hd,bus=vs0.0,scsi-id=0,lun=0,drive=hd0,id=hd",
        "-drive", f"if=none,id=cd0,file={img['vx6012']},{cd}",
        "-device", "scsi-cd,bus=vs0.0,scsi-id=3,lun=0,drive=cd0,id=vx6012,vendor=VORTANE,"
                   "product=CD-ROM VX-6012SA,ver=1.12",
        "-drive", f"if=none,id=cdl1,file={img['lun1']},{cd}",
        "-device", "scsi-cd,bus=vs0.0,scsi-id=3,lun=1,drive=cdl1,id=lun1,vendor=VORTANE,"
                   "product=CD-ROM VX-LUN1,ver=1.12",
        "-drive", f"if=none,id=cd5,file={img['nordisk']},{cd}",
        "-device", "scsi-cd,bus=vs0.0,scsi-id=5,lun=0,drive=cd5,id=nordisk,vendor=NORDISK,"
                   "product=CD-ROM ND-2400S,ver=3.01",
        "-drive", "if=none,id=cd2,media=cdrom",
        "-device", "scsi-cd,bus=vs2.0,scsi-id=2,lun=0,drive=cd2,id=vx4020,vendor=VORTANE,"
                   "product=CD-ROM VX-4020SA,ver=1.08",
        "-drive", f"if=none,id=atapi0,file={img['atapi']},{cd}",
        "-device", "ide-cd,bus=ide.0,drive=atapi0,id=atapi,model=ATAPI CD-ROM",
    ]

    logf = open(a.log, "w")
    lock = threading.Lock()

    def log(line):
        with lock:
            logf.write(line + "\n")
            logf.flush()

    def host_command(request):
        if request == "device_del vx6012":
            log(f"[monitor] device_del vx6012 -> {monitor(mon_path, 'device_del vx6012')}")
        elif request == "device_add vx6012":
            added = monitor(mon_path, f"drive_add 0 if=none,id=cd0b,file={img['vx6012']},{cd}")
            log(f"[monitor] drive_add cd0b -> {added}")
            # The monitor cannot pass a product name with a blank in it; QMP can.
            reply = qmp(qmp_path, "device_add", {
                "driver": "scsi-cd", "bus": "vs0.0", "scsi-id": 3, "lun": 0, "drive": "cd0b",
                "id": "vx6012b", "vendor": "VORTANE", "product": "CD-ROM VX-6012SA",
                "ver": "1.12"})
            log(f"[qmp] device_add vx6012b -> {reply}")
        else:
            log(f"[host] unknown request {request}")

    def run_once(use_kvm, first_output_wait):
        for sock in (mon_path, qmp_path):
            if os.path.exists(sock):
                os.unlink(sock)
        args = base[:1] + (["-enable-kvm"] if use_kvm else []) + base[1:]
        log("[host] " + " ".join(f"'{x}'" if " " in x else x for x in args))
        started = time.time()
        proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)
        seen = threading.Event()
        watchdog = threading.Timer(first_output_wait, lambda: None if seen.is_set() else proc.kill())
        watchdog.start()
        timer = threading.Timer(a.timeout, proc.kill)
        timer.start()
        for raw in proc.stdout:
            line = raw.decode(errors="replace").rstrip("\r\n")
            log(line)
            if line.startswith("[") or line.startswith("@@"):
                seen.set()
            if line.startswith("@@ HOST "):
                threading.Thread(target=host_command, args=(line[8:].strip(),),
                                 daemon=True).start()
        proc.wait()
        timer.cancel()
        watchdog.cancel()
        log(f"[host] qemu exit {proc.returncode} after {time.time() - started:.1f} s, "
            f"accelerator {'kvm' if use_kvm else 'tcg'}")
        return proc.returncode, seen.is_set()

    use_kvm = not a.tcg and os.access("/dev/kvm", os.R_OK | os.W_OK)
    booted = False
    if use_kvm:
        rc, booted = run_once(True, a.kvm_wait)
        if not booted:
            log("[host] the KVM guest printed nothing: running under TCG")
    if not booted:
        rc, booted = run_once(False, 120)
    logf.close()
    return 0 if rc == 0 and booted else 1


if __name__ == "__main__":
    sys.exit(main())
