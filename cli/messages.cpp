#include "messages.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "engine/av_converter.h"
#include "probe_cells.h"
#include "utf8_path.h"

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

std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(error, text, sizeof text) < 0)
        std::snprintf(text, sizeof text, "error %d", error);
    return text;
}

std::string ProbeRefusalText(const std::string& file, int result) {
    const fs::path path = PathFromUtf8(file);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return "no such file";
    if (fs::is_directory(status)) return "it is a folder, not a file";
    if (fs::is_regular_file(status) && fs::file_size(path, ec) == 0 && !ec)
        return "the file is empty";
    if (!std::ifstream(path, std::ios::binary)) return "the file cannot be read";

    if (result == kProbeNoVideoOrUnreadable)
        return "not a video file: FFmpeg cannot read it as media, or it has no video stream";
    if (result == kProbeNoStreamInfo)
        return "the streams of the file cannot be read; it may be damaged or cut short";
    if (result == AVERROR(ENOMEM)) return "out of memory";
    return "a decoder for its video or audio cannot be opened (" + ErrorText(result) + ")";
}

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

std::string JobFailureText(int error, const std::string& output) {
    const std::string extension = ExtensionOf(output);
    const AVOutputFormat* format = av_guess_format(nullptr, output.c_str(), nullptr);
    if (!format)
        return "FFmpeg knows no container it can write for the extension \"." + extension + "\"";
    // The engine fails an input with ENODATA when not one video packet of it
    // could be written.
    if (error == 0 || error == AVERROR(ENODATA)) return "no video could be copied";
    return ErrorText(error);
}

std::string NoExtensionText() {
    return "the name has no extension, so no container can be chosen for the output";
}
