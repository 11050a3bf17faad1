#pragma once
// Every operation on a data file (archive, palette, bitmap, page) or folder
// goes through these functions, on buffered binary streams of the standard
// library.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

std::FILE* open_for_reading(const std::string& path);
std::FILE* create_for_writing(const std::string& path);

// Each is true only when all the bytes were moved.
bool read_bytes(std::FILE* stream, void* bytes, std::size_t count);
bool write_bytes(std::FILE* stream, const void* bytes, std::size_t count);

bool seek_to(std::FILE* stream, std::int64_t position);

// Closing a written stream writes its last buffered bytes: false when that
// failed.
bool close_file(std::FILE* stream);

bool delete_file(const std::string& path);

// Removes an output file that did not come out whole: closes its stream if it
// is still open, clears the stream, then deletes the file.
void discard_written_file(std::FILE*& stream, const std::string& path);
bool create_directory(const std::string& path);

// The names of the plain files in a folder, in no particular order.
std::vector<std::string> list_folder_files(const std::string& folder_path);
