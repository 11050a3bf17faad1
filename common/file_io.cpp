#include "file_io.h"

#include "io_faults.h"
#include "platform.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// The paths of the streams now open, so that every operation can be named
// by its file. At most a few files are open at once.
std::vector<std::pair<std::FILE*, std::string>> open_streams;

const std::string& path_of(std::FILE* stream) {
    static const std::string unknown;
    for (const auto& [open_stream, path] : open_streams) {
        if (open_stream == stream) {
            return path;
        }
    }
    return unknown;
}

std::FILE* remember(std::FILE* stream, const std::string& path) {
    if (stream != nullptr) {
        open_streams.emplace_back(stream, path);
    }
    return stream;
}

void forget(std::FILE* stream) {
    std::erase_if(open_streams, [stream](const auto& entry) { return entry.first == stream; });
}

} // namespace

std::FILE* open_for_reading(const std::string& path) {
    if (io_fault_at(io_operation::open, path)) {
        return nullptr;
    }
    return remember(platform::open_file_for_reading(path), path);
}

std::FILE* create_for_writing(const std::string& path) {
    if (io_fault_at(io_operation::create, path)) {
        return nullptr;
    }
    return remember(platform::create_file_for_writing(path), path);
}

bool read_bytes(std::FILE* stream, void* bytes, std::size_t count) {
    if (io_fault_at(io_operation::read, path_of(stream))) {
        return false;
    }
    return std::fread(bytes, 1, count, stream) == count;
}

bool write_bytes(std::FILE* stream, const void* bytes, std::size_t count) {
    if (io_fault_at(io_operation::write, path_of(stream))) {
        return false;
    }
    return std::fwrite(bytes, 1, count, stream) == count;
}

bool seek_to(std::FILE* stream, std::int64_t position) {
    if (io_fault_at(io_operation::seek, path_of(stream))) {
        return false;
    }
    return platform::seek_file(stream, position);
}

bool close_file(std::FILE* stream) {
    const bool faulted = io_fault_at(io_operation::close, path_of(stream));
    forget(stream);
    const bool closed = std::fclose(stream) == 0;
    return closed && !faulted;
}

bool delete_file(const std::string& path) {
    if (io_fault_at(io_operation::remove, path)) {
        return false;
    }
    return platform::delete_file(path);
}

bool create_directory(const std::string& path) {
    if (io_fault_at(io_operation::make_directory, path)) {
        return false;
    }
    return platform::create_directory(path);
}

std::vector<std::string> list_folder_files(const std::string& folder_path) {
    if (io_fault_at(io_operation::list, folder_path)) {
        return {};
    }
    return platform::list_plain_files(folder_path);
}
