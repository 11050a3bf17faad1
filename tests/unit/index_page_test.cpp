#include "caption_table.h"
#include "index_page.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string read_whole_file(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Each test gets an empty folder of its own, removed afterwards.
class IndexPage : public ::testing::Test {
  protected:
    void SetUp() override {
        static int serial = 0;
        folder_ = fs::temp_directory_path() /
                  ("index_page_test_" + std::to_string(getpid()) + "_" + std::to_string(++serial));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    std::string folder() const {
        return folder_.string();
    }

    // Writes the page into the test folder and returns its bytes.
    std::string page(std::int32_t face_count,
                     page_variant variant = page_variant::captioned) const {
        write_index_page(folder(), face_count, variant);
        return read_whole_file(folder_ / file_name(variant));
    }

    static const char* file_name(page_variant variant) {
        return variant == page_variant::captioned ? "kao_bmp.html" : "kao_s6bmp.html";
    }

    fs::path folder_;
};

const std::string head_before_title =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\r\n"
    "<html lang=\"ja\">\r\n"
    "<head>\r\n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=shift_jis\">\r\n"
    "<meta http-equiv=\"Content-Style-Type\" content=\"text/css\">\r\n";
const std::string head_after_title = "<style type=\"text/css\">\r\n"
                                     "<!--\r\n"
                                     "td {text-align:center; padding:0px 0px 5px 0px;}\r\n"
                                     "-->\r\n"
                                     "</style></head>\r\n"
                                     "<body>\r\n"
                                     "<table border=1>\r\n";
const std::string page_end = "</tr></table>\r\n</body>\r\n</html>\r\n";

std::string captioned_title(const std::string& count) {
    return "<title>三国志７ 顔グラ一覧(" + count + ")</title>";
}

std::string uncaptioned_title(const std::string& count) {
    return "<title>三国志6 顔グラ一覧(" + count + ")</title>";
}

// The lines of a page without their CR LF. Fails the test when a line end is
// anything but CR LF or the page does not end with one.
std::vector<std::string> lines_of(const std::string& page) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] == '\r') {
            EXPECT_TRUE(i + 1 < page.size() && page[i + 1] == '\n') << "bare CR at " << i;
        } else if (page[i] == '\n') {
            EXPECT_TRUE(i > 0 && page[i - 1] == '\r') << "bare LF at " << i;
            lines.push_back(page.substr(start, i - 1 - start));
            start = i + 1;
        }
    }
    EXPECT_EQ(start, page.size()) << "bytes after the last line end";
    return lines;
}

// The cells of a table row line, each from "<td>" to "</td>".
std::vector<std::string> cells_of(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = line.find("<td>");
    while (start != std::string::npos) {
        const std::size_t end = line.find("</td>", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "unclosed cell in " << line;
            break;
        }
        cells.push_back(line.substr(start, end + 5 - start));
        start = line.find("<td>", end);
    }
    return cells;
}

std::string three_digits(int n) {
    std::string digits = std::to_string(n);
    return std::string(digits.size() < 3 ? 3 - digits.size() : 0, '0') + digits;
}

std::string uncaptioned_cell(int n) {
    return "<td><img src=\"kao" + three_digits(n) +
           ".bmp\" width=\"96\" height=\"120\" alt=\"顔グラNo." + std::to_string(n) +
           "\"><br>顔No." + std::to_string(n) + "</td>";
}

std::string captioned_cell(int n, const std::string& caption) {
    std::string cell = uncaptioned_cell(n);
    cell.insert(cell.size() - 5, "<br>" + caption);
    return cell;
}

std::string captioned_cells(int first, int last) {
    std::string cells;
    for (int n = first; n <= last; ++n) {
        cells += captioned_cell(n, caption_table[n]);
    }
    return cells;
}

