#pragma once
// The console dialogue that the three programs share: the closing prompt with
// its key wait, the end of a failed run, and the progress line of each file.

#include <string>

enum class prompt_stream { standard_output, standard_error };

// What differs between the programs in the shared dialogue.
struct dialogue_settings {
    // Drawn with the file's path in both places.
    const char* progress_begin_format;
    const char* progress_finish_text;
    prompt_stream closing_prompt_stream;
};

extern const dialogue_settings packer_dialogue;
extern const dialogue_settings splitter_dialogue;
extern const dialogue_settings splitter24_dialogue;

// Sets up the console streams and takes the program's settings. Called first,
// before anything is written.
void start_dialogue(const dialogue_settings& settings);

// Writes the message, if any, then the closing prompt, and waits for one key.
void pause_with_message();
void pause_with_message(const std::string& message);

// The caller's clean-up after the key press of a failure; may be empty.
using clean_up_action = void (*)();

// Ends a failed run: the message, the closing prompt and the key wait, then the
// clean-up, then the exit status. Output still held in a buffer is written out.
[[noreturn]] void fail(int exit_status, const std::string& message,
                       clean_up_action clean_up = nullptr);

// Writes text to standard output as it is. Every console line goes through
// here rather than printf, whose Windows implementation writes its buffer out
// after each call and so would break the 512-byte blocks of a redirected
// standard output.
void print_text(const std::string& text);

void progress_begin(const std::string& path);
void progress_mark();
void progress_finish();
