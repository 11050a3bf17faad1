// Reading a face bitmap back into a cell: the input is the whole bitmap file,
// with any pixel data offset at all. The read must succeed exactly when the
// 120 rows lie within the file, and then hold them bottom row first.

#include "face_bitmap_reader.h"
#include "fuzz_support.h"

#include <algorithm>

namespace {

constexpr std::size_t file_header_size = 14;
constexpr std::size_t pixel_data_offset_field = 10;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const input_stream stream(data, size);
    face_cell cell{};
    const bitmap_read_result result = read_face_bitmap(stream.get(), cell);

    if (size < file_header_size) {
        require(result == bitmap_read_result::header_failure);
        return 0;
    }
    const std::uint64_t offset = le32_at(data + pixel_data_offset_field);
    const bool rows_in_file = offset + face_cell_size <= size;
    if (!rows_in_file) {
        require(result == bitmap_read_result::data_failure);
        return 0;
    }
    require(result == bitmap_read_result::success);
    for (std::size_t k = 0; k < face_height; ++k) {
        const std::uint8_t* row = data + offset + k * face_width;
        const face_row& read_row = cell[face_height - 1 - k];
        require(std::equal(read_row.begin(), read_row.end(), row));
    }
    return 0;
}
