#include "engine/container_kind.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/opt.h>
}

#include "engine/stream_rules.h"

namespace velmora {

namespace {

// The first `bytes` of the input, read through its own I/O context, which
// is put back where the demuxer left it. Empty when the input cannot seek
// (a named pipe): what was read is gone.
std::string ReadHead(const AVFormatContext* input, int bytes) {
    AVIOContext* io = input->pb;
    if (!io || !(io->seekable & AVIO_SEEKABLE_NORMAL)) return {};
    const std::int64_t at = avio_tell(io);
    std::string head(static_cast<size_t>(bytes), '\0');
    int got = 0;
    if (avio_seek(io, 0, SEEK_SET) >= 0)
        got = avio_read(io, reinterpret_cast<unsigned char*>(head.data()), bytes);
    avio_seek(io, at, SEEK_SET);
    head.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return head;
}

AVCodecID FirstVideoCodec(const AVFormatContext* input) {
    for (unsigned i = 0; i < input->nb_streams; ++i)
        if (IsVideo(input->streams[i])) return input->streams[i]->codecpar->codec_id;
    return AV_CODEC_ID_NONE;
}

// The major brand of the file type box says which member of the family
// the file is; a file without one is a QuickTime movie of the old kind.
const char* MovByBrand(const AVFormatContext* input) {
    const AVDictionaryEntry* entry = av_dict_get(input->metadata, "major_brand", nullptr, 0);
    if (!entry) return "mov";
    const std::string_view brand = entry->value;
    const auto startsWith = [&](std::string_view start) {
        return brand.substr(0, start.size()) == start;
    };
    if (startsWith("qt")) return "mov";
    if (startsWith("3g2")) return "3g2";
    if (startsWith("3g")) return "3gp";
    if (startsWith("M4")) return "ipod";
    if (startsWith("isml") || startsWith("piff")) return "ismv";
    if (startsWith("f4v")) return "f4v";
    if (startsWith("MSNV")) return "psp";
    if (startsWith("avif") || startsWith("avis")) return "avif";
    if (startsWith("mjp2")) return "mov";
    return "mp4";
}

// A pack header of an MPEG-2 program stream begins with the bits 01, one of
// an MPEG-1 system stream with 0010. Without the file's first bytes (a
// pipe), the video tells: MPEG-1 video comes in MPEG-1 system streams.
const char* ProgramStreamByPackHeader(const AVFormatContext* input) {
    const std::string head = ReadHead(input, 64 << 10);
    const size_t pack = head.find(std::string_view("\0\0\1\xBA", 4));
    if (pack != std::string::npos && pack + 4 < head.size()) {
        const auto mode = static_cast<unsigned char>(head[pack + 4]);
        if ((mode & 0xC0) == 0x40) return "vob";
        if ((mode & 0xF0) == 0x20) return "mpeg";
    }
    return FirstVideoCodec(input) == AV_CODEC_ID_MPEG1VIDEO ? "mpeg" : "vob";
}

// The EBML header's DocType tells WebM from Matroska; the demuxer reads
// both alike and keeps no record of it.
const char* MatroskaByDocType(const AVFormatContext* input) {
    const std::string head = ReadHead(input, 256);
    if (head.compare(0, 4, "\x1A\x45\xDF\xA3") != 0) return "matroska";
    const size_t docType = head.find("\x42\x82");
    if (docType == std::string::npos || docType + 3 > head.size()) return "matroska";
    const auto size = static_cast<unsigned char>(head[docType + 2]);
    if (!(size & 0x80)) return "matroska";  // a longer size field than DocTypes have
    return head.compare(docType + 3, size & 0x7F, "webm") == 0 ? "webm" : "matroska";
}

// An elementary MPEG video stream is written back as it is.
const char* MpegVideoByCodec(const AVFormatContext* input) {
    return FirstVideoCodec(input) == AV_CODEC_ID_MPEG1VIDEO ? "mpeg1video" : "mpeg2video";
}

struct KindEntry {
    const char* demuxer;  // FFmpeg's name of the demuxer that reads it
    // The muxers that write it; versions of it in groups apart, "a|b".
    const char* muxers;
    const char* otherNames;
    // Which muxer writes the input's own container; null: the first muxer.
    const char* (*own)(const AVFormatContext* input);
};

// Every demuxer not listed here is written by the muxer of its own name,
// if there is one.
constexpr KindEntry kKinds[] = {
    {"mov,mp4,m4a,3gp,3g2,mj2", "mp4,mov,3gp,3g2,ipod,ismv,f4v,psp,avif", "qt", MovByBrand},
    {"matroska,webm", "matroska,webm", "mk3d", MatroskaByDocType},
    {"mpeg", "mpeg,vcd|vob,svcd,dvd", "mod,vro,m2p", ProgramStreamByPackHeader},
    {"mpegts", "mpegts", "tod,tp,trp", nullptr},
    {"mpegvideo", "mpeg1video,mpeg2video", "", MpegVideoByCodec},
    {"avi", "avi", "divx", nullptr},
    {"asf", "asf,asf_stream", "dvr-ms", nullptr},
    {"asf_o", "asf,asf_stream", "dvr-ms", nullptr},
    {"flv", "flv", "", nullptr},
    {"live_flv", "flv", "", nullptr},
    {"ogg", "ogg,ogv", "", nullptr},
    {"rm", "rm", "rmvb", nullptr},
    // A stream of JPEG pictures is what the MJPEG muxer writes.
    {"jpeg_pipe", "mjpeg", "", nullptr},
};

bool Lists(const std::string& list, std::string_view name) {
    return !list.empty() && av_match_name(std::string(name).c_str(), list.c_str());
}

const AVOutputFormat* MuxerNamed(const std::string& name) {
    const AVOutputFormat* muxer = av_guess_format(name.c_str(), nullptr, nullptr);
    return muxer && name == muxer->name ? muxer : nullptr;
}

}  // namespace

ContainerKind KindOfInput(const AVFormatContext* input) {
    ContainerKind kind;
    const char* demuxer = input->iformat->name;
    const KindEntry* entry = nullptr;
    for (const KindEntry& candidate : kKinds)
        if (std::strcmp(candidate.demuxer, demuxer) == 0) entry = &candidate;
    if (!entry) {
        kind.own = MuxerNamed(demuxer);
        if (kind.own) kind.muxers = demuxer;
        return kind;
    }

    const std::string_view groups = entry->muxers;
    const std::string own =
        entry->own ? entry->own(input) : std::string(groups.substr(0, groups.find_first_of(",|")));
    kind.own = MuxerNamed(own);
    kind.otherNames = entry->otherNames;
    for (size_t start = 0; start <= groups.size();) {
        const size_t end = std::min(groups.find('|', start), groups.size());
        const std::string group(groups.substr(start, end - start));
        std::string& into = Lists(group, own) ? kind.muxers : kind.related;
        into += (into.empty() ? "" : ",") + group;
        start = end + 1;
    }
    if (std::strcmp(demuxer, "mpegts") == 0) {
        // The demuxer exports the size of the packets it found.
        std::int64_t packetSize = 0;
        av_opt_get_int(input->priv_data, "ts_packetsize", 0, &packetSize);
        kind.m2ts = packetSize == 192;
    }
    return kind;
}

bool IsOtherNameOfAnyKind(const std::string& extension) {
    for (const KindEntry& entry : kKinds)
        if (Lists(entry.otherNames, extension)) return true;
    return false;
}

}  // namespace velmora
