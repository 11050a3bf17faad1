#pragma once
// Taking the pixel indices of a face bitmap back into a face cell.

#include "face_archive.h"

#include <cstdio>

enum class bitmap_read_result { success, header_failure, data_failure };

// Reads the 14-byte file header, moves to its pixel data offset and reads 120
// rows of 96 palette indices, bottom row first, into the cell top row first.
// Nothing else of the bitmap is read or tested: its own colours are ignored.
bitmap_read_result read_face_bitmap(std::FILE* stream, face_cell& cell);
