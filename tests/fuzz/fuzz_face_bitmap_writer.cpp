// Loading the palette file and writing face bitmaps, 8-bit or 24-bit, onto a
// medium that takes only so many bytes. The input is a flag byte (bit 0: the
// 24-bit bitmap), two bytes giving the room the medium has, then the palette
// file and the pixel indices.
//
// The write must fail at the first piece that does not fit, name that piece,
// and mark progress only for the twelve-row groups already written. A bitmap
// that fits must be the whole file, and read back to the same cell.

#include "face_bitmap.h"
#include "face_bitmap_reader.h"
#include "fuzz_support.h"

#include <algorithm>
#include <vector>

namespace {

std::size_t progress_marks = 0;

void count_progress_mark() {
    ++progress_marks;
}

struct piece_extent {
    bitmap_piece piece;
    std::size_t size;
};

std::vector<piece_extent> pieces_in_order(bool colours_in_pixels) {
    std::vector<piece_extent> pieces{{bitmap_piece::file_header, bitmap_file_header_size},
                                     {bitmap_piece::info_header, bitmap_info_header_size}};
    if (!colours_in_pixels) {
        pieces.push_back({bitmap_piece::colour_table, 4 * palette_entry_count});
    }
    const std::size_t row_size = colours_in_pixels ? 3 * face_width : face_width;
    pieces.insert(pieces.end(), face_height, {bitmap_piece::pixel_data, row_size});
    return pieces;
}

struct expected_write {
    std::optional<bitmap_piece> failed_piece;
    std::size_t progress_marks = 0;
};

expected_write expect(bool colours_in_pixels, std::size_t room) {
    expected_write expected;
    std::size_t end = 0;
    std::size_t rows_written = 0;
    for (const piece_extent& extent : pieces_in_order(colours_in_pixels)) {
        end += extent.size;
        if (end > room) {
            expected.failed_piece = extent.piece;
            break;
        }
        if (extent.piece == bitmap_piece::pixel_data) {
            ++rows_written;
        }
    }
    expected.progress_marks = rows_written / rows_per_progress_mark;
    return expected;
}

face_palette palette_from(const std::uint8_t* data, std::size_t size) {
    const input_stream stream(data, size);
    const std::optional<face_palette> loaded = load_face_palette(stream.get());
    require(loaded.has_value() == (size >= palette_file_size));
    if (!loaded) {
        // A grey ramp stands in for a palette file that is too short.
        face_palette ramp{};
        for (std::size_t i = 0; i < ramp.size(); ++i) {
            ramp[i] = static_cast<std::uint8_t>(i / 4);
        }
        return ramp;
    }
    // The file has red, green, blue, extra; the bitmap blue, green, red, extra.
    for (std::size_t i = 0; i < palette_entry_count; ++i) {
        const std::uint8_t* entry = data + palette_header_size + 4 * i;
        const std::uint8_t* colour = loaded->data() + 4 * i;
        require(colour[0] == entry[2] && colour[1] == entry[1] && colour[2] == entry[0] &&
                colour[3] == entry[3]);
    }
    return *loaded;
}

face_cell cell_from(const std::uint8_t* data, std::size_t size) {
    face_cell cell{};
    if (size == 0) {
        return cell;
    }
    std::size_t next = 0;
    for (face_row& row : cell) {
        for (std::uint8_t& index : row) {
            index = data[next];
            next = (next + 1) % size;
        }
    }
    return cell;
}

void check_header(const std::vector<std::uint8_t>& file, bool colours_in_pixels) {
    const std::uint8_t* bytes = file.data();
    const std::size_t pixel_offset = colours_in_pixels ? 54 : 1078;
    const std::size_t image_size = colours_in_pixels ? 34560 : 11520;
    require(bytes[0] == 'B' && bytes[1] == 'M');
    require(le32_at(bytes + 2) == file.size());
    require(le32_at(bytes + 6) == 0);
    require(le32_at(bytes + 10) == pixel_offset);
    require(le32_at(bytes + 14) == 40);
    require(le32_at(bytes + 18) == face_width);
    require(le32_at(bytes + 22) == face_height);
    require(bytes[26] == 1 && bytes[27] == 0);
    require(bytes[28] == (colours_in_pixels ? 24 : 8) && bytes[29] == 0);
    require(le32_at(bytes + 30) == 0);
    require(le32_at(bytes + 34) == image_size);
    require(std::all_of(bytes + 38, bytes + 54, [](std::uint8_t byte) { return byte == 0; }));
}

void check_bitmap8(const std::vector<std::uint8_t>& file, const face_palette& palette,
                   const face_cell& cell) {
    require(std::equal(palette.begin(), palette.end(), file.begin() + 54));
    const input_stream stream(file.data(), file.size());
    face_cell read_back{};
    require(read_face_bitmap(stream.get(), read_back) == bitmap_read_result::success);
    require(read_back == cell);
}

void check_bitmap24(const std::vector<std::uint8_t>& file, const face_palette& palette,
                    const face_cell& cell) {
    for (std::size_t y = 0; y < face_height; ++y) {
        const std::uint8_t* row = file.data() + 54 + (face_height - 1 - y) * 3 * face_width;
        for (std::size_t x = 0; x < face_width; ++x) {
            const std::uint8_t* colour = palette.data() + 4 * std::size_t{cell[y][x]};
            require(std::equal(colour, colour + 3, row + 3 * x));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const bool colours_in_pixels = (data[0] & 1) != 0;
    const std::size_t room = std::size_t{data[1]} | std::size_t{data[2]} << 8;
    const std::uint8_t* rest = data + 3;
    const std::size_t rest_size = size - 3;

    const face_palette palette = palette_from(rest, rest_size);
    const std::size_t palette_bytes = std::min(rest_size, palette_file_size);
    const face_cell cell = cell_from(rest + palette_bytes, rest_size - palette_bytes);

    // One byte more than the room, as fmemopen wants a buffer even for none.
    std::vector<std::uint8_t> medium(room + 1);
    std::FILE* stream = fmemopen(medium.data(), room, "w");
    require(stream != nullptr);
    // Unbuffered, so that each write reaches the medium and fails there.
    require(std::setvbuf(stream, nullptr, _IONBF, 0) == 0);

    progress_marks = 0;
    const std::optional<bitmap_piece> failed =
        colours_in_pixels ? write_face_bitmap24(stream, palette, cell, count_progress_mark)
                          : write_face_bitmap8(stream, palette, cell, count_progress_mark);
    const expected_write expected = expect(colours_in_pixels, room);
    require(failed == expected.failed_piece);
    require(progress_marks == expected.progress_marks);

    const off_t written = ftello(stream);
    std::fclose(stream);
    if (failed) {
        return 0;
    }
    const std::size_t file_size = colours_in_pixels ? bitmap24_file_size : bitmap8_file_size;
    require(written == static_cast<off_t>(file_size));
    const std::vector<std::uint8_t> file(medium.begin(),
                                         medium.begin() + static_cast<std::ptrdiff_t>(file_size));
    check_header(file, colours_in_pixels);
    if (colours_in_pixels) {
        check_bitmap24(file, palette, cell);
    } else {
        check_bitmap8(file, palette, cell);
    }
    return 0;
}
