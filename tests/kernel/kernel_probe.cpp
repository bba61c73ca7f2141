// The kernel check's test program: drives the project's SG layer against the real sg and sr
// drivers of a guest kernel and prints what every call returned, one line per command, plus
// "@@ CHECK name: ok|FAIL ..." lines for what it can judge on its own.
//
//   kernel_probe [--as UID:GID[:GROUPS]] [--sheet CUE] run      discovery and every command on
//                                                               every device of the mapping
//   kernel_probe [--as ...] loop SECONDS                        INQUIRY, TEST UNIT READY and READ
//                                                               SUB-CHANNEL on every CD device
//                                                               every 250 ms, a line per change,
//                                                               until /tmp/loop.stop exists
//
// Devices are reached only through the project's own functions. The probe looks inside through
// the layer's two seams: an SgSystem that makes the real calls and logs path, flags, result and
// errno, and an ASPI layer in front of the SG layer that keeps a copy of each completed request.
// The drive on the tcm_loop host is the virtual drive answering through TCMU; with --sheet the
// probe loads the same cue sheet and checks that what comes through the kernel is that disc, and
// that the drive plays, pauses, resumes and seeks as the player needs.
#include "disc/cdtext.h"
#include "disc/toc.h"
#include "drive/aspi.h"
#include "drive/commands.h"
#include "drive/discovery.h"
#include "drive/srb.h"
#include "platform/aspi_layer.h"
#include "platform/sg_devices.h"
#include "platform/sg_layer.h"
#include "player/player_state.h"
#include "tests/kernel/guest_tools.h"
#include "vdrive/cue_sheet.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using guest::DropTo;

using guest::Hex;

constexpr size_t kCdFrameBytes = 2352; // one frame of CD audio

bool traceCalls = true;        // print the system-call log under each command
std::string callLog;           // system calls of the current command
SRB_ExecSCSICmd lastRequest{}; // the last request the layer completed
int requestsSeen = 0;          // requests since the last Reset()
std::string sheetPath;         // the cue sheet the virtual drive holds
std::optional<vdrive::DiscImage> sheetDisc;
int failedChecks = 0;

const char* ErrnoName(int error) {
    switch (error) {
    case 0:
        return "0";
    case EPERM:
        return "EPERM";
    case ENOENT:
        return "ENOENT";
    case EIO:
        return "EIO";
    case ENXIO:
        return "ENXIO";
    case EACCES:
        return "EACCES";
    case EBUSY:
        return "EBUSY";
    case ENODEV:
        return "ENODEV";
    case EINVAL:
        return "EINVAL";
    case ENOTTY:
        return "ENOTTY";
    case ENOMEDIUM:
        return "ENOMEDIUM";
    default:
        return std::strerror(error);
    }
}

void Check(const std::string& name, bool ok, const std::string& detail = "") {
    std::printf("@@ CHECK %s: %s%s%s\n", name.c_str(), ok ? "ok" : "FAIL",
                detail.empty() ? "" : " ", detail.c_str());
    failedChecks += ok ? 0 : 1;
}

// ---- the logging system calls (SgConfig::system) ----
int LogOpen(const char* path, int flags) {
    const int fd = ::open(path, flags);
    const int error = errno;
    const char* access = (flags & O_ACCMODE) == O_RDWR ? "O_RDWR" : "O_RDONLY";
    char line[256];
    std::snprintf(line, sizeof line, "    open(%s, %s) = %s\n", path, access,
                  fd >= 0 ? "fd" : (std::string("-1 ") + ErrnoName(error)).c_str());
    callLog += line;
    errno = error;
    return fd;
}

int LogIoctl(int fd, unsigned long request, void* argument) {
    const int result = ::ioctl(fd, request, argument);
    const int error = errno;
    std::string line = "    ioctl(";
    if (request == SG_IO) {
        const auto* header = static_cast<const sg_io_hdr_t*>(argument);
        line += "SG_IO cdb=[" + Hex(header->cmdp, header->cmd_len) +
                "] len=" + std::to_string(header->dxfer_len) + ") = ";
        if (result < 0) {
            line += std::string("-1 ") + ErrnoName(error);
        } else {
            char text[128];
            std::snprintf(text, sizeof text, "0 status=%02x host=%04x driver=%04x resid=%d",
                          header->status, header->host_status, header->driver_status,
                          header->resid);
            line += text;
            if (header->sb_len_wr > 0) {
                line += " sense=[" + Hex(header->sbp, header->sb_len_wr) + "]";
            }
        }
    } else {
        line += std::to_string(request) + ") = " + std::to_string(result);
    }
    callLog += line + "\n";
    errno = error;
    return result;
}

