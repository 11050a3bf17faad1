#include "caption_table.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Splits CP932 text into its characters; an empty result means the text is
// not proper CP932 (a lone or misplaced second byte, a control byte, a lead
// byte without a valid second byte).
std::vector<std::string> cp932_characters(const std::string& text) {
    std::vector<std::string> characters;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        if (lead) {
            if (i + 1 >= text.size()) {
                return {};
            }
            const auto second = static_cast<unsigned char>(text[i + 1]);
            if (!((second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFC))) {
                return {};
            }
            characters.push_back(text.substr(i, 2));
            i += 2;
        } else if ((byte >= 0x20 && byte <= 0x7E) || (byte >= 0xA1 && byte <= 0xDF)) {
            characters.push_back(text.substr(i, 1));
            i += 1;
        } else {
            return {};
        }
    }
    return characters;
}

std::string two_digits(int number) {
    return std::string(1, static_cast<char>('0' + number / 10)) +
           static_cast<char>('0' + number % 10);
}

struct caption_case {
    int face;
    std::string caption;
};

TEST(CaptionTable, NamedFacesOfThePkEdition) {
    const std::vector<caption_case> cases = {
        {520, "新武将00"}, {589, "新武将69"}, {590, "新武将00"}, {619, "新武将29"},
        {620, "虎"},       {623, "民：男性"}, {624, "民：女性"}, {628, "民：男性"},
        {629, "武官"},     {633, "女性"},     {643, "民：商人"}, {644, "民：釣り人"},
        {645, "隠士"},     {646, "隠士"},     {647, "隠士"},     {648, "武将"},
        {649, "新武将70"}, {668, "新武将89"}, {669, "新武将30"}, {677, "新武将38"},
    };
    for (const caption_case& c : cases) {
        EXPECT_EQ(std::string(caption_table[c.face]), c.caption) << "face " << c.face;
    }
}

TEST(CaptionTable, FolkCaptionsUseTheFullWidthColon) {
    // 民 96 AF, full-width colon 81 46, 男 92 6A, 性 90 AB.
    EXPECT_EQ(std::string(caption_table[623]), "\x96\xaf\x81\x46\x92\x6a\x90\xab");
    for (const int face : {623, 624, 625, 626, 627, 628, 640, 641, 642, 643, 644}) {
        EXPECT_EQ(std::string(caption_table[face]).substr(0, 4), "\x96\xaf\x81\x46")
            << "face " << face;
    }
}

struct numbered_range {
    int first_face;
    int last_face;
    int first_number;
};

TEST(CaptionTable, NewOfficersCountUpByOne) {
    const std::vector<numbered_range> ranges = {
        {520, 589, 0},
        {590, 619, 0},
        {649, 668, 70},
        {669, 677, 30},
    };
    // 新武将 as CP932 bytes.
    const std::string prefix = "\x90\x56\x95\x90\x8f\xab";
    for (const numbered_range& r : ranges) {
        for (int face = r.first_face; face <= r.last_face; ++face) {
            EXPECT_EQ(std::string(caption_table[face]),
                      prefix + two_digits(r.first_number + face - r.first_face))
                << "face " << face;
        }
    }
}

TEST(CaptionTable, EveryCaptionIsShortProperCp932Text) {
    for (int face = 0; face < caption_count; ++face) {
        ASSERT_NE(caption_table[face], nullptr) << "face " << face;
        const std::string caption = caption_table[face];
        EXPECT_GE(caption.size(), 2u) << "face " << face;
        EXPECT_LE(caption.size(), 10u) << "face " << face;
        const std::vector<std::string> characters = cp932_characters(caption);
        EXPECT_GE(characters.size(), 1u) << "face " << face << " is not CP932";
        EXPECT_LE(characters.size(), 5u) << "face " << face;
    }
}

TEST(CaptionTable, OnePersonNameStandsAtTwoFaces) {
    std::map<std::string, std::vector<int>> faces_by_name;
    const std::vector<std::pair<int, int>> person_ranges = {{0, 519}, {621, 622}, {634, 639}};
    for (const auto& [first, last] : person_ranges) {
        for (int face = first; face <= last; ++face) {
            faces_by_name[caption_table[face]].push_back(face);
        }
    }
    std::vector<std::vector<int>> repeated;
    for (const auto& [name, faces] : faces_by_name) {
        if (faces.size() > 1) {
            repeated.push_back(faces);
        }
    }
    ASSERT_EQ(repeated.size(), 1u);
    EXPECT_EQ(repeated[0].size(), 2u);
}

} // namespace
