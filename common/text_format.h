#pragma once
// printf-style formatting into a growing string: paths and messages have no
// length limit.

#include <string>

#if defined(__GNUC__)
#define MUG_PRINTF_FORMAT(format_index, first_argument)                                            \
    __attribute__((format(printf, format_index, first_argument)))
#else
#define MUG_PRINTF_FORMAT(format_index, first_argument)
#endif

std::string format_text(const char* format, ...) MUG_PRINTF_FORMAT(1, 2);