int LogClose(int fd) {
    return ::close(fd);
}

const SgSystem kLoggingSystem{&LogOpen, &LogIoctl, &LogClose};

// ---- the see-through layer (InstallAspiLayer) ----
uint32_t TeeSupportInfo() {
    return SgAspiLayer().getSupportInfo();
}
uint32_t TeeSend(void* request) {
    const uint32_t result = SgAspiLayer().sendCommand(request);
    if (request != nullptr) {
        std::memcpy(&lastRequest, request, sizeof lastRequest);
    }
    ++requestsSeen;
    return result;
}
const AspiLayer kTee{&TeeSupportInfo, &TeeSend};

void Reset() {
    callLog.clear();
    std::memset(&lastRequest, 0, sizeof lastRequest);
    requestsSeen = 0;
}

std::string RequestText() {
    if (requestsSeen == 0) {
        return "(no request reached the layer)";
    }
    char text[96];
    std::snprintf(text, sizeof text, "SRB_Status=%02x HaStat=%02x TargStat=%02x",
                  lastRequest.SRB_Status, lastRequest.SRB_HaStat, lastRequest.SRB_TargStat);
    std::string result = text;
    if (lastRequest.SRB_TargStat == 0x02) {
        char sense[48];
        std::snprintf(sense, sizeof sense, " key/ASC/ASCQ=%x/%02x/%02x",
                      lastRequest.SenseArea[2] & 0x0F, lastRequest.SenseArea[12],
                      lastRequest.SenseArea[13]);
        result += sense;
    }
    return result;
}

// One line per command: "A0 T3  NAME  ret=1 SRB_Status=01 ...", then its system calls.
void Report(int adapter, int target, const char* what, long result, const std::string& extra = "") {
    std::printf("A%d T%-2d %-34s ret=%-3ld %s%s\n", adapter, target, what, result,
                RequestText().c_str(), extra.empty() ? "" : ("\n    => " + extra).c_str());
    if (traceCalls) {
        std::fputs(callLog.c_str(), stdout);
    }
    Reset();
}

std::string ReadLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

bool OnTcmLoopHost(const SgDevice& device) {
    return ReadLine("/sys/class/scsi_host/host" + std::to_string(device.host) + "/proc_name") ==
           "tcm_loopback";
}

void PrintMap() {
    std::printf("== SgDeviceMap()\n");
    for (const SgDevice& d : SgDeviceMap()) {
        std::printf("  adapter %d  host %d  target %d  type %d  generic '%s'  block '%s'%s\n",
                    d.adapter, d.host, d.target, d.type, d.genericNode.c_str(), d.blockNode.c_str(),
                    OnTcmLoopHost(d) ? "  (TCMU)" : "");
    }
}

int32_t Raw(int adapter, int target, std::vector<uint8_t> cdb, std::span<uint8_t> data = {}) {
    return ExecScsiCommand(adapter, target, cdb, data);
}

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

struct Position {
    int32_t result = 0;
    uint8_t audioStatus = 0;
    int track = 0;
    int32_t absolute = 0;
};

Position ReadPosition(int adapter, int target, const char* what) {
    std::array<uint8_t, 16> answer{};
    Position position;
    position.result = ReadSubChannel(adapter, target, 1, 0, 1, 0, 16, answer);
    position.audioStatus = answer[1];
    position.track = answer[6];
    position.absolute = static_cast<int32_t>(uint32_t{answer[8]} << 24 | uint32_t{answer[9]} << 16 |
                                             uint32_t{answer[10]} << 8 | answer[11]);
    char text[96];
    std::snprintf(text, sizeof text, "audio status %02x, track %d, LBA %d", position.audioStatus,
                  position.track, position.absolute);
    Report(adapter, target, what, position.result, text);
    return position;
}

