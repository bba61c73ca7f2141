#!/usr/bin/env python3
"""Turns the kernel check's console log into Markdown tables and a verdict.

usage: summarize.py [--results FILE] [--only a,b] LOG
Exit 1 when a check fails: a "@@ CHECK ...: FAIL" from the guest, or one of the rules below.

A cell is the command's return value, then how the request ended:
  OK            SRB_Status 01
  CC k/asc/ascq CHECK CONDITION with that sense
  HOST hh       the kernel's host_status hh (the transport lost the command)
  NO_DEVICE     SRB_Status 82;  INVALID_HA: 81
  ERR errno     a failed open or ioctl
and after '@' the node the layer used (sg RW, sg RO, sr RO); "a5:EPERM→47" means the kernel
refused PLAY AUDIO(12) and the layer sent PLAY AUDIO MSF instead.
"""
import argparse
import os
import re
import sys
from collections import OrderedDict

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_disc import DISC  # noqa: E402

CMD = re.compile(r"^(?:\[\s*([\d.]+)s\] )?A(\d+) T(\d+)\s+(.*?)\s+ret=(-?\d+)\s+(.*)$")
SRB = re.compile(r"SRB_Status=(\w\w) HaStat=(\w\w) TargStat=(\w\w)(?: key/ASC/ASCQ=(\S+))?")
OPEN = re.compile(r"^    open\(/dev/((sg|sr)\d+), (O_\w+)\) = (fd|-1 (\w+))")
IOCTL = re.compile(r"^    ioctl\(SG_IO cdb=\[(\w\w)[^\]]*\] len=\d+\) = (?:-1 (\w+)|0 status=(\w\w) host=(\w+))")

# The node every command must go through in each scenario, when it reaches a node at all.
NODE = {"root": "sg RW", "member": "sg RW", "member-sg-ro": "sg RO", "member-sr-only": "sr RO",
        "no-sg-root": "sr RO", "no-sg-member": "sr RO"}
# Where the kernel refuses PLAY AUDIO(12) and the layer must resend it as PLAY AUDIO MSF.
RESENT = {"member-sg-ro", "member-sr-only", "no-sg-member"}
PROBE_SCENARIOS = list(NODE) + ["outsider"]
CAPTIONS = ['"ID:3   VX-6012SA"', '"ID:2   VX-4020SA"', '"ID:4   VX-7010SA"']
BRIEF = ["INQUIRY (InquireDevice)", "TEST UNIT READY", "READ TOC (ReadToc)",
         "READ TOC CD-TEXT (FetchDiscText)", "READ SUB-CHANNEL (playing?)",
         "PLAY AUDIO(12) 0+375 frames", "PAUSE", "START STOP UNIT eject", "START STOP UNIT load"]


class Command:
    def __init__(self, at, device, name, ret, srb):
        self.at, self.device, self.name, self.ret, self.srb = at, device, name, ret, srb
        self.opens = []   # (kind, access, errno or None)
        self.paths = []   # the nodes opened, in order
        self.ioctls = []  # (opcode, errno or None)
        self.extra = ""   # what the probe added ("answered by ...")

    def status(self):
        m = SRB.search(self.srb)
        if not m:
            return "(not sent)"
        status, ha, targ, sense = m.groups()
        if status == "01":
            return "OK"
        if status == "82":
            return "NO_DEVICE"
        if status == "81":
            return "INVALID_HA"
        if targ == "02" and sense:
            return f"CC {sense}"
        if ha != "00":
            return f"HOST (HaStat {ha})"
        errors = [e for _, _, e in self.opens if e] + [e for _, e in self.ioctls if e]
        return f"ERR {errors[-1]}" if errors else "ERR"

    def requests(self):
        return "no request reached" not in self.srb

    def node(self):
        used = [f"{kind} {'RW' if access == 'O_RDWR' else 'RO'}" for kind, access, e in self.opens
                if not e]
        return used[-1] if used else ""

    def resent(self):
        return [op for op, e in self.ioctls] == ["a5", "47"] and self.ioctls[0][1] == "EPERM"

    def cell(self):
        text = f"{self.ret} {self.status()}"
        if self.node():
            text += f" @{self.node()}"
        if self.resent():
            text += " a5:EPERM→47"
        return text


