#include "dialogue.h"

#include "platform.h"
#include "text_format.h"

#include <cstdio>
#include <cstdlib>

const dialogue_settings packer_dialogue{"%s ..........    \r%s ", " ok\r",
                                        prompt_stream::standard_error};
const dialogue_settings splitter_dialogue{"%s ..........    \r%s  ", " ok \r",
                                          prompt_stream::standard_error};
const dialogue_settings splitter24_dialogue{"%s ..........    \r%s  ", " ok \r",
                                            prompt_stream::standard_output};

namespace {

const char closing_prompt[] = "プログラムを終了します。何かキーを押してください...";

const dialogue_settings* current_settings = &packer_dialogue;

void write_closing_prompt() {
    std::FILE* stream =
        current_settings->closing_prompt_stream == prompt_stream::standard_output ? stdout : stderr;
    std::fputs(closing_prompt, stream);
}

} // namespace

void start_dialogue(const dialogue_settings& settings) {
    current_settings = &settings;
    platform::prepare_console_streams();
    // On a console every text shows at once, in program order; into a file
    // or pipe, standard output goes in blocks of 512 bytes. The buffer is
    // our own: given none, the C library picks a block size of its own.
    static char output_buffer[512];
    if (platform::standard_output_is_console()) {
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    } else {
        std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);
    }
    std::setvbuf(stderr, nullptr, _IONBF, 0);
}

void pause_with_message() {
    write_closing_prompt();
    platform::wait_for_console_key();
}

void pause_with_message(const std::string& message) {
    // Written as it is: a % sign in a path is text, not a format.
    std::fwrite(message.data(), 1, message.size(), stderr);
    pause_with_message();
}

void fail(int exit_status, const std::string& message, clean_up_action clean_up) {
    pause_with_message(message);
    if (clean_up != nullptr) {
        clean_up();
    }
    std::exit(exit_status);
}

void print_text(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void progress_begin(const std::string& path) {
    print_text(format_text(current_settings->progress_begin_format, path.c_str(), path.c_str()));
}

void progress_mark() {
    print_text("o");
}

void progress_finish() {
    print_text(current_settings->progress_finish_text);
}
