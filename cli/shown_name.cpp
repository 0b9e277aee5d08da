#include "shown_name.h"

#include <cstdio>

std::string ShownName(const std::string& name) {
    std::string shown;
    shown.reserve(name.size());
    for (const char c : name) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
#ifndef _WIN32
        } else if (c == '\\') {
            shown += "\\\\";
#endif
        } else {
            shown += c;
        }
    }
    return shown;
}
