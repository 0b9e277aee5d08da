// The media probe: opens one file, proves its audio and video decodable and
// reads the few properties the file list shows.

#include "engine/av_converter.h"
#include "engine/decoder.h"
#include "engine/ff_ptr.h"
#include "engine/stream_rules.h"

using velmora::CodecContextPtr;
using velmora::InputFormatPtr;

int CAVConverter::Probe() {
    Join();
    // Every result belongs to this file: nothing is left from the last one.
    m_llDuration = AV_NOPTS_VALUE;
    m_nVideoProfile = 0;
    m_nVideoBitRate = 0;
    m_nInHeight = 0;
    m_nInWidth = 0;
    m_nFpsDen = 0;
    m_nFpsNum = 0;

    // No interrupt callback: a stop request stays raised after a stopped job
    // and must not make the next probe fail.
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, m_pszProbeFile.c_str(), nullptr, nullptr) < 0)
        return kProbeNoVideoOrUnreadable;
    InputFormatPtr input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0) return kProbeNoStreamInfo;

    // With several video streams the last one is reported.
    const AVStream* video = nullptr;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        AVStream* stream = input->streams[i];
        if (!velmora::IsDeclaredInOutput(stream)) continue;
        if (velmora::IsVideo(stream)) video = stream;
        CodecContextPtr decoder;
        if (int rc = velmora::OpenDecoder(input.get(), stream, decoder); rc < 0) return rc;
    }
    m_llDuration = input->duration;
    av_dump_format(input.get(), 0, m_pszProbeFile.c_str(), 0);
    if (!video) return kProbeNoVideoOrUnreadable;

    // Taken from the stream, not from its decoder: the values are the same,
    // and a video without a decoder in this FFmpeg still shows its own.
    const AVCodecParameters* par = video->codecpar;
    const AVRational fps = av_guess_frame_rate(input.get(), const_cast<AVStream*>(video), nullptr);
    m_nFpsNum = fps.num;
    m_nFpsDen = fps.den;
    m_nInWidth = par->width;
    m_nInHeight = par->height;
    m_nVideoBitRate = static_cast<int>(static_cast<std::uint32_t>(par->bit_rate));
    m_nVideoProfile = par->profile;
    return kProbeOk;
}
