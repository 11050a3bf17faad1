#pragma once
// The byte rules of CP932 (Shift-JIS) text: which bytes begin a double-byte
// character and which may follow as its second byte.

#include <cstddef>
#include <string>

inline bool is_cp932_lead_byte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

inline bool is_cp932_trail_byte(unsigned char byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// True when the byte at the position is the second byte of a double-byte
// character, reading the text from its start.
bool is_cp932_second_byte(const std::string& text, std::size_t position);

// The number of characters in CP932 text: a lead byte followed by a valid
// second byte is one character.
std::size_t count_cp932_characters(const std::string& text);