def parse(path):
    scenarios = OrderedDict()
    name = "boot"
    current = None
    lines = open(path, errors="replace").read().split("\n")
    for line in lines:
        if line.startswith("@@ SCENARIO "):
            name = line[len("@@ SCENARIO "):].split(":")[0]
            scenarios.setdefault(name, {"commands": [], "lines": []})
            current = None
            continue
        scenarios.setdefault(name, {"commands": [], "lines": []})["lines"].append(line)
        m = CMD.match(line)
        if m:
            at, a, t, what, ret, rest = m.groups()
            current = Command(at, f"A{a} T{t}", what, ret, rest)
            scenarios[name]["commands"].append(current)
            continue
        if current is not None:
            o = OPEN.match(line)
            if o:
                current.opens.append((o.group(2), o.group(3), o.group(5)))
                if not o.group(5):
                    current.paths.append(o.group(1))
                continue
            if line.startswith("    => "):
                current.extra = line[7:]
                continue
            i = IOCTL.match(line)
            if i:
                current.ioctls.append((i.group(1), i.group(2)))
                continue
            if not line.startswith("    "):
                current = None
    return lines, scenarios


class Verdict:
    def __init__(self):
        self.checks = []

    def add(self, name, ok, detail=""):
        self.checks.append((name, ok, detail))

    def failed(self):
        return [c for c in self.checks if not c[1]]


def cd_devices(scenario):
    """The devices of a scenario's mapping that are CD drives (type 5), as "A0 T3"."""
    found = []
    for line in scenario["lines"]:
        m = re.match(r"^  adapter (\d+)  host \d+  target (\d+)  type 5 ", line)
        if m:
            found.append(f"A{m.group(1)} T{m.group(2)}")
    return found


def probe_rules(scenarios, verdict, wanted):
    root = {(c.device, c.name): c.status() for c in scenarios.get("root", {}).get("commands", [])}
    for name in PROBE_SCENARIOS:
        if name not in wanted:
            continue
        s = scenarios.get(name)
        if not s:
            verdict.add(f"{name}: ran", False, "no such scenario in the log")
            continue
        verdict.add(f"{name}: the probe ran to its end", any(l.startswith("== probe end") for l in s["lines"]))
        cds = cd_devices(s)
        commands = [c for c in s["commands"] if c.device in cds]
        if name == "outsider":
            bad = [c for c in commands if c.status() != "ERR EACCES" and not c.name.startswith("TUR ")
                   and c.requests()]
            verdict.add("outsider: every command on a CD drive is refused (EACCES)", not bad,
                        ", ".join(f"{c.device} {c.name}: {c.cell()}" for c in bad[:3]))
            notice = next((l for l in s["lines"] if l.startswith("== permission notice:")), "")
            sr = set()
            for line in s["lines"]:
                m = re.match(r"^  adapter \d+  host \d+  target \d+  type 5  generic '\w*'  block '(sr\d+)'", line)
                if m:
                    sr.add(m.group(1))
            verdict.add("outsider: one permission notice naming every CD drive",
                        bool(sr) and all(f"/dev/{n}" in notice for n in sr) and "cdrom" in notice,
                        notice)
            continue
        notice = next((l for l in s["lines"] if l.startswith("== permission notice:")), "")
        verdict.add(f"{name}: no permission notice", notice.endswith("(none)"), notice)
        wrong = [c for c in commands if c.node() and c.node() != NODE[name]]
        verdict.add(f"{name}: every command went through {NODE[name]}", not wrong,
                    ", ".join(f"{c.device} {c.name}: {c.cell()}" for c in wrong[:3]))
        plays = [c for c in commands if c.name.startswith("PLAY AUDIO(12)") and c.node()]
        if name in RESENT:
            ok = bool(plays) and all(c.resent() for c in plays)
            verdict.add(f"{name}: PLAY AUDIO(12) refused (EPERM) and resent as PLAY AUDIO MSF", ok)
        else:
            ok = bool(plays) and all([op for op, _ in c.ioctls] == ["a5"] for c in plays)
            verdict.add(f"{name}: PLAY AUDIO(12) goes through as it is", ok)
        if name != "root" and root:
            # The access path changes nothing a drive answers, except that an sr open's own
            # TEST UNIT READY can take the unit attention after a load.
            differ = [c for c in commands if (c.device, c.name) in root and "(loaded" not in c.name
                      and c.status() != root[(c.device, c.name)]]
            verdict.add(f"{name}: every answer as for root", not differ,
                        ", ".join(f"{c.device} {c.name}: {c.status()} (root {root[(c.device, c.name)]})"
                                  for c in differ[:4]))
        if name == "root":
            captions = [l.split("caption ")[1].split("  (")[0] for l in s["lines"] if l.startswith("  caption ")]
            verdict.add("root: discovery lists the VORTANE drives", captions == CAPTIONS, str(captions))