// What the player asks of the disc in the virtual drive: its table of contents and CD-Text as
// the sheet made them, and play, pause, resume and seek that move the head as a drive does.
void VirtualDriveChecks(int a, int t, const std::string& scenario) {
    const vdrive::DiscImage& disc = *sheetDisc;
    const std::string prefix = scenario + " A" + std::to_string(a) + "T" + std::to_string(t) + " ";

    std::array<uint8_t, 804> toc{};
    const int32_t tocResult = ReadToc(a, t, 0, kTocImageSize, toc);
    Report(a, t, "READ TOC (disc check)", tocResult);
    const std::optional<TrackTable> table = DecodeTrackTable(toc);
    bool same = tocResult == 1 && table && table->tracks.size() == disc.tracks.size() &&
                table->leadOutStart == disc.leadOut;
    for (size_t i = 0; same && i < disc.tracks.size(); ++i) {
        same = table->tracks[i].start == disc.tracks[i].start &&
               table->tracks[i].number == disc.tracks[i].number;
    }
    Check(prefix + "table of contents is the sheet's", same);

    std::vector<uint8_t> text(kDiscTextBufferLength);
    int32_t textLength = 0;
    const bool hasText = FetchDiscText(a, t, text, textLength);
    Report(a, t, "READ TOC CD-TEXT (disc check)", hasText ? 1 : 0);
    const bool textSame = hasText && static_cast<size_t>(textLength) == disc.cdText.size() + 2 &&
                          std::equal(disc.cdText.begin(), disc.cdText.end(), text.begin() + 4);
    Check(prefix + "CD-Text packs are the sheet's, byte for byte", textSame,
          "length " + std::to_string(textLength));

    if (disc.tracks.size() < 2) {
        Check(prefix + "the sheet has two tracks to play", false);
        return;
    }
    const int32_t second = disc.tracks[1].start;
    Report(a, t, "PLAY AUDIO(12) track 2 (play check)",
           PlayAudioLba(a, t, second, disc.leadOut - second));
    Pause(1000);
    const Position playing = ReadPosition(a, t, "READ SUB-CHANNEL (1 s into play)");
    Check(prefix + "play: status 11, track 2, head moved about 75 frames",
          playing.result == 1 && playing.audioStatus == 0x11 && playing.track == 2 &&
              playing.absolute > second + 40 && playing.absolute < second + 200,
          "head " + std::to_string(playing.absolute - second) + " frames in");
    Report(a, t, "PAUSE (play check)", PauseAudio(a, t));
    const Position paused = ReadPosition(a, t, "READ SUB-CHANNEL (paused)");
    Pause(400);
    const Position stillPaused = ReadPosition(a, t, "READ SUB-CHANNEL (paused, later)");
    Check(prefix + "pause: status 12, the head stays",
          paused.audioStatus == 0x12 && stillPaused.absolute == paused.absolute);
    Report(a, t, "RESUME (play check)", ResumeAudio(a, t));
    Pause(400);
    const Position resumed = ReadPosition(a, t, "READ SUB-CHANNEL (resumed)");
    Check(prefix + "resume: status 11, on from where it paused",
          resumed.audioStatus == 0x11 && resumed.absolute > paused.absolute);
    Report(a, t, "SEEK(10) track 1 (play check)", SeekLba(a, t, disc.tracks[0].start));
    const Position sought = ReadPosition(a, t, "READ SUB-CHANNEL (after the seek)");
    Check(prefix + "seek: the play ends, the head is at track 1",
          sought.audioStatus != 0x11 && sought.absolute == disc.tracks[0].start);
}

// The audio of frames [first, first + count) of the disc as the sheet's WAV files hold it: one
// file per track, from frame 0, after a 44-byte header (what the kernel check's disc writes).
std::vector<uint8_t> SheetAudio(int32_t first, int32_t count) {
    const vdrive::DiscImage& disc = *sheetDisc;
    std::vector<uint8_t> audio;
    for (size_t i = 0; i < disc.tracks.size(); ++i) {
        const int32_t start = disc.tracks[i].start;
        const int32_t end = i + 1 < disc.tracks.size() ? disc.tracks[i + 1].start : disc.leadOut;
        if (first < start || first >= end) {
            continue;
        }
        char name[32];
        std::snprintf(name, sizeof name, "/track%02zu.wav", i + 1);
        const std::string folder = sheetPath.substr(0, sheetPath.rfind('/'));
        std::ifstream file(folder + name, std::ios::binary);
        file.seekg(44 + std::streamoff{first - start} * static_cast<std::streamoff>(kCdFrameBytes));
        audio.resize(static_cast<size_t>(count) * kCdFrameBytes);
        file.read(reinterpret_cast<char*>(audio.data()),
                  static_cast<std::streamsize>(audio.size()));
        audio.resize(static_cast<size_t>(file.gcount()));
    }
    return audio;
}

