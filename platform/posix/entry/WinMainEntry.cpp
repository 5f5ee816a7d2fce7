// main() of a native build of a GUI program: hands wWinMain the command line
// without the program name, as Windows does. The arguments are joined with
// blanks and decoded from UTF-8.
#include <string>

#include "platform/setupapi.h"

namespace {

std::wstring PrivateUtf8Decode(const std::string& text) {
    std::wstring wide;
    for (size_t i = 0; i < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        int extra = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= text.size() + (extra == 0 ? 1 : 0)) {
            wide += L'\xFFFD';
            ++i;
            continue;
        }
        uint32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        wide += static_cast<wchar_t>(code);
        i += static_cast<size_t>(extra) + 1;
    }
    return wide;
}

}  // namespace

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    std::wstring wideCommandLine = PrivateUtf8Decode(commandLine);
    return wWinMain(nullptr, nullptr, wideCommandLine.data(), SW_SHOWDEFAULT);
}
