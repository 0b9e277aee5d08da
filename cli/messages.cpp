#include "cli/messages.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cli/probe_lines.h"
#include "engine/av_converter.h"
#include "engine/utf8_path.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

namespace fs = std::filesystem;

namespace {

std::string Megabytes(std::uintmax_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

}  // namespace

std::string FolderCheckText(const std::string& folder, const FolderCheckResult& result) {
    switch (result.check) {
        case FolderCheck::kOk:
            return "";
        case FolderCheck::kBareSeparator:
        case FolderCheck::kMissing:
            return "the output folder " + folder + " does not exist";
        case FolderCheck::kNotAFolder:
            return "the output folder " + folder + " is not a folder";
        case FolderCheck::kNotWritable:
            return "no file can be created in the output folder " + folder + " (" +
                   result.error.message() + ")";
        case FolderCheck::kNotEnoughSpace:
            return "not enough free space in the output folder " + folder + ": the files need " +
                   Megabytes(result.needed) + ", " + Megabytes(result.available) + " are free";
    }
    return "";
}

std::string NoExtensionText() {
    return "the name has no extension, so no container can be chosen for the output";
}
