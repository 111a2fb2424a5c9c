// Numbers as text, the same under every locale.
//
// Text exports, settings values, recordings and filter files always write and
// read '.' as the decimal separator. The C library's printf and strtod follow
// the process locale (a desktop program switches to the user's, where the
// separator may be a comma), so every number that is written for a file, the
// clipboard or another program goes through these instead.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace vkit {

// printf-style formatting in the "C" locale.
std::string formatC(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vformatC(const char* format, std::va_list args) __attribute__((format(printf, 1, 0)));
int snprintfC(char* buffer, std::size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int fprintfC(std::FILE* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
int printfC(const char* format, ...) __attribute__((format(printf, 1, 2)));

// strtod in the "C" locale: the same prefixes, the same end pointer.
double strtodC(const char* text, char** end);

// The whole text (blanks around it allowed) as a number, or false.
bool parseDouble(std::string_view text, double& value);
// Integers reject a fractional part ("8.5"), and values beyond 64 bits.
bool parseInt64(std::string_view text, std::int64_t& value);

}  // namespace vkit
