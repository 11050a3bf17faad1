#include "face_bitmap_listing.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

struct name_case {
    std::string name;
    bool matches;
};

TEST(IsFaceBitmapName, KaoThenUpToThreeCharactersThenBmp) {
    const std::vector<name_case> cases = {
        {"kao.bmp", true},
        {"kao7.bmp", true},
        {"kao12.bmp", true},
        {"kao677.bmp", true},
        {"kao999.bmp", true},
        {"KAO001.BMP", true},
        {"Kao001.Bmp", true},
        {"kAO001.bMP", true},
        {"kaoabc.bmp", true},
        {"kao 1.bmp", true},
        {"kao_.bmp", true},
        {"kao0001.bmp", false},
        {"kao001.bmp.bak", false},
        {"kao001.bmpx", false},
        {"kao.bmp.bmp", false},
        {"kao.1.bmp", false},
        {"kao1..bmp", false},
        {"kao...bmp", false},
        {"ka001.bmp", false},
        {"xkao001.bmp", false},
        {"kao001bmp", false},
        {"kao001.bm", false},
        {"kao1.bm", false},
        {"kao001.dib", false},
        {"kao", false},
        {"kaobmp", false},
        {".bmp", false},
        {"", false},
    };
    for (const name_case& c : cases) {
        EXPECT_EQ(is_face_bitmap_name(c.name), c.matches) << c.name;
    }
}

#ifndef _WIN32
// POSIX file names are UTF-8: a character of several bytes counts once.
TEST(IsFaceBitmapName, CountsUtf8CharactersNotBytes) {
    const std::string face = "\xe9\xa1\x94"; // U+9854
    const std::vector<name_case> cases = {
        {"kao" + face + ".bmp", true},     {"kao" + face + face + face + ".bmp", true},
        {"kao1" + face + "2.bmp", true},   {"kao" + face + face + face + face + ".bmp", false},
        {"kao12" + face + "3.bmp", false},
    };
    for (const name_case& c : cases) {
        EXPECT_EQ(is_face_bitmap_name(c.name), c.matches) << c.name;
    }
}
#endif

struct order_case {
    const char* what;
    std::string first;
    std::string second;
};

TEST(ComesBeforeInListing, ByteOrderAfterFoldingToUpperCase) {
    const std::vector<order_case> cases = {
        {"digits", "kao001.bmp", "kao002.bmp"},
        {"a dot before a digit", "kao1.bmp", "kao10.bmp"},
        {"no number before numbers", "kao.bmp", "kao0.bmp"},
        {"byte order, not number order", "kao10.bmp", "kao2.bmp"},
        {"digits before letters", "kao9.bmp", "kaoA.bmp"},
        {"upper case letter before underscore", "kaoA.bmp", "kao_.bmp"},
        {"lower case letter folded before underscore", "kaoa.bmp", "kao_.bmp"},
        {"case ignored while the letters differ", "kao001.bmp", "KAO002.BMP"},
        {"case ignored in later letters", "kaoa.bmp", "KAOB.bmp"},
        {"bytes above 0x7F after ASCII", "kaoz.bmp", "kao\xe9\xa1\x94.bmp"},
        {"a shorter name first", "kao1.bmp", "kao1.bmp.bak"},
    };
    for (const order_case& c : cases) {
        EXPECT_TRUE(comes_before_in_listing(c.first, c.second)) << c.what;
        EXPECT_FALSE(comes_before_in_listing(c.second, c.first)) << c.what;
    }
}

TEST(ComesBeforeInListing, NamesEqualAfterFoldingKeepAFixedOrder) {
    const std::vector<std::vector<std::string>> groups = {
        {"KAO001.BMP", "kao001.bmp", "Kao001.Bmp"},
        {"kaoA.bmp", "kaoa.bmp"},
    };
    for (const std::vector<std::string>& names : groups) {
        for (const std::string& left : names) {
            EXPECT_FALSE(comes_before_in_listing(left, left)) << left;
            for (const std::string& right : names) {
                if (left != right) {
                    EXPECT_NE(comes_before_in_listing(left, right),
                              comes_before_in_listing(right, left))
                        << left << " / " << right;
                }
            }
        }
    }
    // The upper case name, the smaller byte, comes first.
    EXPECT_TRUE(comes_before_in_listing("KAO001.BMP", "kao001.bmp"));
    // Folding still decides before the tie-break does.
    EXPECT_TRUE(comes_before_in_listing("kao001.bmp", "KAO002.BMP"));
}