TEST_F(IndexPage, CaptionedPageOfTwelveFaces) {
    const std::string expected =
        head_before_title + "<title>三国志７ 顔グラ一覧(12)</title>\r\n" + head_after_title +
        "<tr>"
        R"(<td><img src="kao000.bmp" width="96" height="120" alt="顔グラNo.0"><br>顔No.0<br>)" +
        caption_table[0] +
        "</td>"
        R"(<td><img src="kao001.bmp" width="96" height="120" alt="顔グラNo.1"><br>顔No.1<br>)" +
        caption_table[1] +
        "</td>"
        R"(<td><img src="kao002.bmp" width="96" height="120" alt="顔グラNo.2"><br>顔No.2<br>)" +
        caption_table[2] +
        "</td>"
        R"(<td><img src="kao003.bmp" width="96" height="120" alt="顔グラNo.3"><br>顔No.3<br>)" +
        caption_table[3] +
        "</td>"
        R"(<td><img src="kao004.bmp" width="96" height="120" alt="顔グラNo.4"><br>顔No.4<br>)" +
        caption_table[4] +
        "</td>"
        R"(<td><img src="kao005.bmp" width="96" height="120" alt="顔グラNo.5"><br>顔No.5<br>)" +
        caption_table[5] +
        "</td>"
        R"(<td><img src="kao006.bmp" width="96" height="120" alt="顔グラNo.6"><br>顔No.6<br>)" +
        caption_table[6] +
        "</td>"
        R"(<td><img src="kao007.bmp" width="96" height="120" alt="顔グラNo.7"><br>顔No.7<br>)" +
        caption_table[7] +
        "</td>"
        R"(<td><img src="kao008.bmp" width="96" height="120" alt="顔グラNo.8"><br>顔No.8<br>)" +
        caption_table[8] +
        "</td>"
        R"(<td><img src="kao009.bmp" width="96" height="120" alt="顔グラNo.9"><br>顔No.9<br>)" +
        caption_table[9] +
        "</td>"
        "</tr>\r\n"
        "<tr>"
        R"(<td><img src="kao010.bmp" width="96" height="120" alt="顔グラNo.10"><br>顔No.10<br>)" +
        caption_table[10] +
        "</td>"
        R"(<td><img src="kao011.bmp" width="96" height="120" alt="顔グラNo.11"><br>顔No.11<br>)" +
        caption_table[11] + "</td>" + page_end;
    const std::string path = write_index_page(folder(), 12, page_variant::captioned);
    EXPECT_EQ(path, folder() + "\\kao_bmp.html");
    EXPECT_EQ(read_whole_file(folder_ / "kao_bmp.html"), expected);
}

TEST_F(IndexPage, UncaptionedPageOfTwelveFaces) {
    const std::string expected =
        head_before_title + "<title>三国志6 顔グラ一覧(12)</title>\r\n" + head_after_title +
        "<tr>"
        R"(<td><img src="kao000.bmp" width="96" height="120" alt="顔グラNo.0"><br>顔No.0</td>)"
        R"(<td><img src="kao001.bmp" width="96" height="120" alt="顔グラNo.1"><br>顔No.1</td>)"
        R"(<td><img src="kao002.bmp" width="96" height="120" alt="顔グラNo.2"><br>顔No.2</td>)"
        R"(<td><img src="kao003.bmp" width="96" height="120" alt="顔グラNo.3"><br>顔No.3</td>)"
        R"(<td><img src="kao004.bmp" width="96" height="120" alt="顔グラNo.4"><br>顔No.4</td>)"
        R"(<td><img src="kao005.bmp" width="96" height="120" alt="顔グラNo.5"><br>顔No.5</td>)"
        R"(<td><img src="kao006.bmp" width="96" height="120" alt="顔グラNo.6"><br>顔No.6</td>)"
        R"(<td><img src="kao007.bmp" width="96" height="120" alt="顔グラNo.7"><br>顔No.7</td>)"
        R"(<td><img src="kao008.bmp" width="96" height="120" alt="顔グラNo.8"><br>顔No.8</td>)"
        R"(<td><img src="kao009.bmp" width="96" height="120" alt="顔グラNo.9"><br>顔No.9</td>)"
        "</tr>\r\n"
        "<tr>"
        R"(<td><img src="kao010.bmp" width="96" height="120" alt="顔グラNo.10"><br>顔No.10</td>)"
        R"(<td><img src="kao011.bmp" width="96" height="120" alt="顔グラNo.11"><br>顔No.11</td>)" +
        page_end;
    const std::string path = write_index_page(folder(), 12, page_variant::uncaptioned);
    EXPECT_EQ(path, folder() + "\\kao_s6bmp.html");
    EXPECT_EQ(read_whole_file(folder_ / "kao_s6bmp.html"), expected);
    EXPECT_FALSE(fs::exists(folder_ / "kao_bmp.html"));
}