def unplug_rules(scenarios, verdict):
    s = scenarios.get("unplug")
    if not s:
        verdict.add("unplug: ran", False)
        return
    inquiries = [c for c in s["commands"] if c.device == "A0 T3" and c.name.startswith("INQUIRY")]
    wrong = []
    block = None
    for line in s["lines"]:
        m = CMD.match(line)
        if m:
            block = f"A{m.group(2)} T{m.group(3)}"
        if "answered by" in line and block == "A0 T3" and "VX-6012SA" not in line:
            wrong.append(line.strip())
    verdict.add("unplug: drive A's address is never answered by another drive", not wrong,
                "; ".join(wrong[:2]))
    verdict.add("unplug: while A is away its commands answer NO_DEVICE",
                any(c.status() == "NO_DEVICE" for c in inquiries))
    verdict.add("unplug: A answers again once it is back under new names",
                bool(inquiries) and inquiries[-1].status() == "OK" and "VX-6012SA" in inquiries[-1].extra,
                inquiries[-1].extra if inquiries else "")
    b = [c for c in s["commands"] if c.device == "A0 T5" and c.name.startswith("INQUIRY")]
    verdict.add("unplug: B answers under A's old names",
                bool(b) and b[-1].status() == "OK" and "ND-2400S" in b[-1].extra)
    asked = [l for l in s["lines"] if l.startswith("@@ HOST ")]
    verdict.add("unplug: the host unplugged and plugged drive A", len(asked) == 2)


