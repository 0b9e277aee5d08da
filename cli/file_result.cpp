#include "cli/file_result.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "cli/probe_lines.h"
#include "cli/shown_name.h"
#include "engine/utf8_path.h"

namespace {

const char* StatusName(FileResult::Status status) {
    switch (status) {
        case FileResult::Status::kDone:
            return "done";
        case FileResult::Status::kFailed:
            return "failed";
        case FileResult::Status::kRefused:
            return "refused";
        case FileResult::Status::kStopped:
            return "stopped";
        case FileResult::Status::kSkipped:
            return "skipped";
        case FileResult::Status::kPlanned:
            return "planned";
    }
    return "";
}

std::string OrNull(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

}  // namespace

std::string TextLine(const FileResult& r) {
    const std::string in = ShownName(r.input);
    const std::string out = ShownName(r.output);
    switch (r.status) {
        case FileResult::Status::kDone:
            return "done     " + in + " -> " + out +
                   (r.reason.empty() ? "" : " (" + r.reason + ")");
        case FileResult::Status::kFailed:
            return "failed   " + in + ": " + r.reason;
        case FileResult::Status::kRefused:
            return "refused  " + in + ": " + r.reason;
        case FileResult::Status::kStopped:
            return "stopped  " + in + " -> " + out + " (" + r.reason + ")";
        case FileResult::Status::kSkipped:
            return "skipped  " + in + ": " + (r.outputExists ? out + " exists" : r.reason);
        case FileResult::Status::kPlanned:
            return in + " -> " + out;
    }
    return "";
}

std::string JsonNumber(std::optional<double> value) {
    if (!value || !std::isfinite(*value)) return "null";
    char text[32];
    if (*value == std::trunc(*value) && std::fabs(*value) < 1e15)
        std::snprintf(text, sizeof text, "%.0f", *value);
    else
        std::snprintf(text, sizeof text, "%.10g", *value);
    return text;
}

std::string JsonLine(const FileResult& r) {
    const auto number = [](std::optional<long long> v) {
        return v ? std::to_string(*v) : std::string("null");
    };
    return "{\"schema\":" + std::to_string(kJsonSchema) + ",\"input\":" + JsonString(r.input) +
           ",\"output\":" + OrNull(r.output) + ",\"status\":\"" + StatusName(r.status) +
           "\",\"reason\":" + OrNull(r.reason) + ",\"bytes\":" + std::to_string(r.bytes) +
           ",\"duration\":" + JsonNumber(r.duration) + ",\"packets\":" + std::to_string(r.packets) +
           ",\"left_out\":" + std::to_string(r.leftOut) + ",\"file_end\":" + JsonNumber(r.fileEnd) +
           ",\"bit_rate\":" + number(r.bitRate) + ",\"frame_rate\":" + JsonNumber(r.frameRate) +
           "}";
}

std::uintmax_t SizeOf(const std::string& name) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(PathFromUtf8(name), ec);
    return ec ? 0 : size;
}
