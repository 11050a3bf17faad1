#include "text_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct text_case {
    std::string text;
    std::string bytes;
};

// The program texts are written in UTF-8 and reach the programs as CP932.
TEST(ProgramText, LiteralsBecomeCp932Bytes) {
#if defined(__clang__) || !defined(__GNUC__)
    GTEST_SKIP() << "only GCC turns the literals into CP932 (-fexec-charset)";
#endif
    const std::vector<text_case> cases = {
        {"～", "\x81\x60"},
        {"：", "\x81\x46"},
        {"三国志７", "\x8e\x4f\x8d\x91\x8e\x75\x82\x56"},
        {"ソ", "\x83\x5c"},
        {"表", "\x95\x5c"},
        {"[PK版]", "[PK\x94\xc5]"},
        {"プログラムを終了します。何かキーを押してください...",
         "\x83\x76\x83\x8d\x83\x4f\x83\x89\x83\x80\x82\xf0\x8f\x49\x97\xb9\x82\xb5\x82\xdc\x82\xb7"
         "\x81\x42\x89\xbd\x82\xa9\x83\x4c\x81\x5b\x82\xf0\x89\x9f\x82\xb5\x82\xc4\x82\xad\x82\xbe"
         "\x82\xb3\x82\xa2..."},
    };
    for (const text_case& c : cases) {
        EXPECT_EQ(c.text, c.bytes);
    }
}

TEST(ProgramText, FormatKeepsTheCp932Bytes) {
#if defined(__clang__) || !defined(__GNUC__)
    GTEST_SKIP() << "only GCC turns the literals into CP932 (-fexec-charset)";
#endif
    EXPECT_EQ(format_text("BMPファイル数 = %d (顔グラNo = 0 ～ %d)\n", 678, 677),
              "BMP\x83\x74\x83\x40\x83\x43\x83\x8b\x90\x94 = 678 "
              "(\x8a\xe7\x83\x4f\x83\x89No = 0 \x81\x60 677)\n");
}

struct format_case {
    const char* what;
    std::string result;
    std::string expected;
};

TEST(FormatText, KeepsEveryByteOfItsArguments) {
    const std::string long_path = "C:\\" + std::string(3000, 'x') + "\\kaodata.s7";
    const std::vector<format_case> cases = {
        {"long result", format_text("Error:%s!", long_path.c_str()), "Error:" + long_path + "!"},
        {"long result with numbers", format_text("%s%d", std::string(1500, 'y').c_str(), 677),
         std::string(1500, 'y') + "677"},
        {"percent signs in a path", format_text("path = %s\n", "C:\\100%\\%s%d%%"),
         "path = C:\\100%\\%s%d%%\n"},
        {"double-byte character ending in 0x5C", format_text("%s\\%s", "\x83\x5c", "kao001.bmp"),
         "\x83\x5c\\kao001.bmp"},
        {"empty result", format_text("%s", ""), ""},
        {"numbers", format_text("(%d:PK=%d,%d)", -1, 678, 648), "(-1:PK=678,648)"},
    };
    for (const format_case& c : cases) {
        EXPECT_EQ(c.result, c.expected) << c.what;
    }
}

} // namespace
