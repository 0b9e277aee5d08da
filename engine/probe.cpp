// The media probe: opens one file, proves its audio and video decodable,
// checks that the job could write it, and reads the few properties the file
// list shows.

#include "engine/av_converter.h"
#include "engine/engine_errors.h"
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

// Why opening `session` failed (`opened` < 0), as the probe reports it.
void ClassifyOpenFailure(const velmora::InputSession& session, int opened,
                         velmora::ProbeFacts& facts) {
    facts.error = opened;
    // The file's own error says what happened; FFmpeg's reading of its
    // content would only say that the content is not there. A read given up
    // for a stop or for the byte budget is no fault of the file's, nor is
    // a name that is no file or pipe (a device), which InputFile refuses as
    // invalid data.
    const AVIOContext* io = session.source.io();
    facts.unreadable =
        opened != AVERROR_EXIT && opened != AVERROR_INVALIDDATA && (!io || io->error == opened);
    if (facts.unreadable || opened == AVERROR(ENOMEM)) return;
    if (!session.input)
        facts.error = velmora::kErrorNotVideoFile;
    else if (session.streams.empty())
        facts.error = velmora::kErrorNoStreamInfo;
    // Otherwise a decoder failed, and its error stands.
}

// The facts of the opened input `input`, named `name`.
velmora::ProbeFacts FactsOf(AVFormatContext* input, const char* name) {
    velmora::ProbeFacts facts;
    // With several video streams the last one is reported.
    AVStream* video = nullptr;
    for (unsigned i = 0; i < input->nb_streams; ++i)
        if (velmora::IsDeclaredInOutput(input->streams[i]) && velmora::IsVideo(input->streams[i]))
            video = input->streams[i];
    facts.duration = input->duration;
    av_dump_format(input, 0, name, 0);
    if (!video) {
        facts.error = velmora::kErrorNotVideoFile;
        return facts;
    }
    facts.videoCodec = video->codecpar->codec_id;
    velmora::OutputContainer container;
    const int chosen = velmora::ChooseOutputContainer(name, input, container);
    facts.container = velmora::RecordOf(container);
    if (chosen < 0) {
        facts.error = chosen;
        return facts;
    }

    // Taken from the stream, not from its decoder: the values are the same,
    // and a video without a decoder in this FFmpeg still shows its own.
    const AVCodecParameters* par = video->codecpar;
    const AVRational fps = av_guess_frame_rate(input, video, nullptr);
    facts.fpsNum = fps.num;
    facts.fpsDen = fps.den;
    facts.width = par->width;
    facts.height = par->height;
    facts.videoBitRate = par->bit_rate > 0 ? par->bit_rate : 0;
    facts.videoProfile = par->profile;
    return facts;
}

}  // namespace

velmora::ProbeFacts CAVConverter::ProbeFile(const std::string& name) {
    Join();
    m_pszProbeFile = name;
    m_bStopProbe.store(false, std::memory_order_relaxed);
    m_probed->Release();
    // Taken before the file is opened: a change while it is read makes the
    // job open it again rather than take this probe's input.
    const std::optional<velmora::FileIdentity> identity = velmora::IdentityOf(name.c_str());

    // The probe has a stop request of its own: the job's stays raised after
    // a stopped job and must not make the next probe fail.
    auto session = std::make_unique<velmora::InputSession>();
    ProbeLimits limits{&m_bStopProbe, session.get()};
    const int opened =
        velmora::OpenInput(*session, name.c_str(), AVIOInterruptCB{&ProbeInterrupted, &limits});
    velmora::ProbeFacts facts;
    if (opened < 0)
        ClassifyOpenFailure(*session, opened, facts);
    else
        facts = FactsOf(session->input.get(), name.c_str());
    // Every field is written, so nothing is left from the last file.
    KeepProbe(facts);

    // Kept only after a probe that nothing interrupted: one stopped or cut
    // short by its byte budget may have analysed less than a job's own
    // analysis would.
    if (facts.error == 0 && m_bKeepProbedInput && identity && !ProbeInterrupted(&limits))
        m_probed->Keep(name, *identity, std::move(session));
    return facts;
}

int CAVConverter::Probe() { return ProbeFile(std::string(m_pszProbeFile)).error; }

void CAVConverter::KeepProbe(const velmora::ProbeFacts& facts) {
    m_lastProbe = facts;
    m_llDuration = facts.duration;
    m_nVideoProfile = facts.videoProfile;
    m_llVideoBitRate = facts.videoBitRate;
    // Its low 32 bits, as the field always held them.
    m_nVideoBitRate = static_cast<int>(static_cast<std::uint32_t>(facts.videoBitRate));
    m_nInHeight = facts.height;
    m_nInWidth = facts.width;
    m_nFpsDen = facts.fpsDen;
    m_nFpsNum = facts.fpsNum;
    m_nVideoCodec = facts.videoCodec;
    m_probedContainer = facts.container;
}
