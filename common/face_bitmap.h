#pragma once
// The game's palette file and the face bitmaps that the splitters write: 8-bit
// with the palette as colour table, or 24-bit with the colours themselves.
// Both are uncompressed 96 x 120 Windows bitmaps stored bottom row first.

#include "face_archive.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>

inline constexpr std::size_t palette_entry_count = 256;
inline constexpr std::size_t palette_header_size = 4;
inline constexpr std::size_t palette_file_size = palette_header_size + 4 * palette_entry_count;

// 256 entries of blue, green, red and an extra byte: byte for byte the colour
// table of an 8-bit face bitmap.
using face_palette = std::array<std::uint8_t, 4 * palette_entry_count>;

inline constexpr std::size_t bitmap_file_header_size = 14;
inline constexpr std::size_t bitmap_info_header_size = 40;
inline constexpr std::size_t bitmap8_file_size = 12598;
inline constexpr std::size_t bitmap24_file_size = 34614;

// The piece of a face bitmap whose write came up short.
enum class bitmap_piece { file_header, info_header, colour_table, pixel_data };

// Reads the 1028 bytes at the start of a palette file: a header that is not
// used, then 256 entries of red, green, blue and extra. Nothing when the file
// is shorter.
std::optional<face_palette> load_face_palette(std::FILE* stream);

// Each returns the piece that failed, or nothing when the whole bitmap was
// written. The hook runs after every twelfth pixel row.
std::optional<bitmap_piece> write_face_bitmap8(std::FILE* stream, const face_palette& palette,
                                               const face_cell& cell, progress_hook hook);
std::optional<bitmap_piece> write_face_bitmap24(std::FILE* stream, const face_palette& palette,
                                                const face_cell& cell, progress_hook hook);
