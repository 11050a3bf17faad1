#include "path_answer.h"

#include "temporary_streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> all_lines(const std::string& bytes) {
    answer_input input{stream_of(bytes), false};
    std::vector<std::string> lines;
    while (const auto line = read_answer_line(input)) {
        lines.push_back(*line);
    }
    std::fclose(input.stream);
    return lines;
}

struct line_case {
    const char* what;
    std::string input;
    std::vector<std::string> lines;
};

TEST(ReadAnswerLine, SplitsInputIntoAnswers) {
    const std::vector<line_case> cases = {
        {"line feed ends a line", "abc\ndef\n", {"abc", "def"}},
        {"CR LF is the same as LF", "abc\r\ndef\r\n", {"abc", "def"}},
        {"a CR anywhere is dropped", "a\rb\r\r\n\r", {"ab", ""}},
        {"last line without a line feed counts", "abc\ndef", {"abc", "def"}},
        {"empty line is an answer", "\nx\n", {"", "x"}},
        {"no input at all", "", {}},
        {"0x1A ends the input for good",
         "ab\x1a"
         "cd\nef\n",
         {"ab"}},
        {"0x1A first gives no answer",
         "\x1a"
         "abc\n",
         {}},
        {"0x1A after a line feed",
         "abc\n\x1a"
         "def\n",
         {"abc"}},
        {"blanks are kept", "  a b  \n", {"  a b  "}},
        {"bytes above 0x7F are kept", "\x83\x5c\x95\x5c\n", {"\x83\x5c\x95\x5c"}},
    };
    for (const line_case& c : cases) {
        EXPECT_EQ(all_lines(c.input), c.lines) << c.what;
    }
}

TEST(ReadAnswerLine, StaysEndedAfterCtrlZ) {
    answer_input input{stream_of("x\x1a"
                                 "later\n"),
                       false};
    EXPECT_EQ(read_answer_line(input), std::optional<std::string>("x"));
    EXPECT_EQ(read_answer_line(input), std::nullopt);
    EXPECT_EQ(read_answer_line(input), std::nullopt);
    std::fclose(input.stream);
}

struct completion_case {
    std::string typed;
    std::string path;
};

TEST(CompleteAnswer, AppliesTheDefaultRules) {
    const std::vector<completion_case> cases = {
        {"", "KAO_BMP"},
        {"D:", "D:\\KAO_BMP"},
        {"C:\\work\\", "C:\\work\\KAO_BMP"},
        {"\\", "\\KAO_BMP"},
        {"KAO_BMP\\", "KAO_BMP\\KAO_BMP"},
        {"C:\\work", "C:\\work"},
        {" C:\\work ", " C:\\work "},
        {"C:/work/", "C:/work/"},
        {"a%sb", "a%sb"},
        // The last byte decides: ソ (83 5C) and 表 (95 5C) end in a backslash byte.
        {"\x83\x5c", "\x83\x5c"
                     "KAO_BMP"},
        {"dir\\\x95\x5c", "dir\\\x95\x5c"
                          "KAO_BMP"},
    };
    for (const completion_case& c : cases) {
        EXPECT_EQ(complete_answer(c.typed, "KAO_BMP"), c.path) << "typed: " << c.typed;
    }
}

} // namespace
