#include "engine/input_setup.h"

extern "C" {
#include <libavutil/opt.h>
}

#include "engine/decoder.h"
#include "engine/input_complete.h"
#include "engine/output_file.h"
#include "engine/output_stream.h"
#include "engine/stream_rules.h"

namespace velmora {

namespace {

SetupResult FailInput(int error) { return {SetupOutcome::kFailInput, error}; }
SetupResult FailJob(int error) { return {SetupOutcome::kFailJob, error}; }

SetupResult OpenInput(InputSession& session, const char* name, const AVIOInterruptCB& interrupt) {
    int rc = session.pipe.Open(name, interrupt);
    if (rc < 0) return FailJob(rc);
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return FailJob(AVERROR(ENOMEM));
    raw->interrupt_callback = interrupt;
    if (session.pipe.io()) {
        // The name still goes to avformat_open_input: its extension helps
        // to tell the format.
        raw->pb = session.pipe.io();
        raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    rc = avformat_open_input(&raw, name, nullptr, nullptr);  // frees `raw` on failure
    if (rc < 0) return FailJob(rc);
    session.input.reset(raw);
    AVFormatContext* input = session.input.get();
    session.sizeAtOpen = InputSize(input);

    if ((rc = avformat_find_stream_info(input, nullptr)) < 0) return FailJob(rc);

    session.streams.resize(input->nb_streams);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        AVStream* stream = input->streams[i];
        if (!IsDeclaredInOutput(stream)) continue;
        if ((rc = OpenDecoder(input, stream, session.streams[i].decoder)) < 0) return FailJob(rc);
    }
    av_dump_format(input, 0, name, 0);
    return {};
}

SetupResult CreateOutput(InputSession& session, const char* name) {
    AVFormatContext* raw = nullptr;
    int rc = avformat_alloc_output_context2(&raw, nullptr, nullptr, name);
    if (!raw) return FailInput(rc < 0 ? rc : AVERROR_MUXER_NOT_FOUND);
    session.output.reset(raw);

    AVFormatContext* input = session.input.get();
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        StreamContext& context = session.streams[i];
        if (!IsDeclaredInOutput(stream)) continue;
        if ((rc = AddOutputStream(raw, stream)) < 0) return FailInput(rc);
        context.outputIndex = rc;
        context.type = stream->codecpar->codec_type;
    }
    return {};
}

SetupResult OpenOutputFile(AVFormatContext* output, const char* name, bool createNew) {
    if (output->oformat->flags & AVFMT_NOFILE) return {};
    // Claimed first, so that FFmpeg's open, which would replace a file, only
    // ever opens the one made here.
    NewFile created;
    if (createNew) {
        const int rc = created.Create(name);
        if (rc == AVERROR(EEXIST)) return FailInput(rc);
        if (rc < 0) return FailJob(rc);
    }
    const char* openName = createNew ? created.OpenName().c_str() : name;
    const int rc = avio_open2(&output->pb, openName, AVIO_FLAG_WRITE, nullptr, nullptr);
    if (rc < 0) {
        if (createNew) {
            created.Close();
            RemoveNewFile(name);
        }
        return FailJob(rc);
    }
    return {};
}

SetupResult WriteHeader(AVFormatContext* output, const char* name, bool createNew) {
    av_dump_format(output, 0, name, 1);
    // Matroska's optional CRC-32 elements cost more time than the rest of
    // the copy; players do not need them. Other muxers have no such option.
    av_opt_set(output->priv_data, "write_crc32", "0", 0);
    const SetupResult opened = OpenOutputFile(output, name, createNew);
    if (opened.outcome != SetupOutcome::kReady) return opened;
    if (const int rc = avformat_write_header(output, nullptr); rc < 0) return FailJob(rc);
    return {};
}

}  // namespace

SetupResult SetUpInput(InputSession& session, const char* inputName, const char* outputName,
                       const AVIOInterruptCB& interrupt, bool createNew) {
    SetupResult result = OpenInput(session, inputName, interrupt);
    if (interrupt.callback && interrupt.callback(interrupt.opaque))
        return {SetupOutcome::kStopped, AVERROR_EXIT};
    if (result.outcome == SetupOutcome::kReady) result = CreateOutput(session, outputName);
    if (result.outcome == SetupOutcome::kReady)
        result = WriteHeader(session.output.get(), outputName, createNew);
    return result;
}

}  // namespace velmora
