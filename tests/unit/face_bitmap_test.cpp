#include "face_bitmap.h"
#include "face_bitmap_reader.h"

#include "temporary_streams.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace {

std::string hex_bytes(std::initializer_list<unsigned> values) {
    std::string bytes;
    for (const unsigned value : values) {
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

// Entry i of the test palette file: red, green, blue, extra all differ from
// entry to entry, and blue differs from red.
std::uint8_t file_red(std::size_t i) {
    return static_cast<std::uint8_t>(i);
}
std::uint8_t file_green(std::size_t i) {
    return static_cast<std::uint8_t>(255 - i);
}
std::uint8_t file_blue(std::size_t i) {
    return static_cast<std::uint8_t>((i * 7 + 3) % 256);
}
std::uint8_t file_extra(std::size_t i) {
    return static_cast<std::uint8_t>((i * 13 + 1) % 256);
}

// A palette file of the given size: the header, the 256 entries above, then
// `tail` repeated up to the size (or the bytes cut off at the size).
std::string palette_file(std::size_t size, const std::string& header = "PAL\x01",
                         char tail = '\x5a') {
    std::string bytes = header;
    for (std::size_t i = 0; i < palette_entry_count; ++i) {
        bytes.push_back(static_cast<char>(file_red(i)));
        bytes.push_back(static_cast<char>(file_green(i)));
        bytes.push_back(static_cast<char>(file_blue(i)));
        bytes.push_back(static_cast<char>(file_extra(i)));
    }
    bytes.resize(size, tail);
    return bytes;
}

std::optional<face_palette> load_from(const std::string& bytes) {
    std::FILE* stream = stream_of(bytes);
    const auto palette = load_face_palette(stream);
    std::fclose(stream);
    return palette;
}

face_palette test_palette() {
    return *load_from(palette_file(palette_file_size));
}

// The portrait of the worked example: top row all index 5, every other row 0.
face_cell top_row_five_cell() {
    face_cell cell{};
    cell[0].fill(5);
    return cell;
}

// A portrait whose rows all differ and which uses every index, 200 and above
// included.
face_cell varied_cell() {
    face_cell cell{};
    for (std::size_t row = 0; row < face_height; ++row) {
        for (std::size_t column = 0; column < face_width; ++column) {
            cell[row][column] =
                static_cast<std::uint8_t>((row * 3 + column * 5 + row * column) % 256);
        }
    }
    return cell;
}

std::string write8(const face_palette& palette, const face_cell& cell) {
    std::FILE* stream = std::tmpfile();
    EXPECT_EQ(write_face_bitmap8(stream, palette, cell, nullptr), std::nullopt);
    std::string bytes = contents_of(stream);
    std::fclose(stream);
    return bytes;
}

std::string write24(const face_palette& palette, const face_cell& cell) {
    std::FILE* stream = std::tmpfile();
    EXPECT_EQ(write_face_bitmap24(stream, palette, cell, nullptr), std::nullopt);
    std::string bytes = contents_of(stream);
    std::fclose(stream);
    return bytes;
}

const std::string file_header8 =
    hex_bytes({0x42, 0x4D, 0x36, 0x31, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x36, 0x04, 0x00, 0x00});
const std::string info_header8 =
    hex_bytes({0x28, 0x00, 0x00, 0x00, 0x60, 0x00, 0x00, 0x00, 0x78, 0x00, 0x00, 0x00,
               0x01, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2D, 0x00, 0x00}) +
    std::string(16, '\0');
const std::string file_header24 =
    hex_bytes({0x42, 0x4D, 0x36, 0x87, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x36, 0x00, 0x00, 0x00});
const std::string info_header24 =
    hex_bytes({0x28, 0x00, 0x00, 0x00, 0x60, 0x00, 0x00, 0x00, 0x78, 0x00, 0x00, 0x00,
               0x01, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x87, 0x00, 0x00}) +
    std::string(16, '\0');

std::uint8_t byte_at(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint8_t>(bytes.at(offset));
}

// ---------------------------------------------------------------------------
// Loading the palette

struct palette_size_case {
    std::size_t size;
    bool loads;
};

TEST(LoadFacePalette, NeedsTheFirst1028Bytes) {
    const std::vector<palette_size_case> cases = {
        {0, false}, {4, false}, {1027, false}, {1028, true}, {1029, true}, {2000, true},
    };
    for (const palette_size_case& c : cases) {
        EXPECT_EQ(load_from(palette_file(c.size)).has_value(), c.loads) << "size " << c.size;
    }
}

TEST(LoadFacePalette, TurnsEachEntryIntoBlueGreenRedExtra) {
    const auto palette = load_from(palette_file(palette_file_size));
    ASSERT_TRUE(palette.has_value());
    for (std::size_t i = 0; i < palette_entry_count; ++i) {
        EXPECT_EQ((*palette)[4 * i + 0], file_blue(i)) << "entry " << i;
        EXPECT_EQ((*palette)[4 * i + 1], file_green(i)) << "entry " << i;
        EXPECT_EQ((*palette)[4 * i + 2], file_red(i)) << "entry " << i;
        EXPECT_EQ((*palette)[4 * i + 3], file_extra(i)) << "entry " << i;
    }
}

TEST(LoadFacePalette, ExchangesRedAndBlueOfTheWorkedExample) {
    // Entry 9: red 10, green 20, blue 30, extra 40.
    std::string bytes = palette_file(palette_file_size);
    bytes.replace(4 + 4 * 9, 4, hex_bytes({0x0A, 0x14, 0x1E, 0x28}));
    const auto palette = load_from(bytes);
    ASSERT_TRUE(palette.has_value());
    const std::vector<std::uint8_t> entry(palette->begin() + 4 * 9, palette->begin() + 4 * 10);
    EXPECT_EQ(entry, (std::vector<std::uint8_t>{0x1E, 0x14, 0x0A, 0x28}));
}

TEST(LoadFacePalette, IgnoresBytesAfterTheEntries) {
    const auto exact = load_from(palette_file(palette_file_size));
    const auto longer = load_from(palette_file(2000, "PAL\x01", '\xee'));
    const auto other_tail = load_from(palette_file(2000, "PAL\x01", '\x00'));
    ASSERT_TRUE(exact && longer && other_tail);
    EXPECT_EQ(*longer, *exact);
    EXPECT_EQ(*other_tail, *exact);
}

TEST(LoadFacePalette, HeaderHasNoEffectOnAnyBitmap) {
    const auto plain = load_from(palette_file(palette_file_size, std::string(4, '\0')));
    const auto other = load_from(palette_file(palette_file_size, "\xff\x12\x34\x56"));
    ASSERT_TRUE(plain && other);
    EXPECT_EQ(*plain, *other);
    const face_cell cell = varied_cell();
    EXPECT_EQ(write8(*plain, cell), write8(*other, cell));
    EXPECT_EQ(write24(*plain, cell), write24(*other, cell));
}

// ---------------------------------------------------------------------------
// The 8-bit face bitmap

TEST(WriteFaceBitmap8, WritesTheFixedHeadersAndThePaletteAsColourTable) {
    const face_palette palette = test_palette();
    const std::string bytes = write8(palette, varied_cell());
    ASSERT_EQ(bytes.size(), 12598u);
    EXPECT_EQ(bytes.substr(0, 14), file_header8);
    EXPECT_EQ(bytes.substr(14, 40), info_header8);
    EXPECT_EQ(bytes.substr(54, 1024),
              std::string(reinterpret_cast<const char*>(palette.data()), palette.size()));
}

TEST(WriteFaceBitmap8, StoresRowsBottomFirstWithIndicesUnchanged) {
    const face_cell cell = varied_cell();
    const std::string bytes = write8(test_palette(), cell);
    ASSERT_EQ(bytes.size(), 12598u);
    for (std::size_t k = 0; k < face_height; ++k) {
        const face_row& row = cell[face_height - 1 - k];
        EXPECT_EQ(bytes.substr(1078 + 96 * k, 96),
                  std::string(reinterpret_cast<const char*>(row.data()), row.size()))
            << "file row " << k;
    }
}

TEST(WriteFaceBitmap8, PutsTheTopRowAtTheEndOfTheFile) {
    const std::string bytes = write8(test_palette(), top_row_five_cell());
    ASSERT_EQ(bytes.size(), 12598u);
    EXPECT_EQ(bytes.substr(1078, 12502 - 1078), std::string(12502 - 1078, '\0'));
    EXPECT_EQ(bytes.substr(12502), std::string(96, '\x05'));
}

TEST(WriteFaceBitmap8, SameSizeAndHeadersWhateverTheCell) {
    const face_palette palette = test_palette();
    face_cell all_ff{};
    for (face_row& row : all_ff) {
        row.fill(0xFF);
    }
    const std::string first = write8(palette, face_cell{});
    const std::string second = write8(palette, all_ff);
    ASSERT_EQ(first.size(), 12598u);
    ASSERT_EQ(second.size(), 12598u);
    EXPECT_EQ(first.substr(0, 1078), second.substr(0, 1078));
}

TEST(WriteFaceBitmap8, ReadsBackAsTheSameCell) {
    const face_cell cell = varied_cell();
    std::FILE* stream = std::tmpfile();
    ASSERT_EQ(write_face_bitmap8(stream, test_palette(), cell, nullptr), std::nullopt);
    std::rewind(stream);
    face_cell read_back{};
    EXPECT_EQ(read_face_bitmap(stream, read_back), bitmap_read_result::success);
    std::fclose(stream);
    EXPECT_EQ(read_back, cell);
}

// ---------------------------------------------------------------------------
// The 24-bit face bitmap

TEST(WriteFaceBitmap24, WritesTheFixedHeadersAndNoColourTable) {
    const std::string bytes = write24(test_palette(), varied_cell());
    ASSERT_EQ(bytes.size(), 34614u);
    EXPECT_EQ(bytes.substr(0, 14), file_header24);
    EXPECT_EQ(bytes.substr(14, 40), info_header24);
}

TEST(WriteFaceBitmap24, ReplacesEachIndexByBlueGreenRedOfItsEntry) {
    const face_cell cell = varied_cell();
    const std::string bytes = write24(test_palette(), cell);
    ASSERT_EQ(bytes.size(), 34614u);
    for (std::size_t k = 0; k < face_height; ++k) {
        for (std::size_t x = 0; x < face_width; ++x) {
            const std::size_t index = cell[face_height - 1 - k][x];
            const std::size_t offset = 54 + 288 * k + 3 * x;
            ASSERT_EQ(byte_at(bytes, offset + 0), file_blue(index)) << "row " << k << " x " << x;
            ASSERT_EQ(byte_at(bytes, offset + 1), file_green(index)) << "row " << k << " x " << x;
            ASSERT_EQ(byte_at(bytes, offset + 2), file_red(index)) << "row " << k << " x " << x;
        }
    }
}

TEST(WriteFaceBitmap24, PutsTheTopRowAtTheEndOfTheFile) {
    const face_palette palette = test_palette();
    const std::string bytes = write24(palette, top_row_five_cell());
    ASSERT_EQ(bytes.size(), 34614u);
    std::string entry0_row;
    std::string entry5_row;
    for (std::size_t x = 0; x < face_width; ++x) {
        entry0_row += hex_bytes({palette[0], palette[1], palette[2]});
        entry5_row += hex_bytes({palette[20], palette[21], palette[22]});
    }
    EXPECT_EQ(bytes.substr(34326), entry5_row);
    for (std::size_t k = 0; k + 1 < face_height; ++k) {
        EXPECT_EQ(bytes.substr(54 + 288 * k, 288), entry0_row) << "file row " << k;
    }
}

struct index_colour_case {
    std::uint8_t index;
    std::string entry; // the palette file's entry: red, green, blue, extra
    std::string pixel; // blue, green, red
};

TEST(WriteFaceBitmap24, IndicesAreUnsigned) {
    const std::vector<index_colour_case> cases = {
        {9, hex_bytes({0x0A, 0x14, 0x1E, 0x28}), hex_bytes({0x1E, 0x14, 0x0A})},
        {200, hex_bytes({0xC1, 0xC2, 0xC3, 0xC4}), hex_bytes({0xC3, 0xC2, 0xC1})},
        {255, hex_bytes({0x01, 0x02, 0x03, 0x04}), hex_bytes({0x03, 0x02, 0x01})},
    };
    for (const index_colour_case& c : cases) {
        std::string file = palette_file(palette_file_size);
        file.replace(4 + 4 * std::size_t{c.index}, 4, c.entry);
        face_cell cell{};
        cell[119][0] = c.index; // the first pixel of the file
        const std::string bytes = write24(*load_from(file), cell);
        ASSERT_EQ(bytes.size(), 34614u);
        EXPECT_EQ(bytes.substr(54, 3), c.pixel) << "index " << int{c.index};
    }
}

TEST(WriteFaceBitmap8, ColourTableKeepsTheExtraByte) {
    std::string file = palette_file(palette_file_size);
    file.replace(4 + 4 * 9, 4, hex_bytes({0x0A, 0x14, 0x1E, 0x28}));
    const std::string bytes = write8(*load_from(file), face_cell{});
    ASSERT_EQ(bytes.size(), 12598u);
    EXPECT_EQ(bytes.substr(54 + 4 * 9, 4), hex_bytes({0x1E, 0x14, 0x0A, 0x28}));
}

// ---------------------------------------------------------------------------
// Progress and failed writes

// The hook takes no argument: it reports through these.
std::FILE* hooked_stream = nullptr;
std::vector<long> hook_positions;

void record_position() {
    hook_positions.push_back(hooked_stream == nullptr ? -1 : std::ftell(hooked_stream));
}

using bitmap_writer = std::optional<bitmap_piece> (*)(std::FILE*, const face_palette&,
                                                      const face_cell&, progress_hook);

struct progress_case {
    const char* what;
    bitmap_writer write;
    long pixel_offset;
    long row_size;
};

const std::vector<progress_case> both_writers = {
    {"8-bit", write_face_bitmap8, 1078, 96},
    {"24-bit", write_face_bitmap24, 54, 288},
};

TEST(FaceBitmapProgress, HookRunsAfterEveryTwelfthRow) {
    for (const progress_case& c : both_writers) {
        hooked_stream = std::tmpfile();
        hook_positions.clear();
        EXPECT_EQ(c.write(hooked_stream, test_palette(), varied_cell(), record_position),
                  std::nullopt);
        std::vector<long> expected;
        for (long rows = 12; rows <= 120; rows += 12) {
            expected.push_back(c.pixel_offset + rows * c.row_size);
        }
        EXPECT_EQ(hook_positions, expected) << c.what;
        std::fclose(hooked_stream);
        hooked_stream = nullptr;
    }
}

// A stream that takes the first `budget` bytes written to it and refuses the
// rest. It is unbuffered, so a short write shows at the fwrite that made it.
struct limited_sink {
    std::size_t budget;
    std::string taken;
};

ssize_t limited_write(void* cookie, const char* bytes, std::size_t size) {
    auto* sink = static_cast<limited_sink*>(cookie);
    const std::size_t room = sink->budget - sink->taken.size();
    const std::size_t count = size < room ? size : room;
    sink->taken.append(bytes, count);
    return static_cast<ssize_t>(count);
}

std::FILE* open_limited(limited_sink& sink) {
    cookie_io_functions_t functions{};
    functions.write = limited_write;
    std::FILE* stream = fopencookie(&sink, "w", functions);
    if (stream != nullptr) {
        std::setvbuf(stream, nullptr, _IONBF, 0);
    }
    return stream;
}

struct budget_case {
    std::size_t budget;
    std::optional<bitmap_piece> result;
    std::size_t hook_runs;
};

void check_budgets(bitmap_writer write, const std::vector<budget_case>& cases,
                   const std::string& whole) {
    const face_palette palette = test_palette();
    const face_cell cell = varied_cell();
    for (const budget_case& c : cases) {
        limited_sink sink{c.budget, {}};
        hooked_stream = open_limited(sink);
        ASSERT_NE(hooked_stream, nullptr);
        hook_positions.clear();
        EXPECT_EQ(write(hooked_stream, palette, cell, record_position), c.result)
            << "budget " << c.budget;
        EXPECT_EQ(hook_positions.size(), c.hook_runs) << "budget " << c.budget;
        std::fclose(hooked_stream);
        hooked_stream = nullptr;
        // What got through is the start of the bitmap.
        EXPECT_EQ(sink.taken, whole.substr(0, c.budget)) << "budget " << c.budget;
    }
}

TEST(WriteFaceBitmap8, ReportsThePieceThatCameUpShort) {
    const std::size_t twelve_rows = 12 * 96;
    const std::vector<budget_case> cases = {
        {0, bitmap_piece::file_header, 0},
        {13, bitmap_piece::file_header, 0},
        {14, bitmap_piece::info_header, 0},
        {53, bitmap_piece::info_header, 0},
        {54, bitmap_piece::colour_table, 0},
        {1077, bitmap_piece::colour_table, 0},
        {1078, bitmap_piece::pixel_data, 0},
        {1078 + twelve_rows - 1, bitmap_piece::pixel_data, 0},
        {1078 + twelve_rows, bitmap_piece::pixel_data, 1},
        {12597, bitmap_piece::pixel_data, 9},
        {12598, std::nullopt, 10},
        {20000, std::nullopt, 10},
    };
    check_budgets(write_face_bitmap8, cases, write8(test_palette(), varied_cell()));
}

TEST(WriteFaceBitmap24, ReportsThePieceThatCameUpShort) {
    const std::size_t twelve_rows = 12 * 288;
    const std::vector<budget_case> cases = {
        {0, bitmap_piece::file_header, 0},
        {13, bitmap_piece::file_header, 0},
        {14, bitmap_piece::info_header, 0},
        {53, bitmap_piece::info_header, 0},
        {54, bitmap_piece::pixel_data, 0},
        {55, bitmap_piece::pixel_data, 0},
        {54 + twelve_rows - 1, bitmap_piece::pixel_data, 0},
        {54 + twelve_rows, bitmap_piece::pixel_data, 1},
        {34613, bitmap_piece::pixel_data, 9},
        {34614, std::nullopt, 10},
        {40000, std::nullopt, 10},
    };
    check_budgets(write_face_bitmap24, cases, write24(test_palette(), varied_cell()));
}

} // namespace
