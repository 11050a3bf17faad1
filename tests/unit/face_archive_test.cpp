#include "face_archive.h"

#include "temporary_streams.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// A cell that differs from face to face and from row to row.
face_cell cell_of_face(std::int32_t face_number) {
    face_cell cell{};
    for (std::size_t row = 0; row < face_height; ++row) {
        for (std::size_t column = 0; column < face_width; ++column) {
            cell[row][column] = static_cast<std::uint8_t>(
                (static_cast<std::size_t>(face_number) * 31 + row * 5 + column) % 251);
        }
    }
    return cell;
}

std::string bytes_of(const face_cell& cell) {
    std::string bytes;
    for (const face_row& row : cell) {
        bytes.append(reinterpret_cast<const char*>(row.data()), row.size());
    }
    return bytes;
}

face_cell cell_from_bytes(const std::string& bytes) {
    face_cell cell{};
    for (std::size_t row = 0; row < face_height; ++row) {
        for (std::size_t column = 0; column < face_width; ++column) {
            cell[row][column] = static_cast<std::uint8_t>(bytes.at(row * face_width + column));
        }
    }
    return cell;
}

std::string le32(std::uint32_t value) {
    std::string bytes(4, '\0');
    store_le32(reinterpret_cast<std::uint8_t*>(bytes.data()), value);
    return bytes;
}

// The count, the index and the cells of faces 0 .. cells_written - 1, as the
// packer writes them.
void write_archive(std::FILE* stream, std::int32_t face_count, std::int32_t cells_written) {
    ASSERT_TRUE(write_face_count(stream, face_count));
    ASSERT_TRUE(write_face_index(stream, face_count));
    for (std::int32_t n = 0; n < cells_written; ++n) {
        ASSERT_TRUE(write_face_cell(stream, cell_of_face(n), nullptr));
    }
}

std::string archive_bytes(std::int32_t face_count, std::int32_t cells_written) {
    std::FILE* stream = std::tmpfile();
    write_archive(stream, face_count, cells_written);
    std::string bytes = contents_of(stream);
    std::fclose(stream);
    return bytes;
}

// The progress hook is a plain function: it reports where the stream stood.
std::FILE* watched_stream = nullptr;
std::vector<long> hook_positions;

void record_position() {
    hook_positions.push_back(std::ftell(watched_stream));
}

void start_watching(std::FILE* stream) {
    watched_stream = stream;
    hook_positions.clear();
}

struct layout_case {
    std::int32_t face_count;
    std::string count_bytes;
};

TEST(FaceArchiveWriting, CountAndIndexBytes) {
    const std::vector<layout_case> cases = {
        {678, std::string("\xa6\x02\x00\x00", 4)},
        {648, std::string("\x88\x02\x00\x00", 4)},
    };
    const std::string first_entry(
        "\x00\x00\x00\x00\x00\x2d\x00\x00\x60\x00\x00\x00\x78\x00\x00\x00", 16);
    for (const layout_case& c : cases) {
        std::FILE* stream = std::tmpfile();
        ASSERT_TRUE(write_face_count(stream, c.face_count));
        ASSERT_TRUE(write_face_index(stream, c.face_count));
        const std::string bytes = contents_of(stream);
        std::fclose(stream);

        ASSERT_EQ(bytes.size(), 4u + 16u * static_cast<std::size_t>(c.face_count)) << c.face_count;
        EXPECT_EQ(bytes.substr(0, 4), c.count_bytes) << c.face_count;
        EXPECT_EQ(bytes.substr(4, 16), first_entry) << c.face_count;
        EXPECT_EQ(bytes.substr(20, 4), std::string("\x00\x2d\x00\x00", 4)) << c.face_count;
        EXPECT_EQ(bytes.substr(24, 12), first_entry.substr(4)) << c.face_count;
        // Only the offset differs from entry to entry.
        const std::size_t last = 4 + 16 * static_cast<std::size_t>(c.face_count - 1);
        EXPECT_EQ(bytes.substr(last, 4),
                  le32(static_cast<std::uint32_t>(c.face_count - 1) * 11520u))
            << c.face_count;
        EXPECT_EQ(bytes.substr(last + 4), first_entry.substr(4)) << c.face_count;
    }
}

TEST(FaceArchiveWriting, IndexOfNoFacesIsEmpty) {
    std::FILE* stream = std::tmpfile();
    ASSERT_TRUE(write_face_count(stream, 0));
    ASSERT_TRUE(write_face_index(stream, 0));
    EXPECT_EQ(contents_of(stream), std::string(4, '\0'));
    std::fclose(stream);
}

struct full_archive_case {
    std::int32_t face_count;
    long first_cell;
    long last_cell;
    long size;
};

