#pragma once
// Captions of the faces of a 678-face archive, by face number; CP932 text.
inline constexpr int caption_count = 678;
extern const char* const caption_table[caption_count];
