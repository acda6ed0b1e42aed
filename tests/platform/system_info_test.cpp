#include "SystemInfo.h"

#include <gtest/gtest.h>

TEST(SystemInfoTest, KernelReleaseGivesTheVersionNumberAndText) {
    const auto v = SystemInfo::parseRelease("6.1.0-18-amd64");
    EXPECT_EQ(v.number, 601);
    EXPECT_EQ(v.text, "6.1.0");
    EXPECT_EQ(SystemInfo::parseRelease("5.15").number, 515);
    EXPECT_EQ(SystemInfo::parseRelease("5.15").text, "5.15.0");
    EXPECT_EQ(SystemInfo::parseRelease("garbage").number, 0);
    EXPECT_GE(SystemInfo::GetOSVersion().number, 300); // the running kernel
    EXPECT_FALSE(SystemInfo::GetOSVersion().name.isEmpty());
}

TEST(SystemInfoTest, PrettyNameIsUnquoted) {
    EXPECT_EQ(SystemInfo::prettyName("NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
                                     "(bookworm)\"\nID=debian\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(SystemInfo::prettyName("PRETTY_NAME=Arch\n"), "Arch");
    EXPECT_EQ(SystemInfo::prettyName("NAME=x\n"), "");
}
