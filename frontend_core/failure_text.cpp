#include "frontend_core/failure_text.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "engine/av_converter.h"
#include "engine/engine_errors.h"
#include "engine/input_result.h"
#include "engine/output_name.h"
#include "engine/utf8_path.h"
#include "frontend_core/container_text.h"
#include "frontend_core/time_text.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace fs = std::filesystem;

namespace {

// The container the engine chose (FFmpeg's muxer name `container`), or,
// when it gave none, the one the extension of `file` stands for.
std::string ContainerOf(const std::string& file, const std::string& container) {
    if (!container.empty()) return ContainerName(container);
    const AVOutputFormat* format = av_guess_format(nullptr, file.c_str(), nullptr);
    return ContainerName(format ? format->name : "");
}

}  // namespace

std::string InputTimeText(long long microseconds) {
    if (microseconds < 0) microseconds = 0;
    const long long ms = microseconds / 1000;
    return FormatTime(ms > INT_MAX ? INT_MAX : static_cast<int>(ms));
}

std::string FillPlaces(const std::string& text, const std::vector<std::string>& values) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t n =
            i + 1 < text.size() ? static_cast<size_t>(text[i + 1] - '1') : values.size();
        if (text[i] == '%' && n < values.size() && n < 9) {
            out += values[n];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string LeftOutText(long long leftOut, long long videoPackets, long long fileEndUs,
                        const LeftOutWords& words) {
    const bool cut = fileEndUs != AV_NOPTS_VALUE;
    if (leftOut <= 0 && !cut) return std::string();
    const std::string end = cut ? InputTimeText(fileEndUs) : std::string();
    // Matroska's cues show a cut without counting what it took away.
    if (leftOut <= 0) return FillPlaces(words.cutShortUncounted, {end});
    const std::vector<std::string> counts = {std::to_string(leftOut), std::to_string(videoPackets)};
    if (!cut) return FillPlaces(words.packetsLeftOut, counts);
    return FillPlaces(words.cutShort, {counts[0], counts[1], end});
}

std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(error, text, sizeof text) < 0)
        std::snprintf(text, sizeof text, "error %d", error);
    return text;
}

std::string ProbeRefusalText(const std::string& file, const velmora::ProbeFacts& facts) {
    const int result = facts.error;
    const std::string& container = facts.container.muxer;
    const fs::path path = PathFromUtf8(file);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return "no such file";
    if (fs::is_directory(status)) return "it is a folder, not a file";
    if (fs::is_regular_file(status) && fs::file_size(path, ec) == 0 && !ec)
        return "the file is empty";
    // Only a regular file is opened to try: opening a named pipe would wait
    // for a writer that may never come.
    if (fs::is_regular_file(status) && !std::ifstream(path, std::ios::binary))
        return "the file cannot be read";

    // A file that looks fine on disk but could not be read (a bad sector,
    // say) is told with the error of the read.
    if (facts.unreadable) return "the file cannot be read (" + ErrorText(result) + ")";

    if (result == velmora::kErrorCodecNotInContainer) {
        const char* codec = avcodec_get_name(static_cast<AVCodecID>(facts.videoCodec));
        std::string name = facts.videoCodec != 0 && codec ? codec : "this";
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return "the " + ContainerOf(file, container) + " container cannot hold " + name + " video";
    }
    if (result == AVERROR_MUXER_NOT_FOUND && velmora::ExtensionOfFileName(file).empty())
        return "the name has no extension, so no container can be chosen for the output";
    if (result == velmora::kErrorNotSingleFile || result == AVERROR_MUXER_NOT_FOUND ||
        result == velmora::kErrorWriterChangesVideo)
        return FailureText(result, AV_NOPTS_VALUE, file, container);
    if (result == velmora::kErrorNotVideoFile)
        return "not a video file: FFmpeg cannot read it as media, or it has no video stream";
    if (result == velmora::kErrorNoStreamInfo)
        return "the streams of the file cannot be read; it may be damaged or cut short";
    if (result == AVERROR(ENOMEM)) return "out of memory";
    return "a decoder for its video or audio cannot be opened (" + ErrorText(result) + ")";
}

std::string FailureText(int error, long long errorTimeUs, const std::string& output,
                        const std::string& container) {
    if (errorTimeUs != AV_NOPTS_VALUE) {
        const std::string at = " at " + InputTimeText(errorTimeUs);
        if (error == AVERROR_INVALIDDATA) return "the file is damaged beyond repair" + at;
        return "read error" + at + " (" + ErrorText(error) + ")";
    }
    switch (error) {
        case 0:
        case velmora::kErrorNoVideoCopied:
            return "no video could be copied";
        case velmora::kErrorOutputRemoved:
            return "the output file was removed while it was written";
        case velmora::kErrorInputChanged:
            return "the file changed size while it was read (cut short, or still being written)";
        case velmora::kErrorInputTruncated:
            return "the file is cut short before its first picture";
        case velmora::kErrorCodecNotInContainer:
            return "the " + ContainerOf(output, container) + " container cannot hold this video";
        case velmora::kErrorNotSingleFile:
            return "the " + ContainerOf(output, container) +
                   " format writes files of its own (a sequence, a playlist or segments), "
                   "not one video file";
        case velmora::kErrorWriterChangesVideo:
            return "FFmpeg's " + ContainerOf(output, container) +
                   " writer does not keep the video packets as they are, so a copy would not "
                   "be the same video; the file is not copied";
        case velmora::kErrorNoThread:
            return "the copy could not be started (no thread could be created)";
        case velmora::kErrorUnknownDvFrame:
            return "a DV frame of the file is damaged or of an unknown kind, so the sound inside "
                   "it cannot be removed";
        case AVERROR(ENOSPC):
            return "the disk is full";
        case AVERROR(EDQUOT):
            return "the disk quota is used up";
        case AVERROR(EACCES):
        case AVERROR(EPERM):
            return "permission denied";
        case AVERROR(EROFS):
            return "the output folder is on a read-only disk";
        case AVERROR(EEXIST):
            return "a file of the output name appeared meanwhile; it was left alone";
        case AVERROR(ENOENT):
            return "the file or the output folder no longer exists";
        case AVERROR(EIO):
            return "input/output error on the disk";
        case AVERROR(ELOOP):
            return "a folder on the way to the output was replaced by a link; outputs are "
                   "written only inside the output folder";
        case AVERROR(ENAMETOOLONG):
            return "the output name is too long for the file system";
        case AVERROR_INVALIDDATA:
            return "the file is damaged: FFmpeg cannot read it";
        case AVERROR_DECODER_NOT_FOUND:
            return "FFmpeg has no decoder for a stream of the file";
        case AVERROR_MUXER_NOT_FOUND:
            return "FFmpeg can read this file's container but has no writer for it";
        default:
            return ErrorText(error);
    }
}

std::string InputFailureText(const CAVConverter& engine, int input) {
    const InputResult result = ReadInputResult(engine, input);
    // Which of the two names is gone, as far as the disk tells now.
    if (result.error == AVERROR(ENOENT) && result.errorTime == AV_NOPTS_VALUE) {
        std::error_code ec;
        if (!fs::exists(PathFromUtf8(engine.m_ppszInputs[input]), ec))
            return "the file no longer exists";
        const fs::path folder = PathFromUtf8(result.output).parent_path();
        if (!folder.empty() && !fs::is_directory(folder, ec))
            return "the output folder no longer exists";
    }
    return FailureText(result.error, result.errorTime, result.output, result.container.muxer);
}
