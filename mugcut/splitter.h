#pragma once
// The splitter: one routine that turns a face archive into one face bitmap per
// face and an index page. Its settings make it mugcut or mugcut24.

#include "dialogue.h"
#include "face_bitmap.h"
#include "index_page.h"

enum class bitmap_depth { indexed8, true_colour24 };

struct splitter_settings {
    const char* title_line;
    const char* default_archive_path;
    const char* palette_base_name;
    const char* palette_message;
    const char* default_output_folder;
    const char* face_count_message;
    bitmap_depth depth;
    page_variant page;
    // Carries the program's progress strings and the stream of its closing prompt.
    const dialogue_settings* dialogue;
};

// The whole run; returns the exit status of a complete run. Failures end the
// process from within.
int run_splitter(const splitter_settings& settings);
