// The kelvor-capture command lines of record and export: what they accept and what they refuse.

#include "capture/Command.h"

#include <functional>
#include <gtest/gtest.h>

using namespace capture;

namespace {

std::string Refusal(const std::function<void()>& parse) {
    try {
        parse();
    } catch (const UsageError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(CaptureCommandLine, SizesTakeKMGAsPowersOf1024) {
    EXPECT_EQ(ParseSize("--rotate-bytes", "1"), 1u);
    EXPECT_EQ(ParseSize("--rotate-bytes", "4096"), 4096u);
    EXPECT_EQ(ParseSize("--rotate-bytes", "64K"), 65536u);
    EXPECT_EQ(ParseSize("--rotate-bytes", "3m"), 3u << 20);
    EXPECT_EQ(ParseSize("--rotate-bytes", "2G"), 2ULL << 30);
    EXPECT_EQ(ParseSize("--rotate-bytes", "17179869183G"), 17179869183ULL << 30);
    for (const char* bad : {"", "0", "0K", "K", "-1", "+1", "1.5M", "1KB", "1T", " 1", "1 ",
                            "17179869184G", "99999999999999999999"})
        EXPECT_NE(Refusal([&] { ParseSize("--rotate-bytes", bad); }), "") << bad;
}

TEST(CaptureCommandLine, RecordWantsAddressPortAndName) {
    const RecordOptions o = ParseRecord({"127.0.0.1", "1236", "run", "--rotate-bytes=10M"});
    EXPECT_EQ(o.address, "127.0.0.1");
    EXPECT_EQ(o.port, 1236);
    EXPECT_EQ(o.name, "run");
    EXPECT_EQ(o.rotateBytes, 10u << 20);
    EXPECT_EQ(ParseRecord({"--rotate-bytes", "1K", "127.0.0.1", "1", "r"}).rotateBytes, 1024u);
    EXPECT_EQ(ParseRecord({"127.0.0.1", "65535", "r"}).rotateBytes, 0u);
    EXPECT_EQ(ParseRecord({"127.0.0.1", "1", "--", "-odd-name"}).name, "-odd-name");

    EXPECT_NE(Refusal([] { ParseRecord({"127.0.0.1", "1236"}); }), "");
    EXPECT_NE(Refusal([] { ParseRecord({"127.0.0.1", "1236", "a", "b"}); }), "");
    for (const char* port : {"0", "65536", "12x", "+5", ""})
        EXPECT_NE(Refusal([&] {
                      ParseRecord({"127.0.0.1", port, "r"});
                  }).find("PORT"),
                  std::string::npos)
            << port;
    EXPECT_NE(Refusal([] { ParseRecord({"127.0.0.1", "1", "r", "--rotate-bytes"}); }), "");
    EXPECT_NE(Refusal([] { ParseRecord({"127.0.0.1", "1", "r", "--rotate"}); }), "");
    EXPECT_NE(Refusal([] { ParseRecord({"", "1", "r"}); }), "");
    EXPECT_NE(Refusal([] { ParseRecord({"127.0.0.1", "-5", "r"}); }), ""); // an option, unknown
}

TEST(CaptureCommandLine, ExportWantsExactlyOneOutput) {
    ExportOptions o = ParseExport({"run", "--rtf", "out.rtf"});
    EXPECT_EQ(o.name, "run");
    EXPECT_EQ(o.format, ExportFormat::Rtf);
    EXPECT_EQ(o.file, "out.rtf");
    EXPECT_FALSE(o.force);
    o = ParseExport({"--text=out.txt", "run", "--force"});
    EXPECT_EQ(o.format, ExportFormat::Text);
    EXPECT_EQ(o.file, "out.txt");
    EXPECT_TRUE(o.force);

    EXPECT_NE(Refusal([] { ParseExport({"run"}); }), "");
    EXPECT_NE(Refusal([] { ParseExport({"run", "--rtf", "a", "--text", "b"}); }), "");
    EXPECT_NE(Refusal([] { ParseExport({"run", "--rtf", "a", "--rtf", "b"}); }), "");
    EXPECT_NE(Refusal([] { ParseExport({"--rtf", "a"}); }), "");
    EXPECT_NE(Refusal([] { ParseExport({"run", "other", "--rtf", "a"}); }), "");
    EXPECT_NE(Refusal([] { ParseExport({"run", "--rtf="}); }), "");
    EXPECT_NE(Refusal([] { ParseExport({"run", "--rtf", "a", "--force=yes"}); }), "");
}
