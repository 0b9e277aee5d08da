#include "engine/input_setup.h"

#include <cstring>

extern "C" {
#include <libavutil/opt.h>
}

#include "engine/decoder.h"
#include "engine/ffmpeg_compat.h"
#include "engine/file_information.h"
#include "engine/input_complete.h"
#include "engine/output_container.h"
#include "engine/output_stream.h"
#include "engine/stream_rules.h"

namespace velmora {

namespace {

SetupResult Failed(int error) { return {SetupOutcome::kFailed, error}; }

constexpr int kMuxerBufferTime = AV_TIME_BASE * 7 / 10;

// A demuxer that could not read what it needed names the damage it saw; the
// error of the file underneath (a bad sector, say) says more.
int ReadErrorOr(const InputSession& session, int rc) {
    const AVIOContext* io = session.source.io();
    if (io && io->error < 0 && io->error != AVERROR_EOF && io->error != AVERROR_EXIT)
        return io->error;
    return rc;
}

// Declares the output's streams (every video stream, nothing else) and
// carries the file's tags and chapters over.
int CreateOutput(InputSession& session, const OutputContainer& container, const char* name) {
    if (const int rc = NewOutputContext(container, name, session.output); rc < 0) return rc;
    AVFormatContext* raw = session.output.get();

    AVFormatContext* input = session.input.get();
    std::vector<bool> kept(input->nb_streams, false);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        StreamContext& context = session.streams[i];
        context.outputIndex = -1;
        if (!IsDeclaredInOutput(stream)) continue;
        const int index = AddOutputStream(raw, stream);
        if (index < 0) return index;
        context.outputIndex = index;
        context.type = stream->codecpar->codec_type;
        kept[i] = true;
    }
    session.shift = FileShift();
    session.shift.FromStreams(input, kept);
    return CopyFileInformation(raw, input, session.shift);
}

// The index of the one video stream copied, or -1 when there are several
// or none.
int SoleVideo(const InputSession& session) {
    int video = -1;
    for (size_t i = 0; i < session.streams.size(); ++i) {
        const StreamContext& context = session.streams[i];
        if (context.outputIndex < 0 || context.type != AVMEDIA_TYPE_VIDEO) continue;
        if (video >= 0) return -1;
        video = static_cast<int>(i);
    }
    return video;
}

// FFmpeg's MP4/MOV muxer writes a Dolby Vision configuration only when
// asked for less strict output; without it a Dolby Vision video would lose
// what makes players show it as one.
void KeepDolbyVision(AVFormatContext* output, const AVFormatContext* input) {
    const char* name = output->oformat->name;
    if (std::strcmp(name, "mp4") != 0 && std::strcmp(name, "mov") != 0) return;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        if (!IsVideo(stream)) continue;
#if VELMORA_HAS_CODED_SIDE_DATA
        const bool dolbyVision =
            av_packet_side_data_get(stream->codecpar->coded_side_data,
                                    stream->codecpar->nb_coded_side_data, AV_PKT_DATA_DOVI_CONF);
#else
        const bool dolbyVision = av_stream_get_side_data(stream, AV_PKT_DATA_DOVI_CONF, nullptr);
#endif
        if (dolbyVision) output->strict_std_compliance = FF_COMPLIANCE_UNOFFICIAL;
    }
}

// Makes the output file under its temporary name and writes the header.
int WriteHeader(InputSession& session, const char* name, const std::string& root) {
    AVFormatContext* output = session.output.get();
    av_dump_format(output, 0, name, 1);
    // Matroska's optional CRC-32 elements cost more time than the rest of
    // the copy; players do not need them. Other muxers have no such option.
    av_opt_set(output->priv_data, "write_crc32", "0", 0);
    KeepDolbyVision(output, session.input.get());
    // How far ahead of each frame's decode time a transport or program
    // stream sends its clock: the decoder's buffer time. Left at 0, the
    // clock equals the decode time and players that follow the buffer
    // model (TVs, set-top and Blu-ray players) have no time to decode. 0.7 s
    // is what the ffmpeg program and broadcast muxers give.
    output->max_delay = kMuxerBufferTime;
    int rc = session.file.Create(name, root);
    if (rc < 0) return rc;
    // Written through the descriptor the file is held by; the context is
    // the file's, so the output must not close it.
    if ((rc = session.file.OpenIo()) < 0) return rc;
    output->pb = session.file.Io();
    output->flags |= AVFMT_FLAG_CUSTOM_IO;
    return avformat_write_header(output, nullptr);
}

}  // namespace

int OpenInput(InputSession& session, const char* name, const AVIOInterruptCB& interrupt) {
    session.relay = std::make_unique<InterruptRelay>();
    session.relay->target = interrupt;
    const AVIOInterruptCB relayed = session.relay->Callback();
    int rc = session.source.Open(name, relayed);
    if (rc < 0) return rc;
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return AVERROR(ENOMEM);
    raw->interrupt_callback = relayed;
    session.source.Bind(raw);
    // The name only helps to tell the format by its extension: the file is
    // read through the source, which is already open.
    rc = avformat_open_input(&raw, name, nullptr, nullptr);  // frees `raw` on failure
    if (rc < 0) return ReadErrorOr(session, rc);
    session.input.reset(raw);
    AVFormatContext* input = session.input.get();
    session.sizeAtOpen = InputSize(input);

    if ((rc = avformat_find_stream_info(input, nullptr)) < 0) return ReadErrorOr(session, rc);

    session.streams.resize(input->nb_streams);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        AVStream* stream = input->streams[i];
        if (!IsProvenDecodable(stream)) continue;
        if ((rc = OpenDecoder(input, stream, session.streams[i].decoder)) < 0) return rc;
    }
    return 0;
}

SetupResult SetUpInput(InputSession& session, const char* inputName, const char* outputName,
                       const std::string& outputRoot, const AVIOInterruptCB& interrupt) {
    int opened = 0;
    if (session.input && session.relay)
        session.relay->target = interrupt;
    else
        opened = OpenInput(session, inputName, interrupt);
    if (interrupt.callback && interrupt.callback(interrupt.opaque))
        return {SetupOutcome::kStopped, AVERROR_EXIT};
    if (opened < 0) return Failed(opened);
    av_dump_format(session.input.get(), 0, inputName, 0);
    OutputContainer container;
    const int chosen = ChooseOutputContainer(outputName, session.input.get(), container);
    session.container = RecordOf(container);
    if (chosen < 0) return Failed(chosen);

    int rc = CreateOutput(session, container, outputName);
    if (rc >= 0) rc = WriteHeader(session, outputName, outputRoot);
    if (rc < 0) return Failed(rc);
    if (!session.keepParser)
        session.unparsed = UnparsedVideo::Start(session.input.get(), SoleVideo(session));
    return {};
}

}  // namespace velmora
