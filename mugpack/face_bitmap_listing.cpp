#include "face_bitmap_listing.h"

#include "face_archive.h"
#include "file_io.h"
#include "platform.h"

#include <algorithm>

namespace {

unsigned char fold_case(char byte) {
    const auto value = static_cast<unsigned char>(byte);
    return (value >= 'a' && value <= 'z') ? static_cast<unsigned char>(value - 'a' + 'A') : value;
}

bool equals_ignoring_case(const std::string& text, std::size_t start, const char* ascii) {
    for (std::size_t i = 0; ascii[i] != '\0'; ++i) {
        if (fold_case(text[start + i]) != fold_case(ascii[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

bool is_face_bitmap_name(const std::string& name) {
    const std::string prefix = "kao";
    const std::string suffix = ".bmp";
    if (name.size() < prefix.size() + suffix.size()) {
        return false;
    }
    if (!equals_ignoring_case(name, 0, prefix.c_str()) ||
        !equals_ignoring_case(name, name.size() - suffix.size(), suffix.c_str())) {
        return false;
    }
    const std::string middle =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    return middle.find('.') == std::string::npos && platform::count_name_characters(middle) <= 3;
}

bool comes_before_in_listing(const std::string& left, const std::string& right) {
    const auto folded_less = [](char a, char b) { return fold_case(a) < fold_case(b); };
    if (std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                     folded_less)) {
        return true;
    }
    if (std::lexicographical_compare(right.begin(), right.end(), left.begin(), left.end(),
                                     folded_less)) {
        return false;
    }
    // Names that differ only in case (possible on POSIX) keep a fixed order.
    return left < right;
}

face_bitmap_list list_face_bitmaps(const std::string& folder_path) {
    face_bitmap_list list;
    for (std::string& name : list_folder_files(folder_path)) {
        if (is_face_bitmap_name(name)) {
            list.names.push_back(std::move(name));
        }
    }
    list.match_count = list.names.size();
    std::sort(list.names.begin(), list.names.end(), comes_before_in_listing);
    if (list.names.size() > static_cast<std::size_t>(pk_face_count)) {
        list.names.resize(static_cast<std::size_t>(pk_face_count));
    }
    return list;
}