TEST(FaceArchiveWriting, WholeArchivesOfBothEditions) {
    const std::vector<full_archive_case> cases = {
        {678, 10852, 7809892, 7821412},
        {648, 10372, 7463812, 7475332},
    };
    for (const full_archive_case& c : cases) {
        std::FILE* stream = std::tmpfile();
        ASSERT_TRUE(write_face_count(stream, c.face_count));
        ASSERT_TRUE(write_face_index(stream, c.face_count));
        EXPECT_EQ(std::ftell(stream), c.first_cell) << c.face_count;
        for (std::int32_t n = 0; n < c.face_count; ++n) {
            if (n == c.face_count - 1) {
                EXPECT_EQ(std::ftell(stream), c.last_cell) << c.face_count;
            }
            ASSERT_TRUE(write_face_cell(stream, cell_of_face(n), nullptr));
        }
        EXPECT_EQ(std::ftell(stream), c.size) << c.face_count;

        EXPECT_EQ(face_cell_position(c.face_count, 0), c.first_cell);
        EXPECT_EQ(face_cell_position(c.face_count, c.face_count - 1), c.last_cell);
        for (const std::int32_t n : {0, 1, c.face_count - 1}) {
            face_cell cell{};
            ASSERT_TRUE(read_face_cell(stream, c.face_count, n, cell)) << n;
            EXPECT_EQ(cell, cell_of_face(n)) << c.face_count << " face " << n;
        }
        std::fclose(stream);
    }
}

TEST(FaceArchiveWriting, CellRowsTopRowFirstWithTenProgressMarks) {
    std::FILE* stream = std::tmpfile();
    start_watching(stream);
    const face_cell cell = cell_of_face(3);
    ASSERT_TRUE(write_face_cell(stream, cell, record_position));

    std::vector<long> expected;
    for (long row = 12; row <= 120; row += 12) {
        expected.push_back(row * 96);
    }
    EXPECT_EQ(hook_positions, expected);

    const std::string bytes = contents_of(stream);
    std::fclose(stream);
    ASSERT_EQ(bytes.size(), face_cell_size);
    EXPECT_EQ(bytes, bytes_of(cell));
}

TEST(FaceArchiveReading, OneFaceArchiveRoundTrip) {
    std::FILE* stream = std::tmpfile();
    write_archive(stream, 1, 1);
    ASSERT_EQ(std::ftell(stream), 11540);

    face_cell cell{};
    ASSERT_TRUE(read_face_cell(stream, 1, 0, cell));
    EXPECT_EQ(cell, cell_of_face(0));
    // The first row stored in the cell area is the portrait's top row.
    const std::string bytes = contents_of(stream);
    EXPECT_EQ(bytes.substr(20, 96), bytes_of(cell_of_face(0)).substr(0, 96));
    std::fclose(stream);
}

struct position_case {
    std::int32_t face_count;
    std::int32_t face_number;
    std::int64_t position;
};

TEST(FaceCellPosition, CountsFromTheStartOfTheFile) {
    const std::vector<position_case> cases = {
        {0, 0, 4},
        {1, 0, 20},
        {678, 0, 10852},
        {678, 1, 22372},
        {678, 677, 7809892},
        {648, 0, 10372},
        {648, 647, 7463812},
        {679, 0, 10868},
        {679, 677, 7809908},
        // Far beyond 2^31, without overflow.
        {2147483647, 2147483646, 24773371340276},
        {2147483647, 0, 34359738356},
    };
    for (const position_case& c : cases) {
        EXPECT_EQ(face_cell_position(c.face_count, c.face_number), c.position)
            << c.face_count << ", " << c.face_number;
    }
}

struct count_case {
    const char* what;
    std::string bytes;
    std::optional<std::int32_t> count;
};

TEST(ReadFaceCount, TakesTheFirstFourBytes) {
    const std::vector<count_case> cases = {
        {"empty file", "", std::nullopt},
        {"one byte", "\xa6", std::nullopt},
        {"two bytes", std::string("\xa6\x02", 2), std::nullopt},
        {"three bytes", std::string("\xa6\x02\x00", 3), std::nullopt},
        {"PK edition", std::string("\xa6\x02\x00\x00", 4), 678},
        {"normal edition", std::string("\x88\x02\x00\x00", 4), 648},
        {"negative", "\xff\xff\xff\xff", -1},
        {"smallest", std::string("\x00\x00\x00\x80", 4), INT32_MIN},
        {"largest", "\xff\xff\xff\x7f", INT32_MAX},
        {"a fifth byte is not read", std::string("\x01\x00\x00\x00\xff", 5), 1},
    };
    for (const count_case& c : cases) {
        std::FILE* stream = stream_of(c.bytes);
        EXPECT_EQ(read_face_count(stream), c.count) << c.what;
        std::fclose(stream);
    }
}

