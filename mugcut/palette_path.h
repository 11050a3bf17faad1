#pragma once
// Where the palette file lies: beside the face archive, with the archive's
// extension and the game's palette name.

#include <string>

// The pieces of a program path. Joined in this order they give the path back.
struct path_pieces {
    std::string drive;     // "C:" when the second byte is a colon, else empty
    std::string directory; // up to and including the last \ or /
    std::string name;      // the file name without its extension
    std::string extension; // from the last dot of the file name, dot included
};

// Splits a CP932 path. The second byte of a double-byte character is never
// taken for a separator, a dot or a colon.
path_pieces split_path(const std::string& path);

// The archive's drive, directory and extension around the palette's base name.
std::string palette_path_for(const std::string& archive_path, const std::string& palette_base_name);
