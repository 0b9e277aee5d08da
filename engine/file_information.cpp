#include "engine/file_information.h"

#include <algorithm>

extern "C" {
#include <libavutil/avstring.h>
}

namespace velmora {

namespace {

// Tags some demuxers keep about the sound of the file ("audiocodecid",
// "audiodatarate", …): true of the input, false of the copy.
bool DescribesSound(const char* key) { return av_strncasecmp(key, "audio", 5) == 0; }

int CopyTags(AVFormatContext* output, const AVFormatContext* input) {
    const AVDictionaryEntry* tag = nullptr;
    while ((tag = av_dict_get(input->metadata, "", tag, AV_DICT_IGNORE_SUFFIX))) {
        if (DescribesSound(tag->key)) continue;
        if (const int rc = av_dict_set(&output->metadata, tag->key, tag->value, 0); rc < 0)
            return rc;
    }
    return 0;
}

// The chapter list belongs to the output context, which frees it with
// each chapter and its tags.
int CopyChapters(AVFormatContext* output, const AVFormatContext* input, const FileShift& shift) {
    if (input->nb_chapters == 0) return 0;
    auto** list = static_cast<AVChapter**>(av_calloc(input->nb_chapters, sizeof(AVChapter*)));
    if (!list) return AVERROR(ENOMEM);
    output->chapters = list;
    for (unsigned i = 0; i < input->nb_chapters; ++i) {
        const AVChapter* in = input->chapters[i];
        const std::int64_t by = shift.In(in->time_base);
        if (in->end != AV_NOPTS_VALUE && in->end < by) continue;
        auto* out = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!out) return AVERROR(ENOMEM);
        list[output->nb_chapters++] = out;
        out->id = in->id;
        out->time_base = in->time_base;
        out->start = std::max<std::int64_t>(in->start - by, 0);
        out->end = in->end == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : in->end - by;
        if (const int rc = av_dict_copy(&out->metadata, in->metadata, 0); rc < 0) return rc;
    }
    return 0;
}

}  // namespace

int CopyFileInformation(AVFormatContext* output, const AVFormatContext* input,
                        const FileShift& shift) {
    if (const int rc = CopyTags(output, input); rc < 0) return rc;
    return CopyChapters(output, input, shift);
}

}  // namespace velmora
