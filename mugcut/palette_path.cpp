#include "palette_path.h"

#include "cp932.h"

namespace {

bool is_separator_at(const std::string& path, std::size_t position) {
    const char byte = path[position];
    return (byte == '\\' || byte == '/') && !is_cp932_second_byte(path, position);
}

} // namespace

path_pieces split_path(const std::string& path) {
    path_pieces pieces;
    std::size_t start = 0;
    if (path.size() >= 2 && path[1] == ':' && !is_cp932_second_byte(path, 1)) {
        pieces.drive = path.substr(0, 2);
        start = 2;
    }
    std::size_t name_start = start;
    for (std::size_t i = start; i < path.size(); ++i) {
        if (is_separator_at(path, i)) {
            name_start = i + 1;
        }
    }
    pieces.directory = path.substr(start, name_start - start);
    std::size_t extension_start = path.size();
    for (std::size_t i = name_start; i < path.size(); ++i) {
        if (path[i] == '.' && !is_cp932_second_byte(path, i)) {
            extension_start = i;
        }
    }
    pieces.name = path.substr(name_start, extension_start - name_start);
    pieces.extension = path.substr(extension_start);
    return pieces;
}

std::string palette_path_for(const std::string& archive_path,
                             const std::string& palette_base_name) {
    const path_pieces pieces = split_path(archive_path);
    return pieces.drive + pieces.directory + palette_base_name + pieces.extension;
}
