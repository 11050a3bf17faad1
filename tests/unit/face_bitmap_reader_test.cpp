#include "face_bitmap_reader.h"

#include "temporary_streams.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string le32(std::uint32_t value) {
    std::string bytes(4, '\0');
    store_le32(reinterpret_cast<std::uint8_t*>(bytes.data()), value);
    return bytes;
}

// A portrait whose rows all differ, top row first.
face_cell sample_cell() {
    face_cell cell{};
    for (std::size_t row = 0; row < face_height; ++row) {
        for (std::size_t column = 0; column < face_width; ++column) {
            cell[row][column] = static_cast<std::uint8_t>((row * 2 + column * 7) % 256);
        }
    }
    return cell;
}

// The cell's rows as a bitmap stores them: bottom row first.
std::string pixel_rows(const face_cell& cell) {
    std::string bytes;
    for (std::size_t k = 0; k < face_height; ++k) {
        const face_row& row = cell[face_height - 1 - k];
        bytes.append(reinterpret_cast<const char*>(row.data()), row.size());
    }
    return bytes;
}

// A file header with the given pixel data offset, the other ten bytes as given.
std::string file_header(std::uint32_t offset, const std::string& first_ten = "BM\x36\x30") {
    std::string header = first_ten;
    header.resize(10, '\0');
    return header + le32(offset);
}

// A bitmap with the pixel rows at the offset, the gap filled with other bytes.
std::string bitmap(std::uint32_t offset, const std::string& pixels,
                   const std::string& first_ten = "BM\x36\x30") {
    std::string bytes = file_header(offset, first_ten);
    bytes.resize(offset, '\x77');
    return bytes + pixels;
}

struct read_case {
    const char* what;
    std::string bytes;
    bitmap_read_result result;
};

TEST(ReadFaceBitmap, TakesRowsFromThePixelDataOffsetBottomRowFirst) {
    const std::string pixels = pixel_rows(sample_cell());
    const std::vector<read_case> cases = {
        {"colour table of 256 colours", bitmap(1078, pixels), bitmap_read_result::success},
        {"no colour table", bitmap(54, pixels), bitmap_read_result::success},
        {"pixels right after the file header", bitmap(14, pixels), bitmap_read_result::success},
        {"odd offset", bitmap(1001, pixels), bitmap_read_result::success},
        {"garbage header", bitmap(1078, pixels, "\xff\x00 not a bitmap"),
         bitmap_read_result::success},
        {"bytes after the 120th row", bitmap(1078, pixels + std::string(3000, '\x01')),
         bitmap_read_result::success},
    };
    for (const read_case& c : cases) {
        std::FILE* stream = stream_of(c.bytes);
        face_cell cell{};
        EXPECT_EQ(read_face_bitmap(stream, cell), c.result) << c.what;
        EXPECT_EQ(cell, sample_cell()) << c.what;
        std::fclose(stream);
    }
}

TEST(ReadFaceBitmap, OffsetZeroReadsTheHeaderAsPixels) {
    const std::string bytes = file_header(0) + pixel_rows(sample_cell());
    std::FILE* stream = stream_of(bytes);
    face_cell cell{};
    ASSERT_EQ(read_face_bitmap(stream, cell), bitmap_read_result::success);
    // The first row read is the file's first 96 bytes, header included.
    EXPECT_EQ(std::string(cell[119].begin(), cell[119].end()), bytes.substr(0, 96));
    EXPECT_EQ(std::string(cell[0].begin(), cell[0].end()), bytes.substr(119 * 96, 96));
    std::fclose(stream);
}

TEST(ReadFaceBitmap, FailuresOfHeaderAndData) {
    const std::string pixels = pixel_rows(sample_cell());
    const std::vector<read_case> cases = {
        {"empty file", "", bitmap_read_result::header_failure},
        {"one byte", "B", bitmap_read_result::header_failure},
        {"thirteen bytes", file_header(1078).substr(0, 13), bitmap_read_result::header_failure},
        {"header alone", file_header(14), bitmap_read_result::data_failure},
        {"offset past the end", file_header(1078), bitmap_read_result::data_failure},
        {"offset past the end of a long file", file_header(20000) + pixels,
         bitmap_read_result::data_failure},
        {"offset at the very end", file_header(14 + 11520) + pixels.substr(0, 11520),
         bitmap_read_result::data_failure},
        {"ends inside the 120th row", bitmap(1078, pixels.substr(0, face_cell_size - 1)),
         bitmap_read_result::data_failure},
        {"ends after 119 rows", bitmap(1078, pixels.substr(0, face_cell_size - 96)),
         bitmap_read_result::data_failure},
        {"ends inside the first row", bitmap(1078, pixels.substr(0, 95)),
         bitmap_read_result::data_failure},
        {"offset 2^31", file_header(0x80000000u) + pixels, bitmap_read_result::data_failure},
        {"offset 2^32 - 1", file_header(0xFFFFFFFFu) + pixels, bitmap_read_result::data_failure},
    };
    for (const read_case& c : cases) {
        std::FILE* stream = stream_of(c.bytes);
        face_cell cell{};
        EXPECT_EQ(read_face_bitmap(stream, cell), c.result) << c.what;
        std::fclose(stream);
    }
}

} // namespace
