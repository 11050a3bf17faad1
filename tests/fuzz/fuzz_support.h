#pragma once
// What the fuzz harnesses share: a stream over the input bytes and the check
// that ends the run when a property does not hold.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// Stops at once, so that libFuzzer records the input that broke the property.
inline void require(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

// A read-only stream over a copy of the input. The copy keeps the fuzzer's own
// buffer out of the C library's hands.
class input_stream {
  public:
    input_stream(const std::uint8_t* data, std::size_t size)
        : bytes_(data, data + size), stream_(open(bytes_)) {
        require(stream_ != nullptr);
    }
    ~input_stream() {
        std::fclose(stream_);
    }
    input_stream(const input_stream&) = delete;
    input_stream& operator=(const input_stream&) = delete;

    std::FILE* get() const {
        return stream_;
    }

  private:
    static std::FILE* open(std::vector<std::uint8_t>& bytes) {
        // fmemopen takes an empty buffer, but not a null one.
        static std::uint8_t nothing = 0;
        void* buffer = bytes.empty() ? &nothing : bytes.data();
        return fmemopen(buffer, bytes.size(), "r");
    }

    std::vector<std::uint8_t> bytes_;
    std::FILE* stream_;
};

inline std::uint32_t le32_at(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}
