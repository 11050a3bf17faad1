// Reading a face archive as the splitters do: the count, then the cells from
// face 0 on while the number is below the count, stopping at the first cell
// that cannot be read. The input is the whole archive, with any count at all
// (negative, zero, far beyond the file). A cell must be read exactly when it
// lies within the file, from the place the count gives it.

#include "face_archive.h"
#include "fuzz_support.h"

#include <algorithm>

namespace {

// More faces than any input the fuzzer builds can hold.
constexpr std::int32_t faces_tried_at_most = 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const input_stream stream(data, size);
    const std::optional<std::int32_t> face_count = read_face_count(stream.get());
    if (size < face_count_size) {
        require(!face_count.has_value());
        return 0;
    }
    require(face_count.has_value());
    require(*face_count == static_cast<std::int32_t>(le32_at(data)));

    face_cell cell{};
    for (std::int32_t n = 0; n < *face_count && n < faces_tried_at_most; ++n) {
        const std::int64_t position = face_cell_position(*face_count, n);
        require(position == 4 + 16 * std::int64_t{*face_count} + 11520 * std::int64_t{n});

        const bool cell_in_file =
            position >= 0 && static_cast<std::uint64_t>(position) + face_cell_size <= size;
        const bool read = read_face_cell(stream.get(), *face_count, n, cell);
        require(read == cell_in_file);
        if (!read) {
            break;
        }
        for (std::size_t row = 0; row < face_height; ++row) {
            const std::uint8_t* bytes =
                data + static_cast<std::size_t>(position) + row * face_width;
            require(std::equal(cell[row].begin(), cell[row].end(), bytes));
        }
    }
    return 0;
}
