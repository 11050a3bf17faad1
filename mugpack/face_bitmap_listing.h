#pragma once
// Finding the face bitmaps kao???.bmp of a folder, in the order they are packed.

#include <cstddef>
#include <string>
#include <vector>

struct face_bitmap_list {
    // The names kept, in packing order: at most the PK edition's face count.
    std::vector<std::string> names;
    // Every match, including those beyond the names kept.
    std::size_t match_count = 0;
};

// kao, then zero to three characters none of which is a dot, then .bmp; the
// letters compared without regard to case. Characters are counted with the
// platform's rule for file names.
bool is_face_bitmap_name(const std::string& name);

// Orders names as the home platform's usual file system lists them: by byte
// after folding a-z to A-Z.
bool comes_before_in_listing(const std::string& left, const std::string& right);

face_bitmap_list list_face_bitmaps(const std::string& folder_path);
