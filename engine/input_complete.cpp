#include "engine/input_complete.h"

#include <algorithm>

#include "engine/engine_errors.h"

namespace velmora {

std::int64_t InputSize(AVFormatContext* input) {
    // For a file this asks the file system, not the demuxer's idea of it.
    if (!input->pb || (input->pb->seekable & AVIO_SEEKABLE_NORMAL) == 0) return -1;
    const std::int64_t size = avio_size(input->pb);
    return size > 0 ? size : -1;
}

int CheckInputWhole(const InputSession& session) {
    const std::int64_t size = InputSize(session.input.get());
    if (size < 0 || session.sizeAtOpen < 0) return 0;
    return size != session.sizeAtOpen ? kErrorInputChanged : 0;
}

CutShort FindCutShort(const InputSession& session, std::int64_t read, std::int64_t cutByTheEnd) {
    AVFormatContext* input = session.input.get();
    const std::int64_t size = InputSize(input);
    CutShort result;
    result.missing = cutByTheEnd;
    if (size < 0) {
        result.cut = cutByTheEnd > 0;
        return result;
    }

    std::int64_t listed = 0, pastEnd = 0;
    bool seekPointPastEnd = false;
    for (unsigned i = 0; i < input->nb_streams && i < session.streams.size(); ++i) {
        const StreamContext& context = session.streams[i];
        if (context.outputIndex < 0 || context.type != AVMEDIA_TYPE_VIDEO) continue;
        AVStream* stream = input->streams[i];
        const int entries = avformat_index_get_entries_count(stream);
        for (int e = 0; e < entries; ++e) {
            const AVIndexEntry* entry = avformat_index_get_entry(stream, e);
            if (!entry) continue;
            // Only entries that give a packet's size come from an index of
            // the file's packets (MP4, AVI); others only mark where to seek.
            if (entry->size <= 0) {
                seekPointPastEnd = seekPointPastEnd || entry->pos >= size;
                continue;
            }
            ++listed;
            if (entry->pos + entry->size > size) ++pastEnd;
        }
    }
    result.cut = pastEnd > 0 || cutByTheEnd > 0 || seekPointPastEnd;
    // Where the demuxer stopped before the first entry past the end (at a
    // packet of another stream cut in two, say), the entries it never
    // reached are missing too.
    if (pastEnd > 0) result.missing = std::max({pastEnd, listed - read, cutByTheEnd});
    return result;
}

}  // namespace velmora
