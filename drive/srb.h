// The ASPI for Win32 execute-SCSI-command request and its constants, with the field names that
// ASPI publishes. Every layer (the real WNASPI32.DLL, the Linux SG layer, the virtual drive)
// reads and writes this exact layout.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint8_t SENSE_LEN = 14; // sense bytes the request asks for

// SRB_Cmd
inline constexpr uint8_t SC_HA_INQUIRY = 0x00;
inline constexpr uint8_t SC_GET_DEV_TYPE = 0x01;
inline constexpr uint8_t SC_EXEC_SCSI_CMD = 0x02;
inline constexpr uint8_t SC_ABORT_SRB = 0x03;

// SRB_Status, and the status byte of GetASPI32SupportInfo (bits 8-15)
inline constexpr uint8_t SS_PENDING = 0x00;
inline constexpr uint8_t SS_COMP = 0x01;
inline constexpr uint8_t SS_ABORTED = 0x02;
inline constexpr uint8_t SS_ABORT_FAIL = 0x03;
inline constexpr uint8_t SS_ERR = 0x04;
inline constexpr uint8_t SS_INVALID_CMD = 0x80;
inline constexpr uint8_t SS_INVALID_HA = 0x81;
inline constexpr uint8_t SS_NO_DEVICE = 0x82;
inline constexpr uint8_t SS_INVALID_SRB = 0xE0;
inline constexpr uint8_t SS_FAILED_INIT = 0xE4;
inline constexpr uint8_t SS_NO_ADAPTERS = 0xE8;

// SRB_Flags
inline constexpr uint8_t SRB_POSTING = 0x01;
inline constexpr uint8_t SRB_ENABLE_RESIDUAL_COUNT = 0x04;
inline constexpr uint8_t SRB_DIR_IN = 0x08;
inline constexpr uint8_t SRB_DIR_OUT = 0x10;
inline constexpr uint8_t SRB_EVENT_NOTIFY = 0x40;

// SRB_HaStat values the layers report
inline constexpr uint8_t HASTAT_OK = 0x00;
inline constexpr uint8_t HASTAT_SEL_TO = 0x11; // selection time-out
inline constexpr uint8_t HASTAT_DO_DU = 0x12;  // data over- or underrun
inline constexpr uint8_t HASTAT_BUS_FREE = 0x13;
inline constexpr uint8_t HASTAT_PHASE_ERR = 0x14;
inline constexpr uint8_t HASTAT_TIMEOUT = 0x09;
inline constexpr uint8_t HASTAT_COMMAND_TIMEOUT = 0x0B;

// SRB_TargStat values
inline constexpr uint8_t STATUS_GOOD = 0x00;
inline constexpr uint8_t STATUS_CHKCOND = 0x02;
inline constexpr uint8_t STATUS_BUSY = 0x08;

#pragma pack(push, 1)
struct SRB_ExecSCSICmd {
    uint8_t SRB_Cmd;         // SC_EXEC_SCSI_CMD
    uint8_t SRB_Status;      // written by the layer; SS_PENDING until the request completes
    uint8_t SRB_HaId;        // host adapter id
    uint8_t SRB_Flags;       // direction and posting flags
    uint32_t SRB_Hdr_Rsvd;   // reserved, 0
    uint8_t SRB_Target;      // target id
    uint8_t SRB_Lun;         // logical unit
    uint16_t SRB_Rsvd1;      // reserved, 0
    uint32_t SRB_BufLen;     // data length
    uint8_t* SRB_BufPointer; // data buffer
    uint8_t SRB_SenseLen;    // sense bytes wanted in SenseArea
    uint8_t SRB_CDBLen;      // 6, 10 or 12
    uint8_t SRB_HaStat;      // host adapter status
    uint8_t SRB_TargStat;    // SCSI status byte of the target
    void* SRB_PostProc;      // post routine or event handle, unused here
    uint8_t SRB_Rsvd2[20];   // reserved, 0
    uint8_t CDBByte[16];     // the command block
    uint8_t SenseArea[SENSE_LEN + 2]; // sense data of a failed command
};
#pragma pack(pop)

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(SRB_ExecSCSICmd) == 80, "ASPI for Win32 requests are 80 bytes");
// A real layer reads the request by these offsets; a slip in a field before them moves them.
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 16);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 24);
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == 48);
static_assert(offsetof(SRB_ExecSCSICmd, SenseArea) == 64);
#else
static_assert(sizeof(SRB_ExecSCSICmd) == 88, "two pointers grow the request to 88 bytes");
#endif
