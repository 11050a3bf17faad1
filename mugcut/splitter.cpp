#include "splitter.h"

#include "face_archive.h"
#include "file_io.h"
#include "palette_path.h"
#include "path_answer.h"
#include "text_format.h"

#include <cstdio>
#include <string>

namespace {

// The bitmap being written, for the clean-up of a failure: a half-written
// bitmap is removed; complete bitmaps of earlier faces stay.
std::FILE* bitmap_stream = nullptr;
std::string bitmap_path;

void delete_partial_bitmap() {
    discard_written_file(bitmap_stream, bitmap_path);
}

const char* piece_message(bitmap_piece piece) {
    switch (piece) {
    case bitmap_piece::file_header:
        return "\nError:BMPファイル %s BMPヘッダ書き込み失敗\n";
    case bitmap_piece::info_header:
        return "\nError:BMPファイル %s BMP情報書き込み失敗\n";
    case bitmap_piece::colour_table:
        return "\nError:BMPファイル %s BMPパレット書き込み失敗\n";
    case bitmap_piece::pixel_data:
        break;
    }
    return "\nError:BMPファイル %s ビットマップデータ書き込み失敗\n";
}

[[noreturn]] void fail_bitmap(bitmap_piece piece) {
    fail(2, format_text(piece_message(piece), bitmap_path.c_str()), delete_partial_bitmap);
}

face_palette load_palette(const splitter_settings& settings, const std::string& archive_path) {
    const std::string palette_path = palette_path_for(archive_path, settings.palette_base_name);
    std::FILE* stream = open_for_reading(palette_path);
    if (stream == nullptr) {
        fail(1, format_text("Error:%s ファイルがありません\n", palette_path.c_str()));
    }
    const std::optional<face_palette> palette = load_face_palette(stream);
    if (!palette) {
        fail(1, settings.palette_message);
    }
    close_file(stream);
    return *palette;
}

void write_face(const splitter_settings& settings, const std::string& folder,
                const face_palette& palette, const face_cell& cell, std::int32_t face_number) {
    bitmap_path = format_text("%s\\kao%03d.bmp", folder.c_str(), face_number);
    bitmap_stream = create_for_writing(bitmap_path);
    if (bitmap_stream == nullptr) {
        fail(2, format_text("Error:BMPファイル %s を作成できません\n", bitmap_path.c_str()));
    }
    progress_begin(bitmap_path);
    const std::optional<bitmap_piece> failed =
        settings.depth == bitmap_depth::indexed8
            ? write_face_bitmap8(bitmap_stream, palette, cell, progress_mark)
            : write_face_bitmap24(bitmap_stream, palette, cell, progress_mark);
    if (failed) {
        fail_bitmap(*failed);
    }
    // The close writes the bitmap's last rows; a bitmap cut short there is
    // reported like any other lost pixel data.
    std::FILE* finished = bitmap_stream;
    bitmap_stream = nullptr;
    if (!close_file(finished)) {
        fail_bitmap(bitmap_piece::pixel_data);
    }
    progress_finish();
}

} // namespace

int run_splitter(const splitter_settings& settings) {
    start_dialogue(*settings.dialogue);
    print_text(format_text("%s\n", settings.title_line));
    print_text(format_text("顔グラファイル名( %s )>", settings.default_archive_path));
    const std::string archive_path = prompt_path(settings.default_archive_path);
    print_text(format_text("InputFilePath = %s\n", archive_path.c_str()));
    std::FILE* archive = open_for_reading(archive_path);
    if (archive == nullptr) {
        fail(1, format_text("Error:%s ファイルがありません\n", archive_path.c_str()));
    }
    const face_palette palette = load_palette(settings, archive_path);

    print_text(format_text("出力フォルダ( %s )>", settings.default_output_folder));
    const std::string folder = prompt_path(settings.default_output_folder);
    print_text(format_text("OutputFilePath = %s\n", folder.c_str()));
    // Only the last level is made; a folder that cannot be made shows when
    // the first bitmap cannot be created in it.
    create_directory(folder);

    const std::optional<std::int32_t> face_count = read_face_count(archive);
    if (!face_count) {
        fail(1, settings.face_count_message);
    }
    print_text(format_text("顔グラNo = 0 ～ %lld\n", static_cast<long long>(*face_count) - 1));
    face_cell cell{};
    for (std::int32_t n = 0; n < *face_count; ++n) {
        if (!read_face_cell(archive, *face_count, n, cell)) {
            fail(1, format_text("Error:顔No.%03dのビットマップデータを正しく読めません\n", n));
        }
        write_face(settings, folder, palette, cell, n);
    }
    print_text("\n");
    close_file(archive);

    const std::string page_path = write_index_page(folder, *face_count, settings.page);
    print_text(format_text("%s ok\n", page_path.c_str()));
    print_text("完了.\n");
    pause_with_message();
    return 0;
}
