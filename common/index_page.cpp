#include "index_page.h"

#include "caption_table.h"
#include "dialogue.h"
#include "file_io.h"
#include "text_format.h"

#include <cstdio>

namespace {

const char page_head[] = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n"
                         "<html lang=\"ja\">\n<head>\n"
                         "<meta http-equiv=\"Content-Type\" content=\"text/html; "
                         "charset=shift_jis\">\n"
                         "<meta http-equiv=\"Content-Style-Type\" content=\"text/css\">\n";
const char page_style[] = "<style type=\"text/css\">\n<!--\n"
                          "td {text-align:center; padding:0px 0px 5px 0px;}\n"
                          "-->\n</style></head>\n<body>\n"
                          "<table border=1>\n<tr>";
const char row_break[] = "</tr>\n<tr>";
const char page_end[] = "</tr></table>\n</body>\n</html>\n";
constexpr int faces_per_row = 10;

// The page being written, for the clean-up of a failure: a page that lost
// bytes on the way is no page, so it is reported and removed rather than left
// looking complete.
std::FILE* page_stream = nullptr;
std::string page_path;
std::string page_failure_message;

void delete_incomplete_page() {
    discard_written_file(page_stream, page_path);
}

[[noreturn]] void fail_page() {
    fail(2, page_failure_message, delete_incomplete_page);
}

// The page is written to disk the same on every platform: each line end is
// CR LF.
void write_page_text(const std::string& text) {
    std::string bytes;
    bytes.reserve(text.size() + 16);
    for (const char c : text) {
        if (c == '\n') {
            bytes.push_back('\r');
        }
        bytes.push_back(c);
    }
    if (!write_bytes(page_stream, bytes.data(), bytes.size())) {
        fail_page();
    }
}

std::string title_line(std::int32_t face_count, page_variant variant) {
    if (variant == page_variant::captioned) {
        return format_text("<title>三国志７ 顔グラ一覧(%d)</title>\n", face_count);
    }
    return format_text("<title>三国志6 顔グラ一覧(%d)</title>\n", face_count);
}

// Faces beyond the caption table have an empty caption.
const char* caption_of(std::int32_t face_number) {
    return face_number < caption_count ? caption_table[face_number] : "";
}

std::string face_cell_text(std::int32_t n, page_variant variant) {
    if (variant == page_variant::captioned) {
        return format_text("<td><img src=\"kao%03d.bmp\" width=\"96\" height=\"120\" "
                           "alt=\"顔グラNo.%d\"><br>顔No.%d<br>%s</td>",
                           n, n, n, caption_of(n));
    }
    return format_text("<td><img src=\"kao%03d.bmp\" width=\"96\" height=\"120\" "
                       "alt=\"顔グラNo.%d\"><br>顔No.%d</td>",
                       n, n, n);
}

std::string page_path_of(const std::string& folder_path, page_variant variant) {
    const char* name = variant == page_variant::captioned ? "kao_bmp.html" : "kao_s6bmp.html";
    return format_text("%s\\%s", folder_path.c_str(), name);
}

} // namespace

std::string write_index_page(const std::string& folder_path, std::int32_t face_count,
                             page_variant variant) {
    page_path = page_path_of(folder_path, variant);
    page_failure_message =
        format_text("Error:顔グラ一覧HTML %s を作成できません\n", page_path.c_str());
    page_stream = create_for_writing(page_path);
    if (page_stream == nullptr) {
        fail(2, page_failure_message);
    }
    write_page_text(page_head);
    write_page_text(title_line(face_count, variant));
    write_page_text(page_style);
    for (std::int32_t n = 0; n < face_count; ++n) {
        write_page_text(face_cell_text(n, variant));
        if ((n + 1) % faces_per_row == 0) {
            write_page_text(row_break);
        }
    }
    write_page_text(page_end);
    // The close writes the page's last bytes.
    std::FILE* finished = page_stream;
    page_stream = nullptr;
    if (!close_file(finished)) {
        fail_page();
    }
    return page_path;
}
