#pragma once
// The face archive: a face count, an index of one 16-byte record per face, and
// one cell of 96 x 120 palette indices per face. Every integer is 32 bits wide
// and little-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>

inline constexpr std::size_t face_width = 96;
inline constexpr std::size_t face_height = 120;
inline constexpr std::size_t face_cell_size = face_width * face_height;
inline constexpr std::size_t face_index_entry_size = 16;
inline constexpr std::size_t face_count_size = 4;

// The face counts of the two editions of the game.
inline constexpr std::int32_t pk_face_count = 678;
inline constexpr std::int32_t normal_face_count = 648;

// One portrait: rows of palette indices, top row first, leftmost pixel first.
using face_row = std::array<std::uint8_t, face_width>;
using face_cell = std::array<face_row, face_height>;

// Run after every twelfth row written, ten times per face: the caller draws a
// progress mark there.
using progress_hook = void (*)();
inline constexpr std::size_t rows_per_progress_mark = 12;

// Writing, in file order. Each returns false at the first short write.
bool write_face_count(std::FILE* stream, std::int32_t face_count);
bool write_face_index(std::FILE* stream, std::int32_t face_count);
bool write_face_cell(std::FILE* stream, const face_cell& cell, progress_hook hook);

// Reading. The index is never read: cells stand at fixed positions.
std::optional<std::int32_t> read_face_count(std::FILE* stream);
std::int64_t face_cell_position(std::int32_t face_count, std::int32_t face_number);
bool read_face_cell(std::FILE* stream, std::int32_t face_count, std::int32_t face_number,
                    face_cell& cell);

// Little-endian integers of the game's files and the bitmaps.
void store_le32(std::uint8_t* bytes, std::uint32_t value);
std::uint32_t load_le32(const std::uint8_t* bytes);
