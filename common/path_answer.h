#pragma once
// The answers to the programs' path questions: one line of standard input,
// completed with the question's default.

#include <cstdio>
#include <optional>
#include <string>

// A source of answer lines. Once the byte 0x1A (Ctrl+Z) has been met, the
// input counts as ended for good, whatever follows it.
struct answer_input {
    std::FILE* stream = nullptr;
    bool ended = false;
};

// Reads one line: the bytes up to the next line feed, which is dropped, with
// every carriage return dropped wherever it stands. A last line without a line
// feed still counts. No line at all when the input has ended.
std::optional<std::string> read_answer_line(answer_input& input);

// Completes a typed line with the default: an empty line is the default, a
// line ending in a backslash byte gets the default appended, a line ending in
// a colon gets a backslash and the default; anything else stands as typed.
// The last byte is tested, not the last character, so a double-byte character
// whose second byte is 0x5C counts as a backslash.
std::string complete_answer(const std::string& line, const std::string& default_text);

// Reads the answer to the question just written and returns the path to use.
// The end of the input before any answer counts as an empty answer.
std::string prompt_path(const std::string& default_text);
