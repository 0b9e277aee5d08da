#include "frontend_core/probe_cells.h"

#include <cstdio>
#include <limits>

#include "engine/av_converter.h"
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

ProbeCells CellsOfProbe(const std::string& path, const CAVConverter& engine) {
    ProbeCells cells;
    cells.path = path;
    cells.extension = ExtensionOf(path);
    cells.duration = DurationText(engine.m_llDuration);
    cells.size = Printf("%d*%d", engine.m_nInWidth, engine.m_nInHeight);
    // Most MKV, WebM and TS files do not tell the video's bit rate: an empty
    // cell, not a made-up 0.
    if (engine.m_llVideoBitRate > 0)
        cells.bitRate = Printf("%lldkbps", static_cast<long long>(engine.m_llVideoBitRate / 1000));
    cells.frameRate = FrameRateText(engine.m_nFpsNum, engine.m_nFpsDen);
    cells.profile = Printf("%d", engine.m_nVideoProfile);
    cells.profileName = ProfileName(engine.m_nVideoCodec, engine.m_nVideoProfile);
    return cells;
}
