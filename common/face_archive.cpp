#include "face_archive.h"

#include "file_io.h"

void store_le32(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t load_le32(const std::uint8_t* bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    }
    return value;
}

bool write_face_count(std::FILE* stream, std::int32_t face_count) {
    std::uint8_t bytes[face_count_size];
    store_le32(bytes, static_cast<std::uint32_t>(face_count));
    return write_bytes(stream, bytes, sizeof bytes);
}

bool write_face_index(std::FILE* stream, std::int32_t face_count) {
    for (std::int32_t n = 0; n < face_count; ++n) {
        std::uint8_t entry[face_index_entry_size];
        store_le32(entry + 0, static_cast<std::uint32_t>(n * std::int64_t{face_cell_size}));
        store_le32(entry + 4, face_cell_size);
        store_le32(entry + 8, face_width);
        store_le32(entry + 12, face_height);
        if (!write_bytes(stream, entry, sizeof entry)) {
            return false;
        }
    }
    return true;
}

bool write_face_cell(std::FILE* stream, const face_cell& cell, progress_hook hook) {
    for (std::size_t row = 0; row < face_height; ++row) {
        if (!write_bytes(stream, cell[row].data(), face_width)) {
            return false;
        }
        if ((row + 1) % rows_per_progress_mark == 0 && hook != nullptr) {
            hook();
        }
    }
    return true;
}

std::optional<std::int32_t> read_face_count(std::FILE* stream) {
    std::uint8_t bytes[face_count_size];
    if (!read_bytes(stream, bytes, sizeof bytes)) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(load_le32(bytes));
}

std::int64_t face_cell_position(std::int32_t face_count, std::int32_t face_number) {
    return std::int64_t{face_count_size} + std::int64_t{face_index_entry_size} * face_count +
           std::int64_t{face_cell_size} * face_number;
}

bool read_face_cell(std::FILE* stream, std::int32_t face_count, std::int32_t face_number,
                    face_cell& cell) {
    // A failed seek (a position beyond what the system can reach) leaves the
    // stream elsewhere; the cell is then unreadable, not read from the wrong
    // place.
    if (!seek_to(stream, face_cell_position(face_count, face_number))) {
        return false;
    }
    for (face_row& row : cell) {
        if (!read_bytes(stream, row.data(), face_width)) {
            return false;
        }
    }
    return true;
}