TEST(FaceArchiveReading, ArchiveEndingInsideACell) {
    std::string bytes = archive_bytes(3, 3);
    bytes.resize(bytes.size() - 1);
    std::FILE* stream = stream_of(bytes);
    face_cell cell{};
    EXPECT_TRUE(read_face_cell(stream, 3, 0, cell));
    EXPECT_EQ(cell, cell_of_face(0));
    EXPECT_TRUE(read_face_cell(stream, 3, 1, cell));
    EXPECT_EQ(cell, cell_of_face(1));
    EXPECT_FALSE(read_face_cell(stream, 3, 2, cell));
    std::fclose(stream);
}

TEST(FaceArchiveReading, PKArchiveEndingInsideItsLastCell) {
    std::string bytes = archive_bytes(678, 678);
    bytes.resize(bytes.size() - 5000);
    std::FILE* stream = stream_of(bytes);
    face_cell cell{};
    EXPECT_TRUE(read_face_cell(stream, 678, 676, cell));
    EXPECT_EQ(cell, cell_of_face(676));
    EXPECT_FALSE(read_face_cell(stream, 678, 677, cell));
    std::fclose(stream);
}

TEST(FaceArchiveReading, CountRaisedByOneShiftsEveryCell) {
    std::string bytes = archive_bytes(678, 678);
    bytes.replace(0, 4, le32(679));
    std::FILE* stream = stream_of(bytes);

    face_cell cell{};
    ASSERT_TRUE(read_face_cell(stream, 679, 0, cell));
    // Sixteen bytes into face 0, and the first sixteen of face 1 at the end.
    const std::string shifted =
        bytes_of(cell_of_face(0)).substr(16) + bytes_of(cell_of_face(1)).substr(0, 16);
    EXPECT_EQ(cell, cell_from_bytes(shifted));

    EXPECT_TRUE(read_face_cell(stream, 679, 676, cell));
    // Its last row comes up short: 80 of 96 bytes.
    EXPECT_FALSE(read_face_cell(stream, 679, 677, cell));
    std::fclose(stream);
}

TEST(FaceArchiveReading, IndexContentsDoNotMatter) {
    std::string bytes = archive_bytes(3, 3);
    // Offsets, sizes and dimensions that point anywhere.
    for (std::size_t i = 4; i < 4 + 3 * 16; ++i) {
        bytes[i] = static_cast<char>(0xA0 + i);
    }
    std::FILE* stream = stream_of(bytes);
    for (std::int32_t n = 0; n < 3; ++n) {
        face_cell cell{};
        ASSERT_TRUE(read_face_cell(stream, 3, n, cell)) << n;
        EXPECT_EQ(cell, cell_of_face(n)) << n;
    }
    std::fclose(stream);
}

TEST(FaceArchiveReading, BytesAfterTheLastCellHaveNoEffect) {
    const std::string bytes = archive_bytes(2, 2) + std::string(20000, '\x5a');
    std::FILE* stream = stream_of(bytes);
    for (std::int32_t n = 0; n < 2; ++n) {
        face_cell cell{};
        ASSERT_TRUE(read_face_cell(stream, 2, n, cell)) << n;
        EXPECT_EQ(cell, cell_of_face(n)) << n;
    }
    std::fclose(stream);
}

struct beyond_end_case {
    const char* what;
    std::string bytes;
    std::int32_t face_count;
    std::int32_t face_number;
};

TEST(FaceArchiveReading, PositionsAtOrBeyondTheEndFail) {
    const std::string two_faces = archive_bytes(2, 2);
    const std::vector<beyond_end_case> cases = {
        {"one face past the last", two_faces, 2, 2},
        {"far past the last", two_faces, 2, 1000},
        {"position beyond 2^31", two_faces, 2147483647, 2147483646},
        {"position beyond 2^32", two_faces, 2, 400000},
        {"archive of no faces", archive_bytes(0, 0), 0, 0},
    };
    for (const beyond_end_case& c : cases) {
        std::FILE* stream = stream_of(c.bytes);
        face_cell cell{};
        EXPECT_FALSE(read_face_cell(stream, c.face_count, c.face_number, cell)) << c.what;
        std::fclose(stream);
    }
}

// A file of the test's own that goes away with the test.
class ReadOnlyStream : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("face_archive_read_only_" + std::to_string(random()) + ".s7");
        std::FILE* created = std::fopen(path_.string().c_str(), "wb");
        ASSERT_NE(created, nullptr);
        std::fclose(created);
        stream_ = std::fopen(path_.string().c_str(), "rb");
        ASSERT_NE(stream_, nullptr);
    }
    void TearDown() override {
        if (stream_ != nullptr) {
            std::fclose(stream_);
        }
        std::filesystem::remove(path_);
    }
    std::filesystem::path path_;
    std::FILE* stream_ = nullptr;
};

