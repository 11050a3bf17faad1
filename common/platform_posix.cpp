// POSIX side of the platform seam (Linux first).

#include "platform.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace platform {
namespace {

// The programs' paths use the backslash as separator; POSIX takes '/'. UTF-8
// never holds the byte 0x5C inside a character, so every one of them is a
// separator here.
std::string native_path(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

bool is_directory(int descriptor) {
    struct stat status {};
    return fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode);
}

int read_terminal_byte(int terminal, unsigned char& byte) {
    ssize_t got;
    do {
        got = read(terminal, &byte, 1);
    } while (got < 0 && errno == EINTR);
    return static_cast<int>(got);
}

// After the first byte of a key, takes the rest of what the same key sent (an
// escape sequence, or the further bytes of a multi-byte character), so that
// none of it reaches the shell after the program ends. The bytes of one key
// arrive together; a pause of a tenth of a second means the key is complete.
void drain_rest_of_key(int terminal, struct termios raw) {
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 1;
    if (tcsetattr(terminal, TCSANOW, &raw) != 0) {
        return;
    }
    unsigned char byte = 0;
    while (read_terminal_byte(terminal, byte) == 1) {
    }
}

bool starts_longer_key(unsigned char byte) {
    const unsigned char escape = 0x1B;
    return byte == escape || byte >= 0x80;
}

} // namespace

void prepare_console_streams() {
    std::signal(SIGPIPE, SIG_IGN);
}

bool standard_output_is_console() {
    return isatty(STDOUT_FILENO) != 0;
}

void wait_for_console_key() {
    const int terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) {
        return;
    }
    struct termios saved {};
    if (tcgetattr(terminal, &saved) != 0) {
        close(terminal);
        return;
    }
    struct termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL);
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // Ctrl+C and Ctrl+Z arrive as keys, as in the home platform's console;
    // Ctrl+\ still interrupts, as Ctrl+Break does there.
    raw.c_cc[VINTR] = _POSIX_VDISABLE;
    raw.c_cc[VSUSP] = _POSIX_VDISABLE;
    // Pending input is kept: a key typed while the program worked counts.
    if (tcsetattr(terminal, TCSANOW, &raw) != 0) {
        close(terminal);
        return;
    }
    unsigned char key = 0;
    if (read_terminal_byte(terminal, key) == 1 && starts_longer_key(key)) {
        drain_rest_of_key(terminal, raw);
    }
    tcsetattr(terminal, TCSANOW, &saved);
    close(terminal);
}

std::FILE* open_file_for_reading(const std::string& path) {
    std::FILE* stream = std::fopen(native_path(path).c_str(), "rb");
    if (stream != nullptr && is_directory(fileno(stream))) {
        std::fclose(stream);
        return nullptr;
    }
    return stream;
}

std::FILE* create_file_for_writing(const std::string& path) {
    return std::fopen(native_path(path).c_str(), "wb");
}

bool seek_file(std::FILE* stream, std::int64_t position) {
    return fseeko(stream, static_cast<off_t>(position), SEEK_SET) == 0;
}

bool delete_file(const std::string& path) {
    return unlink(native_path(path).c_str()) == 0;
}

bool create_directory(const std::string& path) {
    return mkdir(native_path(path).c_str(), 0777) == 0;
}

std::vector<std::string> list_plain_files(const std::string& folder_path) {
    std::vector<std::string> names;
    const std::string folder = native_path(folder_path);
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(directory)) {
        bool plain = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat status {};
            const std::string entry_path = folder + "/" + entry->d_name;
            plain = stat(entry_path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
        }
        if (plain) {
            names.emplace_back(entry->d_name);
        }
    }
    closedir(directory);
    return names;
}

std::size_t count_name_characters(const std::string& name) {
    // Every byte but a UTF-8 continuation byte starts a character.
    return static_cast<std::size_t>(std::count_if(name.begin(), name.end(), [](char byte) {
        return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    }));
}

} // namespace platform