// READ CD of audio frames through the kernel, compared with the sheet's audio. A drive that
// does not serve READ CD (INVALID COMMAND OPERATION CODE), or an image loaded without its audio
// (which the drive reads as silence), is reported as a skip, not a fault.
void ReadCdCheck(int a, int t, const std::string& prefix) {
    const vdrive::DiscImage& disc = *sheetDisc;
    constexpr int32_t kFrames = 8;
    const int32_t first = disc.tracks.size() > 1 ? disc.tracks[1].start - kFrames / 2 : 0;
    std::vector<uint8_t> data(static_cast<size_t>(kFrames) * kCdFrameBytes);
    std::vector<uint8_t> cdb = {0xBE, 0x04, 0, 0, 0, 0, 0, 0, kFrames, 0x10, 0, 0};
    for (int i = 0; i < 4; ++i) {
        cdb[static_cast<size_t>(2 + i)] = static_cast<uint8_t>(uint32_t(first) >> (24 - 8 * i));
    }
    const int32_t result = Raw(a, t, cdb, data);
    const bool unsupported = lastRequest.SRB_TargStat == 0x02 &&
                             (lastRequest.SenseArea[2] & 0x0F) == 0x05 &&
                             lastRequest.SenseArea[12] == 0x20;
    Report(a, t, "READ CD 8 audio frames across tracks 1-2", result);
    if (unsupported) {
        std::printf("@@ SKIP %sREAD CD: the virtual drive does not serve READ CD yet\n",
                    prefix.c_str());
        return;
    }
    if (!disc.audio) { // the drive reads the image as the loader gave it: silent
        std::printf("@@ SKIP %sREAD CD: the cue loader gives its images no audio yet\n",
                    prefix.c_str());
        return;
    }
    std::vector<uint8_t> expected = SheetAudio(first, kFrames / 2);
    const std::vector<uint8_t> second = SheetAudio(first + kFrames / 2, kFrames / 2);
    expected.insert(expected.end(), second.begin(), second.end());
    Check(prefix + "READ CD: the audio is the sheet's, bit for bit",
          result == 1 && data == expected);
}

