// Windows side of the platform seam, the programs' home platform.

#include "platform.h"

#include "console_key_filter.h"
#include "cp932.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace platform {
namespace {

console_event_kind event_kind(WORD event_type) {
    switch (event_type) {
    case KEY_EVENT:
        return console_event_kind::key;
    case MOUSE_EVENT:
        return console_event_kind::mouse;
    case FOCUS_EVENT:
        return console_event_kind::focus;
    case WINDOW_BUFFER_SIZE_EVENT:
        return console_event_kind::window_size;
    case MENU_EVENT:
        return console_event_kind::menu;
    default:
        return console_event_kind::other;
    }
}

console_input_event portable_event(const INPUT_RECORD& record) {
    console_input_event event;
    event.kind = event_kind(record.EventType);
    if (event.kind == console_event_kind::key) {
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        event.key_down = key.bKeyDown != FALSE;
        event.virtual_key_code = key.wVirtualKeyCode;
        event.character = key.uChar.UnicodeChar;
        event.control_held =
            (key.dwControlKeyState & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
        event.alt_held = (key.dwControlKeyState & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0;
    }
    return event;
}

void read_until_key(HANDLE console) {
    INPUT_RECORD record{};
    DWORD read_count = 0;
    while (ReadConsoleInputW(console, &record, 1, &read_count) != FALSE && read_count == 1) {
        if (ends_key_wait(portable_event(record))) {
            return;
        }
    }
}

bool is_directory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool is_plain_file(const WIN32_FIND_DATAA& entry) {
    const DWORD not_plain =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (entry.dwFileAttributes & not_plain) == 0;
}

} // namespace

void prepare_console_streams() {
    // The answer reader drops carriage returns and stops at 0x1A itself, so
    // standard input hands it every byte. The output streams stay text
    // streams: each "\n" is written as CR LF.
    _setmode(_fileno(stdin), _O_BINARY);
}

bool standard_output_is_console() {
    return GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR;
}

void wait_for_console_key() {
    // The console itself, even when standard input is a file or a pipe.
    const HANDLE console =
        CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD saved_mode = 0;
    // Mode 0: no line input, no echo, and without processed input Ctrl+C
    // arrives as a key; Ctrl+Break still interrupts. Pending input is kept: a
    // key pressed while the program worked ends the wait at once.
    if (GetConsoleMode(console, &saved_mode) != FALSE && SetConsoleMode(console, 0) != FALSE) {
        read_until_key(console);
        SetConsoleMode(console, saved_mode);
    }
    CloseHandle(console);
}

std::FILE* open_file_for_reading(const std::string& path) {
    if (is_directory(path)) {
        return nullptr;
    }
    return std::fopen(path.c_str(), "rb");
}

std::FILE* create_file_for_writing(const std::string& path) {
    return std::fopen(path.c_str(), "wb");
}

bool seek_file(std::FILE* stream, std::int64_t position) {
    return _fseeki64(stream, position, SEEK_SET) == 0;
}

bool delete_file(const std::string& path) {
    return DeleteFileA(path.c_str()) != FALSE;
}

bool create_directory(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

std::vector<std::string> list_plain_files(const std::string& folder_path) {
    std::vector<std::string> names;
    const std::string pattern = folder_path + "\\*";
    WIN32_FIND_DATAA entry{};
    const HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        // "." and ".." are directories; cFileName is the long name, never
        // the 8.3 alias.
        if (is_plain_file(entry)) {
            names.emplace_back(entry.cFileName);
        }
    } while (FindNextFileA(search, &entry) != FALSE);
    FindClose(search);
    return names;
}

std::size_t count_name_characters(const std::string& name) {
    return count_cp932_characters(name);
}

} // namespace platform
