#!/bin/busybox sh
# /init of the kernel check's guest. Loads the SCSI modules, puts the virtual drive behind the
# kernel (a TCMU user backstore answered by tcmu_drive, on a tcm_loop host), gives the device
# nodes the owners and modes udev would, and runs the probe in each permission scenario, then
# the clients (cd-info, cdparanoia). Lines starting "@@" are for the host: "@@ HOST ..." asks it
# for a monitor command, "@@ CHECK" lines are verdicts. Ends with a power-off.
/bin/busybox --install -s /bin
export PATH=/bin:/usr/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev 2>/dev/null
mkdir -p /tmp && mount -t tmpfs tmpfs /tmp
chmod 1777 /tmp

say() { echo "@@ $*"; }
check() { if [ "$2" = ok ]; then echo "@@ CHECK $1: ok"; else echo "@@ CHECK $1: FAIL $3"; fi; }
say "kernel $(uname -r)"
SHEET=/disc/disc.cue

ONLY=$(sed -n 's/.*kcheck\.only=\([^ ]*\).*/\1/p' /proc/cmdline)
want() { [ -z "$ONLY" ] || echo ",$ONLY," | grep -q ",$1,"; }

# Waits up to $2 tenths of a second for the shell test $1 to hold.
wait_for() {
    n=0
    while ! eval "$1"; do
        n=$((n + 1))
        [ $n -ge "$2" ] && return 1
        sleep 0.1
    done
    return 0
}

for m in $(cat /etc/modules.order); do
    insmod /lib/modules/$m.ko 2>/tmp/insmod.err || say "insmod $m FAILED: $(cat /tmp/insmod.err)"
done
say "modules: $(cut -d' ' -f1 /proc/modules | tr '\n' ' ')"

# The SCSI scans settle: the number of sg nodes stays the same for a second (at most 20 s).
prev=-1; stable=0
for i in $(seq 1 80); do
    n=$(ls /sys/class/scsi_generic 2>/dev/null | wc -l)
    if [ "$n" = "$prev" ] && [ "$n" -gt 0 ]; then stable=$((stable + 1)); else stable=0; fi
    [ $stable -ge 4 ] && break
    prev=$n; sleep 0.25
done

echo "root:x:0:0:root:/:/bin/sh
player:x:1000:1000:cdrom member:/tmp:/bin/sh
guest:x:1001:1001:not in cdrom:/tmp:/bin/sh" > /etc/passwd
echo "root:x:0:
disk:x:6:
cdrom:x:24:player
player:x:1000:
guest:x:1001:" > /etc/group

