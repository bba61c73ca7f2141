// What every SG layer test starts from: a fake sysfs tree, faked system calls, and the layer
// configured on both. Nothing of the real /sys or /dev is touched.
#pragma once

#include "drive/aspi.h"
#include "drive/srb.h"
#include "platform/sg_layer.h"
#include "tests/platform/fake_sg_system.h"
#include "tests/platform/fake_sysfs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <span>

class SgLayerTest : public ::testing::Test {
protected:
    FakeSysfs sysfs;
    FakeSgSystem system;

    void SetUp() override { ASSERT_FALSE(sysfs.Root().empty()); }
    void TearDown() override {
        UnloadAspi();
        InstallAspiLayer(nullptr);
        ConfigureSgLayer(SgConfig{}); // drop the pointer to this test's fake
    }

    void Install() { InstallSgLayer(SgConfig{sysfs.Root(), "/dev", &system.table}); }

    // A request as the transport builds it: data-in, 14 sense bytes, LUN 0.
    static SRB_ExecSCSICmd Request(int adapter, int target, std::span<const uint8_t> cdb,
                                   std::span<uint8_t> data = {}) {
        SRB_ExecSCSICmd srb;
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_HaId = static_cast<uint8_t>(adapter);
        srb.SRB_Flags = SRB_DIR_IN;
        srb.SRB_Target = static_cast<uint8_t>(target);
        srb.SRB_BufLen = static_cast<uint32_t>(data.size());
        srb.SRB_BufPointer = data.empty() ? nullptr : data.data();
        srb.SRB_SenseLen = SENSE_LEN;
        srb.SRB_CDBLen = static_cast<uint8_t>(cdb.size());
        std::memcpy(srb.CDBByte, cdb.data(), cdb.size());
        return srb;
    }

    static uint8_t Send(SRB_ExecSCSICmd& srb) {
        const uint32_t returned = SgAspiLayer().sendCommand(&srb);
        EXPECT_EQ(returned, srb.SRB_Status) << "the entry returns the status it set";
        return srb.SRB_Status;
    }
};
