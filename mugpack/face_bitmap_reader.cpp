#include "face_bitmap_reader.h"

#include "file_io.h"

namespace {

constexpr std::size_t file_header_size = 14;
constexpr std::size_t pixel_data_offset_field = 10;

} // namespace

bitmap_read_result read_face_bitmap(std::FILE* stream, face_cell& cell) {
    std::uint8_t header[file_header_size];
    if (!read_bytes(stream, header, sizeof header)) {
        return bitmap_read_result::header_failure;
    }
    // An offset the stream cannot reach leaves no pixel data to read.
    if (!seek_to(stream, load_le32(header + pixel_data_offset_field))) {
        return bitmap_read_result::data_failure;
    }
    for (std::size_t k = 0; k < face_height; ++k) {
        if (!read_bytes(stream, cell[face_height - 1 - k].data(), face_width)) {
            return bitmap_read_result::data_failure;
        }
    }
    return bitmap_read_result::success;
}
