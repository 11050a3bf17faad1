// Answers to the path questions: the input is whatever standard input holds.
// Every line read must be the input cut at its line feeds, with the carriage
// returns dropped and nothing from the first 0x1A on; every completed answer
// must follow the default rules.

#include "fuzz_support.h"
#include "path_answer.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr char end_of_file_byte = 0x1A;

// The lines the input should give: up to the first 0x1A, cut at each line
// feed; a last piece without a line feed counts when it has any byte at all.
std::vector<std::string> expected_lines(const std::string& input) {
    const std::string text = input.substr(0, input.find(end_of_file_byte));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t feed = text.find('\n', start);
        const std::size_t end = feed == std::string::npos ? text.size() : feed;
        std::string line = text.substr(start, end - start);
        std::erase(line, '\r');
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void check_completion(const std::string& line, const std::string& default_text) {
    const std::string answer = complete_answer(line, default_text);
    if (line.empty()) {
        require(answer == default_text);
        return;
    }
    require(answer.starts_with(line));
    const std::string added = answer.substr(line.size());
    if (line.back() == '\\') {
        require(added == default_text);
    } else if (line.back() == ':') {
        require(added == "\\" + default_text);
    } else {
        require(added.empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const input_stream stream(data, size);
    answer_input answers{stream.get(), false};

    std::vector<std::string> lines;
    while (const auto line = read_answer_line(answers)) {
        require(line->find('\r') == std::string::npos);
        require(line->find('\n') == std::string::npos);
        require(line->find(end_of_file_byte) == std::string::npos);
        lines.push_back(*line);
        // Every line takes at least one byte of input.
        require(lines.size() <= size);
    }
    require(answers.ended);
    // Once ended, the input stays ended.
    require(!read_answer_line(answers).has_value());
    require(lines == expected_lines(input));

    const std::string previous_default = "SAN7\\kaodata.s7";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        check_completion(lines[i], previous_default);
        check_completion(lines[i], "");
        // A typed line as another question's default: any bytes at all.
        check_completion(lines[i], lines[(i + 1) % lines.size()]);
    }
    return 0;
}