TEST_F(IndexPage, FullArchiveOf678Faces) {
    const std::vector<std::string> lines = lines_of(page(678));
    ASSERT_EQ(lines.size(), 83u);

    const std::vector<std::string> head = {
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">",
        "<html lang=\"ja\">",
        "<head>",
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=shift_jis\">",
        "<meta http-equiv=\"Content-Style-Type\" content=\"text/css\">",
        "<title>三国志７ 顔グラ一覧(678)</title>",
        "<style type=\"text/css\">",
        "<!--",
        "td {text-align:center; padding:0px 0px 5px 0px;}",
        "-->",
        "</style></head>",
        "<body>",
        "<table border=1>",
    };
    for (std::size_t i = 0; i < head.size(); ++i) {
        EXPECT_EQ(lines[i], head[i]) << "line " << i;
    }
    // The title's full-width seven and the rest of 三国志７, as CP932 bytes.
    EXPECT_EQ(lines[5].substr(7, 8), "\x8E\x4F\x8D\x91\x8E\x75\x82\x56");

    // 68 rows: 67 of ten cells, then faces 670 to 677.
    for (std::size_t row = 0; row < 68; ++row) {
        const std::string& line = lines[13 + row];
        EXPECT_EQ(line.substr(0, 4), "<tr>") << "row " << row;
        const std::vector<std::string> cells = cells_of(line);
        const std::size_t expected_cells = row < 67 ? 10 : 8;
        ASSERT_EQ(cells.size(), expected_cells) << "row " << row;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const std::string src = "src=\"kao" + three_digits(static_cast<int>(row * 10 + i));
            EXPECT_EQ(cells[i].find(src), 9u) << "row " << row << " cell " << i;
        }
        const std::string row_end = row < 67 ? "</td></tr>" : "</td></tr></table>";
        EXPECT_EQ(line.substr(line.size() - row_end.size()), row_end) << "row " << row;
    }
    EXPECT_EQ(lines[81], "</body>");
    EXPECT_EQ(lines[82], "</html>");

    EXPECT_EQ(cells_of(lines[13])[7],
              std::string(R"(<td><img src="kao007.bmp" width="96" height="120" )"
                          R"(alt="顔グラNo.7"><br>顔No.7<br>)") +
                  caption_table[7] + "</td>");
    EXPECT_EQ(cells_of(lines[80])[7], R"(<td><img src="kao677.bmp" width="96" height="120" )"
                                      R"(alt="顔グラNo.677"><br>顔No.677<br>新武将38</td>)");
}

struct layout_case {
    std::int32_t face_count;
    std::string title;
    std::vector<std::string> table_lines; // from the first row to the end
};

