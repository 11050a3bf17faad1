#include "path_answer.h"

namespace {

constexpr int end_of_file_byte = 0x1A;

} // namespace

std::optional<std::string> read_answer_line(answer_input& input) {
    if (input.ended) {
        return std::nullopt;
    }
    std::string line;
    bool got_any = false;
    for (;;) {
        const int byte = std::getc(input.stream);
        if (byte == EOF || byte == end_of_file_byte) {
            input.ended = true;
            break;
        }
        got_any = true;
        if (byte == '\n') {
            return line;
        }
        if (byte != '\r') {
            line.push_back(static_cast<char>(byte));
        }
    }
    if (!got_any) {
        return std::nullopt;
    }
    return line;
}

std::string complete_answer(const std::string& line, const std::string& default_text) {
    if (line.empty()) {
        return default_text;
    }
    if (line.back() == '\\') {
        return line + default_text;
    }
    if (line.back() == ':') {
        return line + "\\" + default_text;
    }
    return line;
}

std::string prompt_path(const std::string& default_text) {
    static answer_input standard_input{stdin, false};
    const std::optional<std::string> line = read_answer_line(standard_input);
    return complete_answer(line.value_or(std::string()), default_text);
}
