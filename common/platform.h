#pragma once
// The one seam between the programs and the operating system. Everything that
// differs between Windows and POSIX lives behind these functions; the rest of
// the code is the same on both.
//
// Paths are program paths: CP932 bytes as the user typed them or as the
// programs built them, with backslashes. Each implementation turns them into
// what its file system takes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// What the platform needs of the standard streams before anything is
// written: standard input handing over every byte as it is, and failed
// console writes ignored (no SIGPIPE on POSIX).
void prepare_console_streams();

// True when standard output is a console (a character device).
bool standard_output_is_console();

// Waits for one key press on the console itself, never on standard input,
// with no echo. Returns at once when there is no console to wait on.
void wait_for_console_key();

// Opens an existing file for reading in binary mode. A directory is refused,
// as the home platform does. Returns nullptr on failure.
std::FILE* open_file_for_reading(const std::string& path);

// Creates a file, or truncates an existing one, for writing in binary mode.
// Returns nullptr on failure.
std::FILE* create_file_for_writing(const std::string& path);

// Moves a stream to an absolute position counted from the start of its file.
bool seek_file(std::FILE* stream, std::int64_t position);

bool delete_file(const std::string& path);

// Creates one directory level; an existing directory is left as it is.
bool create_directory(const std::string& path);

// The names of the plain files in a folder, in no particular order: no
// directories, nothing hidden or system, symbolic links followed. A folder that
// cannot be listed gives no names.
std::vector<std::string> list_plain_files(const std::string& folder_path);

// The number of characters in a file name as the file system encodes it
// (UTF-8 on POSIX, CP932 on Windows).
std::size_t count_name_characters(const std::string& name);

} // namespace platform
