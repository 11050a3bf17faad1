// mugpack: packs a folder of 8-bit face bitmaps into a new kaodata.s7.

#include "dialogue.h"
#include "face_archive.h"
#include "face_bitmap_listing.h"
#include "face_bitmap_reader.h"
#include "file_io.h"
#include "path_answer.h"
#include "text_format.h"

#include <cstdio>
#include <string>

namespace {

const char default_folder[] = "KAO_BMP";
const char archive_name[] = "kaodata.s7";

// The archive being written, for the clean-up of a failure: a failed run
// leaves no partial archive behind.
std::FILE* archive_stream = nullptr;
std::string archive_path;

void delete_partial_archive() {
    discard_written_file(archive_stream, archive_path);
}

[[noreturn]] void fail_and_delete_archive(int exit_status, const std::string& message) {
    fail(exit_status, message, delete_partial_archive);
}

void check_edition(std::size_t match_count) {
    if (match_count == static_cast<std::size_t>(pk_face_count)) {
        print_text("[PK版]");
    } else if (match_count == static_cast<std::size_t>(normal_face_count)) {
        print_text("[通常版]");
    } else {
        // More names than a signed count holds cannot occur in one folder
        // listing that fits in memory; the count is shown as the number it is.
        fail(2, format_text("Error:顔グラファイル数が正しくありません(%lld:PK=%d,通常=%d)\n",
                            static_cast<long long>(match_count), pk_face_count, normal_face_count));
    }
}

void pack_face(const std::string& folder, const std::string& name) {
    const std::string bitmap_path = format_text("%s\\%s", folder.c_str(), name.c_str());
    std::FILE* bitmap = open_for_reading(bitmap_path);
    if (bitmap == nullptr) {
        fail_and_delete_archive(
            1, format_text("Error:BMPファイル %s がありません\n", bitmap_path.c_str()));
    }
    progress_begin(bitmap_path);
    face_cell cell{};
    const bitmap_read_result result = read_face_bitmap(bitmap, cell);
    if (result == bitmap_read_result::header_failure) {
        fail_and_delete_archive(
            1, format_text("\nError:BMPファイル %s BMPヘッダ読み込み失敗\n", bitmap_path.c_str()));
    }
    if (result == bitmap_read_result::data_failure) {
        fail_and_delete_archive(
            1, format_text("\nError:BMPファイル %s ビットマップデータ読み込み失敗\n",
                           bitmap_path.c_str()));
    }
    close_file(bitmap);
    if (!write_face_cell(archive_stream, cell, progress_mark)) {
        fail_and_delete_archive(
            1, format_text("\nError:顔グラファイル %s ビットマップデータ書き込み失敗\n",
                           archive_path.c_str()));
    }
    progress_finish();
}

} // namespace

int main() {
    start_dialogue(packer_dialogue);
    print_text("三国志7 顔グラ結合(8bitBMPファイル群 → kaodata.s7)\n");
    print_text(format_text("BMPファイルのフォルダ( %s )>", default_folder));
    const std::string folder = prompt_path(default_folder);
    archive_path = format_text("%s\\%s", folder.c_str(), archive_name);
    print_text(format_text("BMP FilePath = %s\\kao???.bmp\n", folder.c_str()));
    print_text(format_text("kaodata OutputFilePath = %s\n", archive_path.c_str()));

    const face_bitmap_list bitmaps = list_face_bitmaps(folder);
    if (bitmaps.match_count == 0) {
        fail(1, "Error:BMPファイルがありません\n");
    }
    check_edition(bitmaps.match_count);
    const auto face_count = static_cast<std::int32_t>(bitmaps.names.size());
    print_text(
        format_text("BMPファイル数 = %d (顔グラNo = 0 ～ %d)\n", face_count, face_count - 1));

    archive_stream = create_for_writing(archive_path);
    if (archive_stream == nullptr) {
        fail(2, format_text("Error:%sファイルが作成できません\n", archive_path.c_str()));
    }
    if (!write_face_count(archive_stream, face_count)) {
        fail_and_delete_archive(2, format_text("Error:顔グラファイル %s 顔グラ個数書き込み失敗\n",
                                               archive_path.c_str()));
    }
    if (!write_face_index(archive_stream, face_count)) {
        fail_and_delete_archive(2, format_text("Error:顔グラファイル %s 顔グラ情報書き込み失敗\n",
                                               archive_path.c_str()));
    }
    for (const std::string& name : bitmaps.names) {
        pack_face(folder, name);
    }

    // The close writes the archive's last bytes; a failure there would leave
    // a truncated archive that looks complete.
    std::FILE* finished = archive_stream;
    archive_stream = nullptr;
    if (!close_file(finished)) {
        fail_and_delete_archive(
            1, format_text("\nError:顔グラファイル %s ビットマップデータ書き込み失敗\n",
                           archive_path.c_str()));
    }
    print_text("\n完了.\n");
    pause_with_message();
    return 0;
}
