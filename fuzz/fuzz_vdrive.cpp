// Fuzz target: arbitrary command blocks, buffer, sense and command-block lengths, clock steps
// and tray actions against a virtual drive, straight through the bus's ASPI entry.
#include "drive/srb.h"
#include "vdrive/bus.h"

#include <cstring>
#include <vector>

namespace {

constexpr size_t kRecordLength = 20;

vdrive::DiscImage MixedDisc() {
    vdrive::DiscImage disc = vdrive::MakeAudioDisc({0, 12000, 30000, 45000}, 60000, 2);
    disc.tracks[0].control = kControlData;
    disc.tracks[2].pregapStart = 29850;
    // Two packs of title text: "Disc\0One\0" and the rest padded.
    const uint8_t packs[36] = {0x80, 0x00, 0x00, 0x00, 'D', 'i', 's',  'c',  0,    'O',  'n', 'e',
                               0,    0,    0,    0,    0,   0,   0x80, 0x02, 0x01, 0x00, 'T', 'w',
                               'o',  0,    0,    0,    0,   0,   0,    0,    0,    0,    0,   0};
    disc.cdText.assign(packs, packs + sizeof packs);
    // What its Q sub-channel carries beside the position (READ CD with the formatted Q).
    disc.catalog = "0602517484290";
    disc.isrc = {"", "GBAYE0601498"};
    disc.tracks[3].qOnlyControl = kControlPreEmphasis;
    return disc;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vdrive::ManualClock clock;
    vdrive::Bus bus(clock);
    vdrive::CdromDrive& drive = bus.AddDrive(0, 0, MixedDisc());
    bus.AddDisk(0, 1);
    bus.AddDrive(1, 2);

    for (size_t at = 0; at + kRecordLength <= size; at += kRecordLength) {
        const uint8_t* record = data + at;
        const uint8_t action = record[18];
        switch (action % 8) {
        case 1:
            drive.OpenTray();
            break;
        case 2:
            drive.CloseTray();
            break;
        case 3:
            drive.RemoveDisc();
            break;
        case 4:
            drive.InsertDisc(MixedDisc());
            break;
        case 5:
            drive.StartPlayingTrack(record[1] % 8);
            break;
        default:
            break;
        }
        clock.Advance(static_cast<int64_t>(record[16]) * 40);

        const uint32_t bufLen = static_cast<uint32_t>(record[12] | (record[13] << 8));
        std::vector<uint8_t> buffer(bufLen);
        SRB_ExecSCSICmd srb;
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = (action & 0x80) ? record[17] : SC_EXEC_SCSI_CMD;
        srb.SRB_HaId = static_cast<uint8_t>((action >> 3) & 3);
        srb.SRB_Target = static_cast<uint8_t>(record[15] & 0x0F);
        srb.SRB_Lun = (action & 0x20) ? 1 : 0;
        srb.SRB_Flags = SRB_DIR_IN;
        srb.SRB_BufLen = bufLen;
        srb.SRB_BufPointer = (action & 0x40) ? nullptr : buffer.data();
        srb.SRB_SenseLen = record[14];
        srb.SRB_CDBLen = static_cast<uint8_t>(record[15] >> 4 == 0 ? 16 : (record[15] >> 4) + 1);
        std::memcpy(srb.CDBByte, record, 12);
        bus.SendCommand(&srb);
        if (srb.SRB_Status == SS_PENDING) {
            __builtin_trap(); // every request must complete before the call returns
        }
    }
    return 0;
}
