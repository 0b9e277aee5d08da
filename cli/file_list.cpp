#include "file_list.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

std::vector<std::string> SplitFileList(const std::string& text, bool nulSeparated) {
    const char separator = nulSeparated ? '\0' : '\n';
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        if (end > start) names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

FileList ReadFileList(const std::string& source, bool nulSeparated) {
    FileList list;
    const bool standardInput = source == "-";
    using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;
    FilePtr owned(standardInput ? nullptr : std::fopen(source.c_str(), "rb"), &std::fclose);
    FILE* in = standardInput ? stdin : owned.get();
    const std::string shown = standardInput ? "standard input" : "the list " + source;
    if (in == nullptr) {
        list.error = "cannot read " + shown + ": " + std::strerror(errno);
        return list;
    }
    std::string text;
    char buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, got);
    if (std::ferror(in)) {
        list.error = "cannot read " + shown + ": " + std::strerror(errno);
        return list;
    }
    list.names = SplitFileList(text, nulSeparated);
    return list;
}
