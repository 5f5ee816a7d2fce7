#pragma once

#include <cstdarg>
#include <cstddef>

// printf-style formatting into a caller's buffer of wide units, with the
// Windows wide-format convention on every build: "%s" takes a wide string
// and "%S" a narrow one (the letter's case, not a length modifier, selects
// the width; "h" forces narrow, "l" and "w" force wide). The C libraries
// disagree on this, so the library formats with this function only and gets
// the same text everywhere.
//
// Directives: %d %i %u %x %X %o %p %c %C %s %S %%, flags - 0 + blank #,
// width and precision (digits or *), length modifiers hh h l ll I64 I32 I z
// j t w. As on Windows, "l" means 32 bits and "ll"/"I64" 64 bits; "z", "I"
// and "t" mean the size of a pointer. A null string prints "(null)". A
// narrow string's bytes become one unit each. %p prints the address as
// upper-case hexadecimal with two digits per byte of a pointer. A directive
// not listed here (for instance %n or %f) is written out as it stands, with
// the rest of the format, and no further argument is read.
//
// The result is always null-terminated and truncated to BufferUnits units
// (terminator included); nothing is written when BufferUnits is 0. No heap
// memory is used. Returns the number of units written, terminator excluded.
size_t ALWideFormat(wchar_t* pBuffer, size_t BufferUnits, const wchar_t* pFormat, ...);
size_t ALWideFormatV(wchar_t* pBuffer, size_t BufferUnits, const wchar_t* pFormat, va_list Arguments);