def client_rules(lines, verdict):
    text = "\n".join(lines)
    m = re.search(r"@@ cd-info BEGIN\n(.*?)\n@@ cd-info END", text, re.S)
    if not m:
        verdict.add("cd-info: ran", False)
        return None
    out = m.group(1)
    starts, at = [], 0
    for track in DISC["tracks"]:
        starts.append(at)
        at += track["frames"]
    listed = [(int(n), int(lsn)) for n, lsn in re.findall(r"^\s*(\d+): \d\d:\d\d:\d\d\s+(\d+) audio", out, re.M)]
    lead = re.search(r"^170: \d\d:\d\d:\d\d\s+(\d+) leadout", out, re.M)
    verdict.add("cd-info: the table of contents is the sheet's",
                listed == list(enumerate(starts, start=1)) and lead and int(lead.group(1)) == at,
                f"{listed}, lead-out {lead.group(1) if lead else None}")
    ok = True
    expected = [("Disc", DISC["title"], DISC["performer"])] + [
        (f"Track {i:2d}", t["title"], t["performer"]) for i, t in enumerate(DISC["tracks"], start=1)]
    for who, title, performer in expected:
        block = re.search(rf"CD-TEXT for {who}:\n((?:\t.*\n?)*)", out)
        got = block.group(1) if block else ""
        ok = ok and f"\tTITLE: {title}" in got and f"\tPERFORMER: {performer}" in got
    verdict.add("cd-info: CD-Text album and track titles and performers are the sheet's", ok)
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--results")
    ap.add_argument("--only", default="")
    ap.add_argument("log")
    a = ap.parse_args()
    wanted = set(a.only.split(",")) if a.only else None
    lines, scenarios = parse(a.log)
    want = (lambda n: wanted is None or n in wanted)

    verdict = Verdict()
    verdict.add("the guest ran to its end", "@@ DONE" in lines)
    for line in lines:
        m = re.match(r"^@@ CHECK (.*): (ok|FAIL)(?: (.*))?$", line)
        if m:
            verdict.add(m.group(1), m.group(2) == "ok", m.group(3) or "")
    probe_wanted = {n for n in PROBE_SCENARIOS if want(n) or (n.startswith("no-sg") and want("no-sg"))}
    probe_rules(scenarios, verdict, probe_wanted)
    if want("unplug"):
        unplug_rules(scenarios, verdict)
    if want("player"):
        ends = [l for l in scenarios.get("player", {}).get("lines", []) if l.startswith("== player end")]
        verdict.add("player: the window ran as root and as a cdrom member", len(ends) == 2)
    cd_info = client_rules(lines, verdict) if want("clients") else None

    out = []
    header = next((l for l in lines if l.startswith("@@ kernel ")), "@@ kernel ?")[3:]
    accel = [l for l in lines if l.startswith("[host] qemu exit")]
    out.append(f"# Kernel check: {header}; {accel[-1][7:] if accel else ''}\n")
    out.append("## Checks\n")
    for name, ok, detail in verdict.checks:
        out.append(f"- {'ok' if ok else '**FAIL**'}: {name}" + (f" ({detail})" if detail and not ok else ""))
    for device, label in (("A0 T3", "QEMU's VORTANE VX-6012SA (A0 T3)"), ("A3 T4", "the virtual drive through TCMU (A3 T4)")):
        out.append(f"\n## {label} in each scenario\n")
        out.append("| scenario | " + " | ".join(BRIEF) + " |")
        out.append("|---|" + "---|" * len(BRIEF))
        for name, s in scenarios.items():
            by = {c.name: c for c in s["commands"] if c.device == device and not c.at}
            if not by:
                continue
            out.append(f"| {name} | " + " | ".join(by[w].cell() if w in by else "" for w in BRIEF) + " |")
    out.append("\n## Every command, every device\n")
    for name, s in scenarios.items():
        commands = [c for c in s["commands"] if not c.at]
        if not commands:
            continue
        devices = list(OrderedDict.fromkeys(c.device for c in commands))
        names = list(OrderedDict.fromkeys(c.name for c in commands))
        out.append(f"\n### {name}\n")
        out.append("| command | " + " | ".join(devices) + " |")
        out.append("|---|" + "---|" * len(devices))
        for what in names:
            cells = [" / ".join(c.cell() for c in commands if c.device == d and c.name == what) for d in devices]
            out.append(f"| {what} | " + " | ".join(cells) + " |")
    if "unplug" in scenarios:
        out.append("\n### unplug: what the probe saw while the drives came and went\n")
        out.append("Steps, in order: " + "; ".join(
            l[3:] for l in scenarios["unplug"]["lines"] if l.startswith("@@ HOST") or l.startswith("@@ guest")) + ".\n")
        out.append("| time | device | command | result | node | answer |")
        out.append("|---|---|---|---|---|---|")
        for c in scenarios["unplug"]["commands"]:
            out.append(f"| {c.at}s | {c.device} | {c.name} | {c.cell()} | {' '.join(c.paths)} | {c.extra} |")
    if cd_info:
        out.append("\n## cd-info on the virtual drive\n\n```\n" + cd_info.strip() + "\n```")
    report = "\n".join(out) + "\n"
    if a.results:
        with open(a.results, "w") as f:
            f.write(report)
    skipped = [l[3:] for l in lines if l.startswith("@@ SKIP ")]
    if skipped:
        out.insert(3, "\nSkipped: " + "; ".join(skipped) + "\n")
    for line in skipped:
        print(f"kernel-check: {line}")
    failed = verdict.failed()
    print(f"kernel-check: {len(verdict.checks) - len(failed)} of {len(verdict.checks)} checks passed")
    for name, _, detail in failed:
        print(f"kernel-check: FAIL {name}" + (f": {detail}" if detail else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
