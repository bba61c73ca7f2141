// The module seam: an installed layer answers to "WNASPI32.DLL" ahead of any library, each load
// keeps the entries it was loaded with, and on Windows other names go to the system loader,
// whose handles resolve and release their own library.
#include "platform/aspi_layer.h"
#include "platform/module.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

namespace {

uint32_t OneAdapter() {
    return 0x0101;
}
uint32_t TwoAdapters() {
    return 0x0102;
}
uint32_t Complete(void*) {
    return 1;
}

template <typename Function> ModuleEntry Entry(Function* function) {
    return reinterpret_cast<ModuleEntry>(function);
}

TEST(ModuleSeam, AnInstalledLayerAnswersToTheLibraryNameAndEachLoadKeepsItsEntries) {
    const int before = LoadedModuleCount();
    const AspiLayer first{&OneAdapter, &Complete};
    InstallAspiLayer(&first);
    const ModuleHandle a = OpenModule("wnaspi32.dll");
    const AspiLayer second{&TwoAdapters, nullptr};
    InstallAspiLayer(&second);
    const ModuleHandle b = OpenModule("WNASPI32.DLL");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(OpenModule("WNASPI32.DL"), nullptr);
    EXPECT_EQ(LoadedModuleCount(), before + 2);

    EXPECT_EQ(FindModuleEntry(a, "GetASPI32SupportInfo"), Entry(&OneAdapter));
    EXPECT_EQ(FindModuleEntry(a, "SendASPI32Command"), Entry(&Complete));
    EXPECT_EQ(FindModuleEntry(b, "GetASPI32SupportInfo"), Entry(&TwoAdapters));
    EXPECT_EQ(FindModuleEntry(b, "SendASPI32Command"), nullptr) << "a null entry is a missing one";
    EXPECT_EQ(FindModuleEntry(a, "GetTickCount"), nullptr);

    CloseModule(a);
    CloseModule(b);
    EXPECT_EQ(LoadedModuleCount(), before);
    InstallAspiLayer(nullptr);
}

TEST(ModuleSeam, OtherNamesGoToTheSystemLoaderOnWindowsOnly) {
    const AspiLayer layer{&OneAdapter, &Complete};
    InstallAspiLayer(&layer);
    const int before = LoadedModuleCount();
    const ModuleHandle system = OpenModule("version.dll");
#ifdef _WIN32
    ASSERT_NE(system, nullptr);
    const ModuleHandle installed = OpenModule("WNASPI32.DLL");
    ASSERT_NE(installed, nullptr);
    EXPECT_EQ(LoadedModuleCount(), before + 2);
    const ModuleEntry sizeEntry = FindModuleEntry(system, "GetFileVersionInfoSizeA");
    EXPECT_NE(sizeEntry, nullptr);
    EXPECT_EQ(sizeEntry, reinterpret_cast<ModuleEntry>(GetProcAddress(
                             GetModuleHandleA("version.dll"), "GetFileVersionInfoSizeA")));
    EXPECT_EQ(FindModuleEntry(system, "GetASPI32SupportInfo"), nullptr);
    EXPECT_EQ(FindModuleEntry(installed, "GetFileVersionInfoSizeA"), nullptr);
    EXPECT_EQ(FindModuleEntry(installed, "GetASPI32SupportInfo"), Entry(&OneAdapter));

    CloseModule(installed);
    CloseModule(system);
    EXPECT_EQ(GetModuleHandleA("version.dll"), nullptr) << "the system library was not released";
#else
    EXPECT_EQ(system, nullptr);
#endif
    EXPECT_EQ(LoadedModuleCount(), before);
    InstallAspiLayer(nullptr);
}

} // namespace
