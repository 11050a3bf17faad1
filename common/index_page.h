#pragma once
// The index page: an HTML gallery of a run's face bitmaps, ten to a table row,
// each with its face number and, in the captioned variant, its caption.

#include <cstdint>
#include <string>

enum class page_variant { captioned, uncaptioned };

// Writes the page into the output folder and returns its path. A page that
// cannot be created, written or closed ends the run (status 2); an incomplete
// page is deleted after the key press.
std::string write_index_page(const std::string& folder_path, std::int32_t face_count,
                             page_variant variant);
