// Formats a setup log message with the Windows wide-format convention: "%s"
// takes a wide string, "%S" a narrow one, and the length "l" means 32 bits
// (Windows' long), so the output is the same on every build.
//
// Directives: flags '-' and '0', a width, the lengths hh, h, l, ll, and the
// conversions d i u x X c s S %. Anything else is copied as it stands.
#pragma once

#include <cstdarg>
#include <string>

std::wstring SetupMessageFormat(const wchar_t* pFormat, va_list args);
