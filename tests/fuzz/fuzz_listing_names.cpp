// The names of a folder listing: which of them are face bitmaps, and the order
// they are packed in. The input holds one name per line. The order must be a
// strict total order that agrees with byte order after folding a-z to A-Z, so
// that sorting with it is safe and gives one result whatever the names.

#include "face_bitmap_listing.h"
#include "fuzz_support.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Enough names for every order among a few of them, few enough to try every
// triple on each input.
constexpr std::size_t names_tried_at_most = 16;

char folded(char byte) {
    return (byte >= 'a' && byte <= 'z') ? static_cast<char>(byte - 'a' + 'A') : byte;
}

std::string folded(const std::string& name) {
    std::string result = name;
    std::transform(result.begin(), result.end(), result.begin(),
                   [](char byte) { return folded(byte); });
    return result;
}

// Strings compare their bytes as unsigned values.
bool folded_before(const std::string& left, const std::string& right) {
    return folded(left) < folded(right);
}

// kao, up to three characters with no dot among them, .bmp. On POSIX a
// character is a UTF-8 sequence: every byte but a continuation byte starts one.
bool looks_like_face_bitmap_name(const std::string& name) {
    if (name.size() < 7) {
        return false;
    }
    const std::string name_folded = folded(name);
    if (!name_folded.starts_with("KAO") || !name_folded.ends_with(".BMP")) {
        return false;
    }
    const std::string middle = name.substr(3, name.size() - 7);
    const auto starts = std::count_if(middle.begin(), middle.end(), [](char byte) {
        return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    });
    return middle.find('.') == std::string::npos && starts <= 3;
}

std::vector<std::string> names_in(const std::string& input) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (names.size() < names_tried_at_most) {
        const std::size_t feed = input.find('\n', start);
        names.push_back(input.substr(start, feed == std::string::npos ? feed : feed - start));
        if (feed == std::string::npos) {
            break;
        }
        start = feed + 1;
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names = names_in(input);

    for (const std::string& name : names) {
        require(is_face_bitmap_name(name) == looks_like_face_bitmap_name(name));
        require(!comes_before_in_listing(name, name));
    }
    for (const std::string& a : names) {
        for (const std::string& b : names) {
            const bool a_first = comes_before_in_listing(a, b);
            const bool b_first = comes_before_in_listing(b, a);
            require(a == b ? !a_first && !b_first : a_first != b_first);
            if (folded_before(a, b)) {
                require(a_first);
            }
            for (const std::string& c : names) {
                if (a_first && comes_before_in_listing(b, c)) {
                    require(comes_before_in_listing(a, c));
                }
            }
        }
    }

    std::sort(names.begin(), names.end(), comes_before_in_listing);
    for (std::size_t i = 1; i < names.size(); ++i) {
        require(!comes_before_in_listing(names[i], names[i - 1]));
    }
    return 0;
}
