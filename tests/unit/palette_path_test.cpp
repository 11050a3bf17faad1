#include "palette_path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct palette_path_case {
    const char* what;
    std::string archive_path;
    std::string base_name;
    std::string palette_path;
};

TEST(PalettePathFor, LiesBesideTheArchiveWithItsExtension) {
    const std::vector<palette_path_case> cases = {
        {"mugcut default", "SAN7\\kaodata.s7", "p_kao", "SAN7\\p_kao.s7"},
        {"mugcut24 default", "SAN6\\kaodata.s6", "palette", "SAN6\\palette.s6"},
        {"drive and folders", "D:\\games\\kaodata.s7", "p_kao", "D:\\games\\p_kao.s7"},
        {"drive without a folder", "C:kaodata.s7", "p_kao", "C:p_kao.s7"},
        {"drive only", "C:", "p_kao", "C:p_kao"},
        {"no folder", "kaodata.s7", "p_kao", "p_kao.s7"},
        {"no dot", "dir\\kaodata", "p_kao", "dir\\p_kao"},
        {"dot only in a folder name", "my.dir\\kaodata", "p_kao", "my.dir\\p_kao"},
        {"extension keeps its case", "SAN7\\KAODATA.S7", "p_kao", "SAN7\\p_kao.S7"},
        {"last dot of the name", "dir\\x.tar.s7", "p_kao", "dir\\p_kao.s7"},
        {"name is only a dot", "dir\\kaodata.", "p_kao", "dir\\p_kao."},
        {"name is only an extension", "dir\\.s7", "p_kao", "dir\\p_kao.s7"},
        {"path ends in a separator", "SAN7\\", "p_kao", "SAN7\\p_kao"},
        {"forward slashes", "a/b/kaodata.s7", "p_kao", "a/b/p_kao.s7"},
        {"mixed separators", "a\\b/c\\kaodata.s7", "p_kao", "a\\b/c\\p_kao.s7"},
        {"slash last", "a\\b/kaodata.s7", "p_kao", "a\\b/p_kao.s7"},
        {"root folder", "\\kaodata.s7", "p_kao", "\\p_kao.s7"},
        {"network share", "\\\\server\\share\\kaodata.s7", "p_kao", "\\\\server\\share\\p_kao.s7"},
        {"empty path", "", "p_kao", "p_kao"},
        // ソ (83 5C) and 表 (95 5C) end in the byte of a backslash.
        {"folder name ending in 5C", "\x83\x5c\\kaodata.s7", "p_kao", "\x83\x5c\\p_kao.s7"},
        {"5C of a character is no separator", "\x83\x5ckaodata.s7", "p_kao", "p_kao.s7"},
        {"5C before the dot", "\x95\x5c.s7", "p_kao", "p_kao.s7"},
        {"5C of a character in a folder", "dir\\\x95\x5c.s7", "p_kao", "dir\\p_kao.s7"},
        {"5C of a character in the extension", "dir\\kaodata.\x83\x5c", "p_kao",
         "dir\\p_kao.\x83\x5c"},
        {"drive then a character ending in 5C", "C:\x83\x5ckaodata.s7", "p_kao", "C:p_kao.s7"},
        {"drive then a folder ending in 5C", "C:\x83\x5c\\kaodata.s7", "p_kao",
         "C:\x83\x5c\\p_kao.s7"},
        // 83 83 is one character, so the 5C after it stands alone.
        {"5C after a whole character", "\x83\x83\\kaodata.s7", "p_kao", "\x83\x83\\p_kao.s7"},
        // A slash is never the second byte of a character.
        {"slash after a lead byte", "\x83/kaodata.s7", "p_kao", "\x83/p_kao.s7"},
        {"lead byte at the end", "dir\\kaodata\x83", "p_kao", "dir\\p_kao"},
        // Half-width katakana are single bytes: the 5C after them is a separator.
        {"half-width katakana", "\xb1\\kaodata.s7", "p_kao", "\xb1\\p_kao.s7"},
    };
    for (const palette_path_case& c : cases) {
        EXPECT_EQ(palette_path_for(c.archive_path, c.base_name), c.palette_path) << c.what;
    }
}

struct split_case {
    std::string path;
    path_pieces pieces;
};

TEST(SplitPath, GivesDriveDirectoryNameAndExtension) {
    const std::vector<split_case> cases = {
        {"D:\\games\\kaodata.s7", {"D:", "\\games\\", "kaodata", ".s7"}},
        {"C:kaodata.s7", {"C:", "", "kaodata", ".s7"}},
        {"my.dir\\x.tar.s7", {"", "my.dir\\", "x.tar", ".s7"}},
        {"a/b\\kaodata", {"", "a/b\\", "kaodata", ""}},
        {"\x83\x5ckaodata.s7", {"", "", "\x83\x5ckaodata", ".s7"}},
        {"C:\x83\x5c\\\x95\x5c.\x83\x5c", {"C:", "\x83\x5c\\", "\x95\x5c", ".\x83\x5c"}},
        {"", {"", "", "", ""}},
    };
    for (const split_case& c : cases) {
        const path_pieces pieces = split_path(c.path);
        EXPECT_EQ(pieces.drive, c.pieces.drive) << c.path;
        EXPECT_EQ(pieces.directory, c.pieces.directory) << c.path;
        EXPECT_EQ(pieces.name, c.pieces.name) << c.path;
        EXPECT_EQ(pieces.extension, c.pieces.extension) << c.path;
        EXPECT_EQ(pieces.drive + pieces.directory + pieces.name + pieces.extension, c.path);
    }
}

} // namespace
