#include "frontend_core/probe_cells.h"

#include <cstdio>
#include <limits>

#include "frontend_core/time_text.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/avutil.h>
}

namespace {

std::string Printf(const char* format, auto... values) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

}  // namespace

std::string ExtensionOf(const std::string& path) {
    const size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(dot + 1);
}

std::string DurationText(std::int64_t microseconds) {
    if (microseconds == AV_NOPTS_VALUE || microseconds < 0) return std::string();
    const std::int64_t milliseconds = microseconds / 1000;
    const int shown = milliseconds > std::numeric_limits<int>::max()
                          ? std::numeric_limits<int>::max()
                          : static_cast<int>(milliseconds);
    return FormatTime(shown);
}

std::string FrameRateText(int numerator, int denominator) {
    const double rate = denominator == 0 ? 0.0 : static_cast<double>(numerator) / denominator;
    return Printf("%5.2ffps", rate);
}

std::string ProfileName(int codecId, int profile) {
    const char* name = avcodec_profile_name(static_cast<AVCodecID>(codecId), profile);
    return name ? name : std::string();
}

ProbeCells CellsOfProbe(const std::string& path, const velmora::ProbeFacts& facts) {
    ProbeCells cells;
    cells.path = path;
    cells.extension = ExtensionOf(path);
    cells.duration = DurationText(facts.duration);
    cells.size = Printf("%d*%d", facts.width, facts.height);
    // Most MKV, WebM and TS files do not tell the video's bit rate: an empty
    // cell, not a made-up 0.
    if (facts.videoBitRate > 0)
        cells.bitRate = Printf("%lldkbps", static_cast<long long>(facts.videoBitRate / 1000));
    cells.frameRate = FrameRateText(facts.fpsNum, facts.fpsDen);
    cells.profile = Printf("%d", facts.videoProfile);
    cells.profileName = ProfileName(facts.videoCodec, facts.videoProfile);
    return cells;
}
