#include "file_io.h"

#include "platform.h"

std::FILE* open_for_reading(const std::string& path) {
    return platform::open_file_for_reading(path);
}

std::FILE* create_for_writing(const std::string& path) {
    return platform::create_file_for_writing(path);
}

bool read_bytes(std::FILE* stream, void* bytes, std::size_t count) {
    return std::fread(bytes, 1, count, stream) == count;
}

bool write_bytes(std::FILE* stream, const void* bytes, std::size_t count) {
    return std::fwrite(bytes, 1, count, stream) == count;
}

bool seek_to(std::FILE* stream, std::int64_t position) {
    return platform::seek_file(stream, position);
}

bool close_file(std::FILE* stream) {
    return std::fclose(stream) == 0;
}

bool delete_file(const std::string& path) {
    return platform::delete_file(path);
}

bool create_directory(const std::string& path) {
    return platform::create_directory(path);
}
