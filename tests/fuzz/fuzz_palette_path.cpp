// Splitting a typed archive path into drive, directory, name and extension,
// and the palette path built from it. The pieces must give the path back, a
// separator, dot or colon must never be the second byte of a double-byte
// character, and the palette path must split into the same pieces around the
// palette's name.

#include "cp932.h"
#include "fuzz_support.h"
#include "palette_path.h"

#include <string>

namespace {

bool is_separator(char byte) {
    return byte == '\\' || byte == '/';
}

// True when the byte at the position is a byte of its own, not the second
// byte of a double-byte character.
bool stands_alone(const std::string& path, std::size_t position) {
    return !is_cp932_second_byte(path, position);
}

void check_pieces(const std::string& path, const path_pieces& pieces) {
    require(pieces.drive + pieces.directory + pieces.name + pieces.extension == path);

    const bool has_drive = path.size() >= 2 && path[1] == ':' && stands_alone(path, 1);
    require(pieces.drive == (has_drive ? path.substr(0, 2) : std::string()));

    const std::size_t directory_start = pieces.drive.size();
    const std::size_t name_start = directory_start + pieces.directory.size();
    const std::size_t extension_start = name_start + pieces.name.size();
    if (!pieces.directory.empty()) {
        require(is_separator(path[name_start - 1]) && stands_alone(path, name_start - 1));
    }
    for (std::size_t i = name_start; i < path.size(); ++i) {
        require(!(is_separator(path[i]) && stands_alone(path, i)));
    }
    if (!pieces.extension.empty()) {
        require(path[extension_start] == '.' && stands_alone(path, extension_start));
    }
    for (std::size_t i = extension_start + 1; i < path.size(); ++i) {
        require(!(path[i] == '.' && stands_alone(path, i)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    const path_pieces pieces = split_path(path);
    check_pieces(path, pieces);

    const std::string palette_name = "kaopal";
    const std::string palette_path = palette_path_for(path, palette_name);
    require(palette_path == pieces.drive + pieces.directory + palette_name + pieces.extension);

    const path_pieces palette_pieces = split_path(palette_path);
    check_pieces(palette_path, palette_pieces);
    require(palette_pieces.drive == pieces.drive);
    require(palette_pieces.directory == pieces.directory);
    require(palette_pieces.name == palette_name);
    require(palette_pieces.extension == pieces.extension);
    return 0;
}