void FullTable(int a, int t, bool cd, bool virtualDrive, const std::string& scenario) {
    std::printf("-- adapter %d target %d%s\n", a, t, virtualDrive ? " (TCMU)" : "");
    DeviceIdentity id{};
    const int inquiry = InquireDevice(a, t, id);
    Report(a, t, "INQUIRY (InquireDevice)", inquiry,
           std::string("vendor '") + id.vendor.data() + "' product '" + id.product.data() +
               "' rev '" + id.revision.data() + "'");
    Report(a, t, "TEST UNIT READY", TestUnitReady(a, t));
    std::array<uint8_t, 8> capacity{};
    if (!cd) {
        Report(a, t, "READ CAPACITY", ReadCapacity(a, t, capacity));
        return;
    }
    std::array<uint8_t, 18> sense{};
    int32_t r = RequestSense(a, t, sense);
    Report(a, t, "REQUEST SENSE", r, "[" + Hex(sense.data(), 18) + "]");
    r = ReadCapacity(a, t, capacity);
    Report(a, t, "READ CAPACITY", r, "[" + Hex(capacity.data(), 8) + "]");

    std::array<uint8_t, 804> toc{};
    r = ReadToc(a, t, 0, kTocImageSize, toc);
    std::string tocText;
    if (auto table = DecodeTrackTable(toc)) {
        tocText = "tracks " + std::to_string(table->firstTrack) + ".." +
                  std::to_string(table->lastTrack) + ", lead-out " +
                  std::to_string(table->leadOutStart);
    }
    Report(a, t, "READ TOC (ReadToc)", r, tocText);
    PlayerState state;
    std::array<uint8_t, 804> tocBuffer{};
    const bool changed = CheckTocChange(state, a, t, tocBuffer);
    Report(a, t, "READ TOC (CheckTocChange)", changed ? 1 : 0);

    std::vector<uint8_t> text(kDiscTextBufferLength);
    int32_t textLength = 0;
    const bool hasText = FetchDiscText(a, t, text, textLength);
    Report(a, t, "READ TOC CD-TEXT (FetchDiscText)", hasText ? 1 : 0,
           "discTextLength=" + std::to_string(textLength));
    if (hasText) {
        Report(a, t, "ExtractDiscTextItem album title", 1,
               "'" + ExtractDiscTextItem(0x80, 0, text, textLength) + "'");
    }

    ReadPosition(a, t, "READ SUB-CHANNEL");
    Report(a, t, "SEEK(10) LBA 0", SeekLba(a, t, 0));
    Report(a, t, "PLAY AUDIO(12) 0+375 frames", PlayAudioLba(a, t, 0, 375));
    ReadPosition(a, t, "READ SUB-CHANNEL (playing?)");
    Report(a, t, "PLAY AUDIO MSF 00:02:00-00:07:00", Raw(a, t, {0x47, 0, 0, 0, 2, 0, 0, 7, 0, 0}));
    Report(a, t, "PLAY AUDIO(10) 0+375", Raw(a, t, {0x45, 0, 0, 0, 0, 0, 0, 0x01, 0x77, 0}));
    Report(a, t, "PAUSE", PauseAudio(a, t));
    Report(a, t, "RESUME", ResumeAudio(a, t));
    Report(a, t, "STOP PLAY/SCAN", Raw(a, t, {0x4E, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    if (virtualDrive && sheetDisc && inquiry == 1) {
        VirtualDriveChecks(a, t, scenario);
        ReadCdCheck(a, t, scenario + " A" + std::to_string(a) + "T" + std::to_string(t) + " ");
    }

    Report(a, t, "START STOP UNIT eject", EjectMedium(a, t));
    Report(a, t, "TEST UNIT READY (ejected)", TestUnitReady(a, t));
    ReadPosition(a, t, "READ SUB-CHANNEL (ejected)");
    Report(a, t, "START STOP UNIT load", LoadMedium(a, t));
    Pause(300);
    // The first command after a load may meet the unit attention of the new disc.
    Report(a, t, "TEST UNIT READY (loaded)", TestUnitReady(a, t));
    Report(a, t, "TEST UNIT READY (loaded 2)", TestUnitReady(a, t));
    capacity.fill(0);
    Report(a, t, "READ CAPACITY (loaded)", ReadCapacity(a, t, capacity),
           "[" + Hex(capacity.data(), 8) + "]");
}

void DirectLayerChecks(int adapterCount) {
    std::printf("== direct SgAspiLayer().sendCommand requests\n");
    auto send = [](const char* what, int adapter, int target, int lun, std::vector<uint8_t> cdb) {
        SRB_ExecSCSICmd srb{};
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_HaId = static_cast<uint8_t>(adapter);
        srb.SRB_Target = static_cast<uint8_t>(target);
        srb.SRB_Lun = static_cast<uint8_t>(lun);
        srb.SRB_SenseLen = SENSE_LEN;
        srb.SRB_CDBLen = static_cast<uint8_t>(cdb.size());
        std::memcpy(srb.CDBByte, cdb.data(), cdb.size());
        const uint32_t result = SgAspiLayer().sendCommand(&srb);
        std::memcpy(&lastRequest, &srb, sizeof srb);
        requestsSeen = 1;
        Report(adapter, target, what, static_cast<long>(result));
    };
    send("TUR adapter past the last", adapterCount, 0, 0, {0, 0, 0, 0, 0, 0});
    send("TUR A0 T15 (no device)", 0, 15, 0, {0, 0, 0, 0, 0, 0});
    for (const SgDevice& d : SgDeviceMap()) {
        if (IsCdDevice(d)) {
            send("TUR LUN 1", d.adapter, d.target, 1, {0, 0, 0, 0, 0, 0});
            break;
        }
    }
}

int RunAll(const std::string& scenario) {
    // What `discolo` does for real drives, with the logging system calls.
    InstallSgLayer(SgConfig{"/sys", "/dev", &kLoggingSystem});
    PrintMap();
    Reset();
    const std::vector<std::string> denied = SgDeniedDevices();
    const std::string notice = SgPermissionMessage(denied);
    std::printf("== permission notice: %s\n", notice.empty() ? "(none)" : notice.c_str());
    Reset();

    const uint32_t info = LoadAspi();
    std::printf("== LoadAspi() = 0x%04x\n", info);
    PlayerState state;
    state.hostAdapterCount = static_cast<int32_t>(info & 0xFF);
    const std::vector<std::string> captions = DiscoverDrives(state);
    std::printf("== DiscoverDrives(): %d drive(s)\n", state.driveCount);
    for (size_t i = 0; i < captions.size(); ++i) {
        std::printf("  caption \"%s\"  (adapter %d, target %d)\n", captions[i].c_str(),
                    state.driveAdapter[i], state.driveTarget[i]);
    }
    Reset();

    InstallAspiLayer(&kTee); // from here on every request passes the see-through layer
    LoadAspi();
    std::printf("== command table, every device of the mapping\n");
    for (const SgDevice& d : SgDeviceMap()) {
        FullTable(d.adapter, d.target, IsCdDevice(d), OnTcmLoopHost(d), scenario);
    }
    DirectLayerChecks(state.hostAdapterCount);
    UnloadAspi();
    std::printf("== probe end: %d failed check(s)\n", failedChecks);
    return failedChecks == 0 ? 0 : 1;
}

// Sends on every CD device of the mapping loaded at its start, while drives come and go.
int Loop(int seconds) {
    InstallSgLayer(SgConfig{"/sys", "/dev", &kLoggingSystem});
    InstallAspiLayer(&kTee);
    std::printf("== loop: LoadAspi() = 0x%04x\n", LoadAspi());
    std::vector<SgDevice> cds;
    for (const SgDevice& d : SgDeviceMap()) {
        if (IsCdDevice(d)) {
            cds.push_back(d);
        }
    }
    constexpr int kKinds = 3;
    std::vector<std::string> last(cds.size() * kKinds);
    const auto start = std::chrono::steady_clock::now();
    Reset();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(seconds) &&
           access("/tmp/loop.stop", F_OK) != 0) {
        for (size_t i = 0; i < cds.size(); ++i) {
            const int a = cds[i].adapter;
            const int t = cds[i].target;
            for (int which = 0; which < kKinds; ++which) {
                std::array<uint8_t, 16> answer{};
                DeviceIdentity id{};
                int32_t r = 0;
                std::string extra;
                const char* name = "";
                if (which == 0) {
                    r = InquireDevice(a, t, id);
                    name = "INQUIRY (InquireDevice)";
                    if (r == 1) {
                        extra = std::string("answered by '") + id.vendor.data() + "' '" +
                                id.product.data() + "'";
                    }
                } else if (which == 1) {
                    r = TestUnitReady(a, t);
                    name = "TEST UNIT READY";
                } else {
                    r = ReadSubChannel(a, t, 1, 0, 1, 0, 16, answer);
                    name = "READ SUB-CHANNEL";
                }
                // A change of answer or of the node used is a line; the same again is not.
                std::string nodes;
                for (size_t at = callLog.find("open("); at != std::string::npos;
                     at = callLog.find("open(", at + 1)) {
                    nodes += callLog.substr(at, callLog.find(')', at) - at) + ";";
                }
                const std::string signature = RequestText() + extra + nodes;
                std::string& previous = last[i * kKinds + static_cast<size_t>(which)];
                if (signature != previous) {
                    const double at =
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
                            .count();
                    std::printf("[%6.2fs] ", at);
                    Report(a, t, name, r, extra);
                    previous = signature;
                }
                Reset();
            }
        }
        Pause(250);
    }
    std::printf("== loop end\n");
    PrintMap();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string scenario = "run";
    int i = 1;
    for (; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--as" && i + 1 < argc) {
            if (!DropTo(argv[++i])) {
                return 2;
            }
        } else if (argument == "--sheet" && i + 1 < argc) {
            sheetPath = argv[++i];
        } else if (argument == "--scenario" && i + 1 < argc) {
            scenario = argv[++i];
        } else if (argument == "--no-trace") {
            traceCalls = false;
        } else {
            break;
        }
    }
    if (!sheetPath.empty()) {
        vdrive::DiscImage disc;
        std::string error;
        if (!vdrive::LoadCueSheet(sheetPath, disc, error)) {
            std::printf("== cannot load %s: %s\n", sheetPath.c_str(), error.c_str());
            return 2;
        }
        sheetDisc = std::move(disc);
    }
    const std::string mode = i < argc ? argv[i] : "run";
    std::printf("== probe %s: uid %u euid %u\n", mode.c_str(), getuid(), geteuid());
    if (mode == "run") {
        return RunAll(scenario);
    }
    if (mode == "loop") {
        return Loop(i + 1 < argc ? std::atoi(argv[i + 1]) : 10);
    }
    std::fprintf(stderr,
                 "usage: kernel_probe [--as UID:GID[:G1,G2]] [--sheet CUE] [--scenario NAME] "
                 "[--no-trace] run | loop SECONDS\n");
    return 2;
}