# ---- the virtual drive behind the kernel ----
# A user backstore, the handler on its ring, then a tcm_loop target whose TPG tag is the SCSI
# target id. The LUN link makes the kernel scan the new device, so the handler must run first.
tcmu_up() {
    mount -t configfs none /sys/kernel/config 2>/dev/null
    C=/sys/kernel/config/target/core/user_1/vortane
    mkdir -p $C || return 1
    echo -n "dev_config=discolo/vdrive" > $C/control
    echo -n "dev_size=734003200" > $C/control
    echo -n "hw_block_size=2048" > $C/control
    echo -n 1 > $C/enable || return 1
    UIO=
    for u in /sys/class/uio/uio*; do
        grep -q discolo $u/name && UIO=$(basename $u)
    done
    [ -n "$UIO" ] || return 1
    /bin/tcmu_drive "$UIO=$SHEET" >> /tmp/tcmu.log 2>&1 &
    wait_for "grep -q 'tcmu ready' /tmp/tcmu.log" 100 || { cat /tmp/tcmu.log; return 1; }
    L=/sys/kernel/config/target/loopback/naa.5001405000000a01
    mkdir -p $L/tpgt_4/lun/lun_0
    echo -n naa.5001405000000a02 > $L/tpgt_4/nexus
    ln -s $C $L/tpgt_4/lun/lun_0/vortane
    wait_for "ls /sys/class/scsi_generic/*/device/ 2>/dev/null | grep -q . && [ -n \"\$(tcm_nodes)\" ]" 200
}
# The sg and sr names of the device on the tcm_loop host.
tcm_nodes() {
    for h in /sys/class/scsi_host/host*; do
        [ "$(cat $h/proc_name)" = tcm_loopback ] || continue
        n=${h##*/host}
        for d in /sys/bus/scsi/devices/$n:0:*:0; do
            [ -e $d ] && echo "$(ls $d/scsi_generic 2>/dev/null) $(ls $d/block 2>/dev/null)"
        done
    done
}

show_scsi() {
    say "SCSI devices (sysfs)"
    for d in /sys/bus/scsi/devices/*:*:*:*; do
        [ -e "$d" ] || continue
        a=$(basename $d)
        echo "  $a type=$(cat $d/type) vendor='$(cat $d/vendor)' model='$(cat $d/model)'" \
             "host=$(cat /sys/class/scsi_host/host${a%%:*}/proc_name 2>/dev/null)" \
             "sg=$(ls $d/scsi_generic 2>/dev/null) block=$(ls $d/block 2>/dev/null)"
    done
    ls -l /dev/sg* /dev/sr* 2>/dev/null | sed 's/^/  /'
}

# What udev does on Debian: CD drives' sg and sr nodes root:cdrom, disks' sg root:disk 0660.
# $1: mode for CD sg nodes, $2: mode for sr nodes
set_perms() {
    for n in /sys/class/scsi_generic/sg*; do
        [ -e "$n" ] || continue
        node=/dev/$(basename $n); type=$(cat $n/device/type)
        case $type in
            4|5) chown root:24 $node; chmod $1 $node ;;
            *) chown root:6 $node; chmod 0660 $node ;;
        esac
    done
    for n in /dev/sr*; do [ -e "$n" ] && chown root:24 $n && chmod $2 $n; done
}

probe() { /bin/kernel_probe --sheet $SHEET "$@"; }

if tcmu_up; then
    say "TCMU drive up on $UIO: $(tcm_nodes)"
else
    say "TCMU drive did not come up"
fi
check "virtual drive behind the kernel: sg and sr nodes" "$([ -n "$(tcm_nodes | tr -d ' ')" ] && echo ok)"
say "what the kernel sent the virtual drive while probing it"
cat /sys/kernel/config/target/core/user_1/vortane/info | sed 's/^/  info: /'
sed 's/^/  /' /tmp/tcmu.log
# A cue image loaded without its audio reads as silence: nothing to compare a rip with.
SILENT_IMAGE=
grep -q 'has no audio source' /tmp/tcmu.log && SILENT_IMAGE=1
dmesg | grep -vE ' sr [0-9]+:0:[0-9]+:[0-9]+: Power-on' | grep -E 'sr[0-9]|scsi|tcm|target|uio' | sed 's/^/  dmesg: /'
: > /tmp/tcmu.log
show_scsi
TCM_SR=$(tcm_nodes | awk '{print $2}')

if want root; then
    say "SCENARIO root: uid 0, udev modes (sg 0660, sr 0660 root:cdrom)"
    set_perms 0660 0660
    probe --scenario root run
fi
if want member; then
    say "SCENARIO member: uid 1000 in cdrom, udev modes (sg 0660, sr 0660)"
    set_perms 0660 0660
    probe --scenario member --as 1000:1000:24 run
fi
if want player; then
    say "SCENARIO player: the player window's handlers, as root and as a cdrom member"
    set_perms 0660 0660
    /bin/kernel_player --sheet $SHEET --scenario root 2>&1 | grep -v '^QStandardPaths\|^This plugin does not support\|^Fontconfig error'
    /bin/kernel_player --sheet $SHEET --scenario member --as 1000:1000:24 2>&1 |
        grep -v '^QStandardPaths\|^This plugin does not support\|^Fontconfig error'
    # The digital play asks the drive to read at 4x (708 kB/s = 02 c4) while it plays and for
    # its fastest (ff ff) after; both must have reached the TCMU drive through the kernel.
    say "what the digital play asked of the drive's speed"
    grep ' bb ' /tmp/tcmu.log | sed 's/^/  /'
    check "player: SET CD SPEED 4x reached the virtual drive through the kernel" \
        "$(grep -q ' bb 00 02 c4 ff ff [0-9a-f ]*-> GOOD' /tmp/tcmu.log && echo ok)" "not in the TCMU log"
    check "player: SET CD SPEED back to the fastest reached the virtual drive through the kernel" \
        "$(grep -q ' bb 00 ff ff ff ff [0-9a-f ]*-> GOOD' /tmp/tcmu.log && echo ok)" "not in the TCMU log"
fi
if want member-sg-ro; then
    say "SCENARIO member-sg-ro: uid 1000 in cdrom, sg 0640 (read-only for the group), sr 0660"
    set_perms 0640 0660
    probe --scenario member-sg-ro --as 1000:1000:24 run
fi
if want member-sr-only; then
    say "SCENARIO member-sr-only: uid 1000 in cdrom, sg 0600 (no access), sr 0660"
    set_perms 0600 0660
    probe --scenario member-sr-only --as 1000:1000:24 run
fi
if want outsider; then
    say "SCENARIO outsider: uid 1001 not in cdrom, udev modes"
    set_perms 0660 0660
    probe --scenario outsider --as 1001:1001 run
fi
if want no-sg; then
    say "SCENARIO no-sg: the sg module removed, sr nodes only"
    rmmod sg && say "rmmod sg ok"
    set_perms 0660 0660
    say "SCENARIO no-sg-root: uid 0, sr nodes only"
    probe --scenario no-sg-root run
    say "SCENARIO no-sg-member: uid 1000 in cdrom, sr nodes only"
    probe --scenario no-sg-member --as 1000:1000:24 run
    insmod /lib/modules/sg.ko
    wait_for "[ -n \"\$(tcm_nodes | awk '{print \$2}')\" ] && ls /dev/sg* >/dev/null 2>&1" 50
    sleep 1
    TCM_SR=$(tcm_nodes | awk '{print $2}')
fi
if want unplug; then
    set_perms 0660 0660
    say "SCENARIO unplug: the probe sends while drive A (0:0:3:0) goes, drive B (0:0:5:0) takes its names, A comes back"
    show_scsi
    rm -f /tmp/loop.stop
    /bin/kernel_probe loop 120 &
    LOOP=$!
    sleep 2
    say "HOST device_del vx6012"
    wait_for "[ ! -e /sys/bus/scsi/devices/0:0:3:0 ]" 200 || say "A did not go"
    sleep 1
    say "guest: delete 0:0:5:0 (B) and rescan host0"
    echo 1 > /sys/bus/scsi/devices/0:0:5:0/delete
    wait_for "[ ! -e /sys/bus/scsi/devices/0:0:5:0 ]" 100
    echo "- - -" > /sys/class/scsi_host/host0/scan
    wait_for "[ -e /sys/bus/scsi/devices/0:0:5:0/scsi_generic ]" 100 || say "B did not come back"
    set_perms 0660 0660
    sleep 2
    say "HOST device_add vx6012"
    wait_for "[ -e /sys/bus/scsi/devices/0:0:3:0/scsi_generic ]" 300 || say "A did not come back"
    set_perms 0660 0660
    sleep 3
    touch /tmp/loop.stop
    wait $LOOP
    show_scsi
fi
if want clients && [ -n "$TCM_SR" ]; then
    say "SCENARIO clients: cd-info and cdparanoia on /dev/$TCM_SR"
    : > /tmp/tcmu.log
    say "cd-info BEGIN"
    cd-info --no-header --no-device-info --no-cddb --no-vcd \
        -C /dev/$TCM_SR 2>&1
    say "cd-info END rc=$?"
    say "what cd-info sent the virtual drive"
    sed 's/^/  /' /tmp/tcmu.log
    : > /tmp/tcmu.log
    # Tracks 1 and 2 ripped through the kernel, against the sheet's audio (WAV data after the
    # 44-byte header of each file).
    say "cdparanoia BEGIN"
    cdparanoia -q -d /dev/$TCM_SR -r 1-2 /tmp/rip.raw 2>&1 | tail -20
    say "cdparanoia END"
    { tail -c +45 /disc/track01.wav; tail -c +45 /disc/track02.wav; } > /tmp/expected.raw
    if grep -q ' be [0-9a-f ]*-> CHECK 5/20/00' /tmp/tcmu.log; then
        say "SKIP clients cdparanoia: the virtual drive does not serve READ CD yet"
    elif [ -n "$SILENT_IMAGE" ]; then
        say "SKIP clients cdparanoia: the cue loader gives its images no audio yet"
    elif cmp -s /tmp/rip.raw /tmp/expected.raw; then
        check "clients cdparanoia: tracks 1-2 ripped through the kernel equal the sheet's audio" ok
    else
        check "clients cdparanoia: tracks 1-2 ripped through the kernel equal the sheet's audio" FAIL \
            "rip $(wc -c < /tmp/rip.raw 2>/dev/null) bytes, sheet $(wc -c < /tmp/expected.raw) bytes"
    fi
    say "what cdparanoia sent the virtual drive (distinct commands)"
    awk '{print $3}' /tmp/tcmu.log | sort | uniq -c | sed 's/^/  opcode /'
fi
say "DONE"
sync
poweroff -f
