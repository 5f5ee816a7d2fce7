// Formats a setup log message of any length with the project's wide
// formatter (Windows convention: "%s" wide, "%S" narrow), so the output is
// the same on every build.
#pragma once

#include <cstdarg>
#include <string>

std::wstring SetupMessageFormat(const wchar_t* pFormat, va_list args);
