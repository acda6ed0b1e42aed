// Reading the release files: tags in any case, the separator, the version numbers and their
// order, and which download addresses may reach the browser.
#include "MakerSite.h"
#include "ReleaseVersion.h"
#include "UpdateFile.h"

#include <gtest/gtest.h>

using UpdateFile::payload;

TEST(UpdateFile, TagMatchesInAnyCaseAndThePayloadFollowsOneSeparator) {
    EXPECT_EQ(payload("VLM_VER 1.0.6", UpdateFile::VersionTag), "1.0.6");
    EXPECT_EQ(payload("  \r\nvlm_ver 1.0.6\r\n ", UpdateFile::VersionTag), "1.0.6");
    EXPECT_EQ(payload("Vlm_Nwz:Line one\r\nLine two", UpdateFile::NewsTag), "Line one\r\nLine two");
    EXPECT_EQ(payload("VLM_DLF", UpdateFile::DownloadTag), ""); // tag alone, empty payload
    EXPECT_EQ(payload("VLM_VER  1.0.6", UpdateFile::VersionTag), " 1.0.6");
    EXPECT_FALSE(payload("<html><body>404</body></html>", UpdateFile::VersionTag));
    EXPECT_FALSE(payload("VLM_NWZ news", UpdateFile::VersionTag));
    EXPECT_FALSE(payload("VLM_VE", UpdateFile::VersionTag));
    EXPECT_FALSE(payload("", UpdateFile::VersionTag));
}

TEST(UpdateFile, VersionsParseIntoThreeSixteenBitNumbers) {
    const auto v = ReleaseVersion::parse(u"1.0.6");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->text(), "1.0.6");
    EXPECT_EQ(ReleaseVersion::parse(u" 2 . 10 .0 ")->text(), "2.10.0");
    EXPECT_EQ(ReleaseVersion::parse(u"32767.0.-1")->text(), "32767.0.-1");
    // A fourth part (a build number) is not compared.
    EXPECT_EQ(ReleaseVersion::parse(u"1.0.6.1")->text(), "1.0.6");
    EXPECT_EQ(ReleaseVersion::parse(u"1.0.6.x.y")->text(), "1.0.6");
    for (const char16_t *bad :
         {u"", u"1", u"1.0", u"1.0.", u"1.x.0", u"1.0.32768", u"1..5", u"1.0.5a", u"one.two.three"})
        EXPECT_FALSE(ReleaseVersion::parse(bad)) << QString::fromUtf16(bad).toStdString();
    EXPECT_EQ(ReleaseVersion::program().text(), "1.0.5");
}

TEST(UpdateFile, VersionsCompareMajorFirstThenMinorThenRevision) {
    auto v = [](const char16_t *t) { return *ReleaseVersion::parse(t); };
    EXPECT_TRUE(v(u"1.0.5") == v(u"1.0.5"));
    EXPECT_TRUE(v(u"1.0.9") < v(u"1.1.0"));
    EXPECT_TRUE(v(u"1.0.0") > v(u"0.9.9"));
    EXPECT_TRUE(v(u"1.0.9") < v(u"1.0.10")); // numbers, not text
    EXPECT_TRUE(v(u"2.0.0") > v(u"1.99.99"));
}

TEST(UpdateFile, OnlyWebAddressesMayReachTheBrowser) {
    for (const char *good : {"https://www.velmoria.example/files/Cairnmeter-1.0.6.deb",
                             "http://dl.velmoria.example:8080/setup?v=1.0.6", "HTTPS://X.EXAMPLE/"})
        EXPECT_TRUE(UpdateFile::isWebAddress(QString::fromLatin1(good))) << good;
    for (const char *bad :
         {"file:///etc/passwd", "javascript:alert(1)", "/usr/bin/xterm", "xterm -e sh",
          "ftp://velmoria.example/setup", "https://", "http:///setup", "data:text/html,<b>x",
          "www.velmoria.example/setup", "https://velmoria.example/a b",
          "https://velmoria.example/\nfile:///etc/passwd", "mailto:a@velmoria.example", ""})
        EXPECT_FALSE(UpdateFile::isWebAddress(QString::fromLatin1(bad))) << bad;
}

TEST(UpdateFile, TheServerAddressComesFromTheEnvironmentWhenSet) {
    qputenv("CAIRNMETER_UPDATE_URL", "http://127.0.0.1:8123//");
    EXPECT_EQ(MakerSite::updateFileUrl("Cairnmeter.ver").toString(),
              "http://127.0.0.1:8123/files/Cairnmeter.ver");
    qunsetenv("CAIRNMETER_UPDATE_URL");
    const QString built = MakerSite::updateServer(); // the address the program was built with
    EXPECT_FALSE(built.isEmpty());
    EXPECT_FALSE(built.contains("8123"));
}
