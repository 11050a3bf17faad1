#pragma once
// Streams on temporary files for the tests of the stream operations.

#include <cstdio>
#include <string>

// A stream holding the given bytes, read from its start.
inline std::FILE* stream_of(const std::string& bytes) {
    std::FILE* stream = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::rewind(stream);
    return stream;
}

// Everything the stream holds, from its first byte to its end.
inline std::string contents_of(std::FILE* stream) {
    std::fflush(stream);
    std::rewind(stream);
    std::string bytes;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
        bytes.append(buffer, got);
    }
    return bytes;
}