TEST_F(IndexPage, OpensANewRowAfterEveryTenthFace) {
    const std::vector<layout_case> cases = {
        {0, captioned_title("0"), {"<tr></tr></table>", "</body>", "</html>"}},
        {-5, captioned_title("-5"), {"<tr></tr></table>", "</body>", "</html>"}},
        {1,
         captioned_title("1"),
         {"<tr>" + captioned_cells(0, 0) + "</tr></table>", "</body>", "</html>"}},
        {9,
         captioned_title("9"),
         {"<tr>" + captioned_cells(0, 8) + "</tr></table>", "</body>", "</html>"}},
        {10,
         captioned_title("10"),
         {"<tr>" + captioned_cells(0, 9) + "</tr>", "<tr></tr></table>", "</body>", "</html>"}},
        {11,
         captioned_title("11"),
         {"<tr>" + captioned_cells(0, 9) + "</tr>",
          "<tr>" + captioned_cells(10, 10) + "</tr></table>", "</body>", "</html>"}},
        {20,
         captioned_title("20"),
         {"<tr>" + captioned_cells(0, 9) + "</tr>", "<tr>" + captioned_cells(10, 19) + "</tr>",
          "<tr></tr></table>", "</body>", "</html>"}},
    };
    for (const layout_case& c : cases) {
        const std::vector<std::string> lines = lines_of(page(c.face_count));
        ASSERT_EQ(lines.size(), 13 + c.table_lines.size()) << "face count " << c.face_count;
        EXPECT_EQ(lines[5], c.title) << "face count " << c.face_count;
        EXPECT_EQ(lines[12], "<table border=1>") << "face count " << c.face_count;
        const std::vector<std::string> table_lines(lines.begin() + 13, lines.end());
        EXPECT_EQ(table_lines, c.table_lines) << "face count " << c.face_count;
    }
}

TEST_F(IndexPage, FacesBeyondTheCaptionTableHaveAnEmptyCaption) {
    const std::vector<std::string> lines = lines_of(page(680));
    ASSERT_EQ(lines.size(), 84u);
    EXPECT_EQ(lines[5], captioned_title("680"));
    EXPECT_EQ(lines[80], "<tr>" + captioned_cells(670, 677) + captioned_cell(678, "") +
                             captioned_cell(679, "") + "</tr>");
    EXPECT_EQ(lines[81], "<tr></tr></table>");
    EXPECT_NE(lines[80].find(R"(alt="顔グラNo.679"><br>顔No.679<br></td></tr>)"),
              std::string::npos);
}

TEST_F(IndexPage, UncaptionedCellsEndWithTheFaceNumber) {
    const std::vector<std::string> lines = lines_of(page(648, page_variant::uncaptioned));
    ASSERT_EQ(lines.size(), 13u + 65u + 2u);
    EXPECT_EQ(lines[5], uncaptioned_title("648"));
    const std::vector<std::string> last_row = cells_of(lines[13 + 64]);
    ASSERT_EQ(last_row.size(), 8u);
    EXPECT_EQ(last_row.back(), uncaptioned_cell(647));
    EXPECT_EQ(last_row.back(), R"(<td><img src="kao647.bmp" width="96" height="120" )"
                               R"(alt="顔グラNo.647"><br>顔No.647</td>)");
}

TEST_F(IndexPage, ReplacesAnEarlierPage) {
    const std::string fresh = page(3);
    {
        std::ofstream old(folder_ / "kao_bmp.html", std::ios::binary | std::ios::trunc);
        old << std::string(100000, 'x');
    }
    EXPECT_EQ(page(3), fresh);
    page(678);
    EXPECT_EQ(page(3), fresh);
}

TEST_F(IndexPage, BackslashesInTheFolderPathAreSeparators) {
    fs::create_directory(folder_ / "out");
    const std::string path = write_index_page(folder() + "\\out", 2, page_variant::captioned);
    EXPECT_EQ(path, folder() + "\\out\\kao_bmp.html");
    const std::string bytes = read_whole_file(folder_ / "out" / "kao_bmp.html");
    EXPECT_EQ(bytes.substr(0, head_before_title.size()), head_before_title);
    EXPECT_EQ(bytes.substr(bytes.size() - page_end.size()), page_end);
}

} // namespace
