// The media probe: opens one file, proves its audio and video decodable,
// checks that the job could write it, and reads the few properties the file
// list shows.

#include "engine/av_converter.h"
#include "engine/file_identity.h"
#include "engine/input_setup.h"
#include "engine/output_container.h"
#include "engine/probed_input.h"
#include "engine/stream_rules.h"

namespace {

// What the probe's reads give way to: a stop request, and a budget of bytes
// so an endless input (or one that hides its video) cannot keep it for ever.
struct ProbeLimits {
    const std::atomic<bool>* stop;
    const velmora::InputSession* session;
};

int ProbeInterrupted(void* opaque) {
    const auto* limits = static_cast<const ProbeLimits*>(opaque);
    if (limits->stop->load(std::memory_order_relaxed)) return 1;
    const AVIOContext* io = limits->session->source.io();
    return io && io->bytes_read > CAVConverter::kProbeByteBudget ? 1 : 0;
}

}  // namespace

int CAVConverter::Probe() {
    Join();
    m_bStopProbe.store(false, std::memory_order_relaxed);
    // Every result belongs to this file: nothing is left from the last one.
    m_llDuration = AV_NOPTS_VALUE;
    m_nVideoProfile = 0;
    m_nVideoBitRate = 0;
    m_llVideoBitRate = 0;
    m_nInHeight = 0;
    m_nInWidth = 0;
    m_nFpsDen = 0;
    m_nFpsNum = 0;
    m_nVideoCodec = 0;
    m_probedContainer = {};

    m_probed->Release();
    // Taken before the file is opened: a change while it is read makes the
    // job open it again rather than take this probe's input.
    const std::optional<velmora::FileIdentity> identity =
        velmora::IdentityOf(m_pszProbeFile.c_str());

    // The probe has a stop request of its own: the job's stays raised after
    // a stopped job and must not make the next probe fail.
    auto session = std::make_unique<velmora::InputSession>();
    ProbeLimits limits{&m_bStopProbe, session.get()};
    const char* name = m_pszProbeFile.c_str();
    const int opened =
        velmora::OpenInput(*session, name, AVIOInterruptCB{&ProbeInterrupted, &limits});
    AVFormatContext* input = session->input.get();
    if (!input) return opened == AVERROR(ENOMEM) ? opened : kProbeNoVideoOrUnreadable;
    if (opened < 0 && !session->streams.empty()) return opened;  // a decoder failed
    if (opened < 0) return opened == AVERROR(ENOMEM) ? opened : kProbeNoStreamInfo;

    // With several video streams the last one is reported.
    const AVStream* video = nullptr;
    for (unsigned i = 0; i < input->nb_streams; ++i)
        if (velmora::IsDeclaredInOutput(input->streams[i]) && velmora::IsVideo(input->streams[i]))
            video = input->streams[i];
    m_llDuration = input->duration;
    av_dump_format(input, 0, name, 0);
    if (!video) return kProbeNoVideoOrUnreadable;
    m_nVideoCodec = video->codecpar->codec_id;
    velmora::OutputContainer container;
    const int chosen = velmora::ChooseOutputContainer(name, input, container);
    m_probedContainer = velmora::RecordOf(container);
    if (chosen < 0) return chosen;

    // Taken from the stream, not from its decoder: the values are the same,
    // and a video without a decoder in this FFmpeg still shows its own.
    const AVCodecParameters* par = video->codecpar;
    const AVRational fps = av_guess_frame_rate(input, const_cast<AVStream*>(video), nullptr);
    m_nFpsNum = fps.num;
    m_nFpsDen = fps.den;
    m_nInWidth = par->width;
    m_nInHeight = par->height;
    m_nVideoBitRate = static_cast<int>(static_cast<std::uint32_t>(par->bit_rate));
    m_llVideoBitRate = par->bit_rate > 0 ? par->bit_rate : 0;
    m_nVideoProfile = par->profile;
    // Kept only after a probe that nothing interrupted: one stopped or cut
    // short by its byte budget may have analysed less than a job's own
    // analysis would.
    if (m_bKeepProbedInput && identity && !ProbeInterrupted(&limits))
        m_probed->Keep(m_pszProbeFile, *identity, std::move(session));
    return kProbeOk;
}
