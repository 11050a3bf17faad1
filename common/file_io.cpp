#include "file_io.h"

#include "io_faults.h"
#include "platform.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Every stream gets a buffer that holds a whole face bitmap, so that a bitmap,
// or a run of archive cells, moves in one system call instead of in pieces of
// 4 KiB. The buffers are static because a stream still open when the process
// ends is flushed by exit() after the destructors of static objects have run.
constexpr std::size_t stream_buffer_size = 64 * 1024;
constexpr std::size_t stream_buffer_count = 4;
char stream_buffers[stream_buffer_count][stream_buffer_size];

// The streams now open: their paths, so that every operation can be named by
// its file, and their buffers. At most a few files are open at once.
struct open_stream {
    std::FILE* stream;
    std::string path;
    char* buffer; // one of stream_buffers, or nullptr for the C library's own
};
std::vector<open_stream> open_streams;

const std::string& path_of(std::FILE* stream) {
    static const std::string unknown;
    for (const open_stream& entry : open_streams) {
        if (entry.stream == stream) {
            return entry.path;
        }
    }
    return unknown;
}

char* free_stream_buffer() {
    for (char* buffer : stream_buffers) {
        if (std::none_of(open_streams.begin(), open_streams.end(),
                         [buffer](const open_stream& entry) { return entry.buffer == buffer; })) {
            return buffer;
        }
    }
    return nullptr;
}

std::FILE* remember(std::FILE* stream, const std::string& path) {
    if (stream != nullptr) {
        char* buffer = free_stream_buffer();
        if (buffer != nullptr) {
            std::setvbuf(stream, buffer, _IOFBF, stream_buffer_size);
        }
        open_streams.push_back({stream, path, buffer});
    }
    return stream;
}

// The stream's buffer is free again from here on. fclose still writes out what
// the buffer holds, which is safe because no stream is opened in between.
void forget(std::FILE* stream) {
    std::erase_if(open_streams,
                  [stream](const open_stream& entry) { return entry.stream == stream; });
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

void discard_written_file(std::FILE*& stream, const std::string& path) {
    if (stream != nullptr) {
        close_file(stream);
        stream = nullptr;
    }
    delete_file(path);
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