TEST_F(ReadOnlyStream, EveryWriterReportsTheFailedWrite) {
    EXPECT_FALSE(write_face_count(stream_, 678));
    EXPECT_FALSE(write_face_index(stream_, 678));
    start_watching(stream_);
    EXPECT_FALSE(write_face_cell(stream_, cell_of_face(0), record_position));
    EXPECT_TRUE(hook_positions.empty());
}

#ifndef _WIN32
TEST(FaceArchiveWriting, FullDeviceFailsAtTheFirstUnbufferedWrite) {
    std::FILE* stream = std::fopen("/dev/full", "wb");
    ASSERT_NE(stream, nullptr);
    std::setvbuf(stream, nullptr, _IONBF, 0);
    EXPECT_FALSE(write_face_count(stream, 678));
    EXPECT_FALSE(write_face_index(stream, 678));
    start_watching(stream);
    EXPECT_FALSE(write_face_cell(stream, cell_of_face(0), record_position));
    EXPECT_TRUE(hook_positions.empty());
    std::fclose(stream);
}
#endif

#ifdef __GLIBC__
// An unbuffered stream that takes a fixed number of bytes and then refuses
// every write, counting the writes tried after it became full.
struct limited_sink {
    std::size_t room;
    std::string taken;
    int refused_writes = 0;
};

ssize_t write_to_sink(void* cookie, const char* bytes, std::size_t count) {
    auto* sink = static_cast<limited_sink*>(cookie);
    if (sink->room == 0) {
        ++sink->refused_writes;
        return 0;
    }
    const std::size_t taken = count < sink->room ? count : sink->room;
    sink->taken.append(bytes, taken);
    sink->room -= taken;
    return static_cast<ssize_t>(taken);
}

std::size_t mark_count = 0;

void count_mark() {
    ++mark_count;
}

std::FILE* open_sink(limited_sink& sink) {
    cookie_io_functions_t functions{};
    functions.write = write_to_sink;
    std::FILE* stream = fopencookie(&sink, "wb", functions);
    std::setvbuf(stream, nullptr, _IONBF, 0);
    return stream;
}

struct cell_sink_case {
    std::size_t room;
    bool written;
    std::size_t marks;
};

TEST(FaceArchiveWriting, CellStopsAtTheFirstShortRow) {
    const std::vector<cell_sink_case> cases = {
        {0, false, 0},        {95, false, 0},           {12 * 96 - 1, false, 0},
        {12 * 96, false, 1},  {23 * 96 + 50, false, 1}, {24 * 96, false, 2},
        {119 * 96, false, 9}, {120 * 96 - 1, false, 9}, {120 * 96, true, 10},
    };
    for (const cell_sink_case& c : cases) {
        limited_sink sink{c.room, {}};
        std::FILE* stream = open_sink(sink);
        ASSERT_NE(stream, nullptr);
        mark_count = 0;
        EXPECT_EQ(write_face_cell(stream, cell_of_face(1), count_mark), c.written)
            << "room " << c.room;
        EXPECT_EQ(mark_count, c.marks) << "room " << c.room;
        const bool filled_exactly = c.room % 96 == 0 && !c.written;
        // No row is tried after the short one.
        EXPECT_EQ(sink.refused_writes, filled_exactly ? 1 : 0) << "room " << c.room;
        EXPECT_EQ(sink.taken, bytes_of(cell_of_face(1)).substr(0, c.room)) << "room " << c.room;
        std::fclose(stream);
    }
}

TEST(FaceArchiveWriting, CountAndIndexStopAtTheFirstShortWrite) {
    limited_sink count_sink{3, {}};
    std::FILE* stream = open_sink(count_sink);
    EXPECT_FALSE(write_face_count(stream, 678));
    std::fclose(stream);

    limited_sink index_sink{16 * 5 + 8, {}};
    stream = open_sink(index_sink);
    EXPECT_FALSE(write_face_index(stream, 678));
    EXPECT_EQ(index_sink.taken.size(), 16u * 5 + 8);
    EXPECT_EQ(index_sink.refused_writes, 0);
    std::fclose(stream);

    limited_sink exact_sink{16 * 5, {}};
    stream = open_sink(exact_sink);
    EXPECT_FALSE(write_face_index(stream, 678));
    EXPECT_EQ(exact_sink.refused_writes, 1);
    std::fclose(stream);

    limited_sink roomy_sink{16 * 5, {}};
    stream = open_sink(roomy_sink);
    EXPECT_TRUE(write_face_index(stream, 5));
    EXPECT_EQ(roomy_sink.refused_writes, 0);
    std::fclose(stream);
}
#endif

} // namespace
