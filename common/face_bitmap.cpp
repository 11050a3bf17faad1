#include "face_bitmap.h"

#include "file_io.h"

namespace {

using file_header = std::array<std::uint8_t, bitmap_file_header_size>;
using info_header = std::array<std::uint8_t, bitmap_info_header_size>;

constexpr std::size_t colour_table_size = 4 * palette_entry_count;
constexpr std::size_t bitmap8_pixel_offset =
    bitmap_file_header_size + bitmap_info_header_size + colour_table_size;
constexpr std::size_t bitmap24_pixel_offset = bitmap_file_header_size + bitmap_info_header_size;
constexpr std::size_t bitmap24_row_size = 3 * face_width;

file_header make_file_header(std::size_t file_size, std::size_t pixel_offset) {
    file_header header{};
    header[0] = 'B';
    header[1] = 'M';
    store_le32(&header[2], static_cast<std::uint32_t>(file_size));
    // Bytes 6 to 9 are the two reserved fields, zero.
    store_le32(&header[10], static_cast<std::uint32_t>(pixel_offset));
    return header;
}

info_header make_info_header(std::uint8_t bits_per_pixel, std::size_t image_size) {
    info_header header{};
    store_le32(&header[0], bitmap_info_header_size);
    store_le32(&header[4], face_width);
    store_le32(&header[8], face_height); // positive: bottom row first
    header[12] = 1;                      // planes
    header[14] = bits_per_pixel;
    // Compression none, then image size; resolutions and colour counts stay zero.
    store_le32(&header[20], static_cast<std::uint32_t>(image_size));
    return header;
}

std::optional<bitmap_piece> write_headers(std::FILE* stream, const file_header& file,
                                          const info_header& info) {
    if (!write_bytes(stream, file.data(), file.size())) {
        return bitmap_piece::file_header;
    }
    if (!write_bytes(stream, info.data(), info.size())) {
        return bitmap_piece::info_header;
    }
    return std::nullopt;
}

bool marks_progress(std::size_t rows_written) {
    return rows_written % rows_per_progress_mark == 0;
}

} // namespace

std::optional<face_palette> load_face_palette(std::FILE* stream) {
    std::array<std::uint8_t, palette_file_size> file{};
    if (!read_bytes(stream, file.data(), file.size())) {
        return std::nullopt;
    }
    // The file keeps red, green, blue; bitmaps keep blue, green, red.
    face_palette palette{};
    for (std::size_t i = 0; i < palette_entry_count; ++i) {
        const std::uint8_t* entry = &file[palette_header_size + 4 * i];
        palette[4 * i + 0] = entry[2];
        palette[4 * i + 1] = entry[1];
        palette[4 * i + 2] = entry[0];
        palette[4 * i + 3] = entry[3];
    }
    return palette;
}

std::optional<bitmap_piece> write_face_bitmap8(std::FILE* stream, const face_palette& palette,
                                               const face_cell& cell, progress_hook hook) {
    const auto failed =
        write_headers(stream, make_file_header(bitmap8_file_size, bitmap8_pixel_offset),
                      make_info_header(8, face_cell_size));
    if (failed) {
        return failed;
    }
    if (!write_bytes(stream, palette.data(), palette.size())) {
        return bitmap_piece::colour_table;
    }
    for (std::size_t k = 0; k < face_height; ++k) {
        if (!write_bytes(stream, cell[face_height - 1 - k].data(), face_width)) {
            return bitmap_piece::pixel_data;
        }
        if (marks_progress(k + 1) && hook != nullptr) {
            hook();
        }
    }
    return std::nullopt;
}

std::optional<bitmap_piece> write_face_bitmap24(std::FILE* stream, const face_palette& palette,
                                                const face_cell& cell, progress_hook hook) {
    const auto failed =
        write_headers(stream, make_file_header(bitmap24_file_size, bitmap24_pixel_offset),
                      make_info_header(24, bitmap24_row_size * face_height));
    if (failed) {
        return failed;
    }
    for (std::size_t k = 0; k < face_height; ++k) {
        // Each pixel is blue, green, red of its palette entry; one row goes
        // out in one write.
        std::array<std::uint8_t, bitmap24_row_size> row{};
        const face_row& indices = cell[face_height - 1 - k];
        for (std::size_t x = 0; x < face_width; ++x) {
            const std::size_t entry = 4 * std::size_t{indices[x]};
            row[3 * x + 0] = palette[entry + 0];
            row[3 * x + 1] = palette[entry + 1];
            row[3 * x + 2] = palette[entry + 2];
        }
        if (!write_bytes(stream, row.data(), row.size())) {
            return bitmap_piece::pixel_data;
        }
        if (marks_progress(k + 1) && hook != nullptr) {
            hook();
        }
    }
    return std::nullopt;
}
