#include "engine/input_complete.h"

#include "engine/engine_errors.h"

namespace velmora {

std::int64_t InputSize(AVFormatContext* input) {
    // For a file this asks the file system, not the demuxer's idea of it.
    if (!input->pb || (input->pb->seekable & AVIO_SEEKABLE_NORMAL) == 0) return -1;
    const std::int64_t size = avio_size(input->pb);
    return size > 0 ? size : -1;
}

int CheckInputWhole(const InputSession& session) {
    AVFormatContext* input = session.input.get();
    const std::int64_t size = InputSize(input);
    if (size < 0 || session.sizeAtOpen < 0) return 0;
    if (size != session.sizeAtOpen) return kErrorInputChanged;

    for (unsigned i = 0; i < input->nb_streams && i < session.streams.size(); ++i) {
        const StreamContext& context = session.streams[i];
        if (context.outputIndex < 0 || context.type != AVMEDIA_TYPE_VIDEO) continue;
        AVStream* stream = input->streams[i];
        // Only entries that give a packet's size come from an index of the
        // file's packets (MP4, AVI); others only mark where to seek.
        const int entries = avformat_index_get_entries_count(stream);
        for (int e = 0; e < entries; ++e) {
            const AVIndexEntry* entry = avformat_index_get_entry(stream, e);
            if (entry && entry->size > 0 && entry->pos + entry->size > size)
                return kErrorInputTruncated;
        }
    }
    return 0;
}

}  // namespace velmora
