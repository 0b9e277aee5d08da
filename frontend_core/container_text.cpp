#include "frontend_core/container_text.h"

#include <cctype>
#include <cstring>

#include "engine/output_name.h"

namespace {

struct KnownContainer {
    const char* muxer;
    const char* name;
    const char* article;  // as the name is said: "a MOV", "an MP4"
};

// Members of one family that users tell apart by name keep their own.
constexpr KnownContainer kKnown[] = {
    {"mp4", "MP4", "an"},
    {"mov", "MOV", "a"},
    {"ipod", "MP4", "an"},
    {"psp", "MP4", "an"},
    {"matroska", "Matroska", "a"},
    {"webm", "WebM", "a"},
    {"mpeg", "MPEG-PS", "an"},
    {"vcd", "MPEG-PS", "an"},
    {"vob", "MPEG-PS", "an"},
    {"svcd", "MPEG-PS", "an"},
    {"dvd", "MPEG-PS", "an"},
    {"mpegts", "MPEG-TS", "an"},
    {"mpeg1video", "raw MPEG-1 video", "a"},
    {"mpeg2video", "raw MPEG-2 video", "a"},
    {"m4v", "raw MPEG-4 video", "a"},
    {"h264", "raw H.264", "a"},
    {"hevc", "raw HEVC", "a"},
    {"rm", "RealMedia", "a"},
    {"ogg", "Ogg", "an"},
    {"ogv", "Ogg", "an"},
    {"nut", "NUT", "a"},
    {"asf_stream", "ASF", "an"},
};

const KnownContainer* Known(const std::string& muxer) {
    for (const KnownContainer& known : kKnown)
        if (muxer == known.muxer) return &known;
    return nullptr;
}

std::string Capitals(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// "an" before a vowel sound, for names in capitals that are spelt out
// ("an FLV", "a GXF").
std::string WithArticle(const std::string& muxer, const std::string& name) {
    if (const KnownContainer* known = Known(muxer)) return std::string(known->article) + " " + name;
    return (std::strchr("AEFHILMNORSX", name[0]) ? "an " : "a ") + name;
}

}  // namespace

std::string ContainerName(const std::string& muxer, bool m2ts) {
    if (muxer.empty()) return "output";
    if (muxer == "mpegts" && m2ts) return "M2TS";
    if (const KnownContainer* known = Known(muxer)) return known->name;
    return Capitals(muxer);
}

std::string NameMismatchText(const velmora::ContainerRecord& container, const std::string& input) {
    if (!container.nameMismatch || container.muxer.empty()) return {};
    const std::string name = ContainerName(container.muxer, container.m2ts);
    return WithArticle(container.muxer, name) + " file named ." +
           velmora::ExtensionOfFileName(input) + ", copied as " + name;
}