// A folder of the test's own in the temporary directory, removed afterwards.
class FaceBitmapFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        do {
            folder_ = std::filesystem::temp_directory_path() /
                      ("face_listing_" + std::to_string(random()));
        } while (!std::filesystem::create_directory(folder_));
    }
    void TearDown() override {
        std::filesystem::remove_all(folder_);
    }

    void add_file(const std::string& name) {
        std::ofstream(folder_ / name, std::ios::binary) << "BM";
    }

    std::string folder_path() const {
        return folder_.string();
    }

    std::filesystem::path folder_;
};

TEST_F(FaceBitmapFolder, KeepsMatchingPlainFilesInListingOrder) {
    for (const char* name :
         {"kao002.bmp", "kao_.bmp", "KAO001.BMP", "kao.bmp", "kaoA.bmp", "kao10.bmp", "kao0001.bmp",
          "kao001.bmp.bak", "kao001.bmpx", "notes.txt", "kaodata.s7"}) {
        add_file(name);
    }
    std::filesystem::create_directory(folder_ / "kao005.bmp");
    std::filesystem::create_directory(folder_ / "other");
    add_file("other/kao006.bmp");

    const face_bitmap_list list = list_face_bitmaps(folder_path());
    const std::vector<std::string> expected = {"kao.bmp",   "KAO001.BMP", "kao002.bmp",
                                               "kao10.bmp", "kaoA.bmp",   "kao_.bmp"};
    EXPECT_EQ(list.names, expected);
    EXPECT_EQ(list.match_count, expected.size());
}

TEST_F(FaceBitmapFolder, KeepsTheFirst678NamesAndCountsEveryMatch) {
    std::vector<std::string> all;
    for (int n = 699; n >= 0; --n) {
        char name[16];
        std::snprintf(name, sizeof name, "kao%03d.bmp", n);
        add_file(name);
        all.insert(all.begin(), name);
    }
    const face_bitmap_list list = list_face_bitmaps(folder_path());
    EXPECT_EQ(list.match_count, 700u);
    const std::vector<std::string> kept(all.begin(), all.begin() + 678);
    EXPECT_EQ(list.names, kept);
}

TEST_F(FaceBitmapFolder, EmptyAndMissingFoldersHaveNoMatch) {
    add_file("readme.txt");
    const std::vector<std::string> folders = {folder_path(), folder_path() + "/missing",
                                              folder_path() + "/readme.txt"};
    for (const std::string& folder : folders) {
        const face_bitmap_list list = list_face_bitmaps(folder);
        EXPECT_EQ(list.match_count, 0u) << folder;
        EXPECT_TRUE(list.names.empty()) << folder;
    }
}

#ifndef _WIN32
TEST_F(FaceBitmapFolder, BackslashSeparatesFolders) {
    std::filesystem::create_directory(folder_ / "child");
    add_file("child/kao001.bmp");
    const face_bitmap_list list = list_face_bitmaps(folder_path() + "\\child");
    EXPECT_EQ(list.names, std::vector<std::string>{"kao001.bmp"});
    EXPECT_EQ(list.match_count, 1u);
}

TEST_F(FaceBitmapFolder, OnlyRegularFilesCountAndLinksAreFollowed) {
    add_file("target.bin");
    ASSERT_EQ(mkfifo((folder_ / "kao004.bmp").c_str(), 0600), 0);
    std::filesystem::create_directory(folder_ / "sub");
    std::filesystem::create_symlink(folder_ / "target.bin", folder_ / "kao001.bmp");
    std::filesystem::create_symlink(folder_ / "sub", folder_ / "kao002.bmp");
    std::filesystem::create_symlink(folder_ / "nowhere", folder_ / "kao003.bmp");
    const face_bitmap_list list = list_face_bitmaps(folder_path());
    EXPECT_EQ(list.names, std::vector<std::string>{"kao001.bmp"});
    EXPECT_EQ(list.match_count, 1u);
}
#endif

} // namespace
