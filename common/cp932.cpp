#include "cp932.h"

namespace {

// The length of the character that starts at the position: 2 for a lead byte
// with a valid second byte after it, 1 otherwise.
std::size_t character_length(const std::string& text, std::size_t position) {
    const auto byte = static_cast<unsigned char>(text[position]);
    if (is_cp932_lead_byte(byte) && position + 1 < text.size() &&
        is_cp932_trail_byte(static_cast<unsigned char>(text[position + 1]))) {
        return 2;
    }
    return 1;
}

} // namespace

bool is_cp932_second_byte(const std::string& text, std::size_t position) {
    std::size_t start = 0;
    while (start < position) {
        const std::size_t length = character_length(text, start);
        if (start + length > position) {
            return true;
        }
        start += length;
    }
    return false;
}

std::size_t count_cp932_characters(const std::string& text) {
    std::size_t count = 0;
    for (std::size_t position = 0; position < text.size();
         position += character_length(text, position)) {
        ++count;
    }
    return count;
}
