#pragma once

// Which input streams the engine treats as the file's video, which it
// carries into the output, and which it leaves behind. The probe and the job
// use the same rules, so a file the probe accepts is one the job can copy.

extern "C" {
#include <libavformat/avformat.h>
}

namespace velmora {

// A cover picture (album art, a thumbnail) is a still picture attached to
// the file, whatever its codec. It is never the file's video.
inline bool IsCoverPicture(const AVStream* stream) {
    return (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

// Real moving pictures: any video stream that is not a cover picture, PNG
// and MJPEG included.
inline bool IsVideo(const AVStream* stream) {
    return stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !IsCoverPicture(stream);
}

inline bool IsAudio(const AVStream* stream) {
    return stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
}

// Streams that get a stream in the output: the video only. The sound is
// what the user wants gone, so no audio track is declared, not even an
// empty one (players and media-info tools would still list it). Subtitles,
// data, attachments and cover pictures are left behind too.
inline bool IsDeclaredInOutput(const AVStream* stream) {
    return IsVideo(stream) && stream->codecpar->codec_id != AV_CODEC_ID_DVD_NAV;
}

// Streams whose decoder must open for the file to be taken: the audio too,
// so a file whose sound no decoder here can read is refused, as before.
inline bool IsProvenDecodable(const AVStream* stream) {
    return (IsVideo(stream) || IsAudio(stream)) &&
           stream->codecpar->codec_id != AV_CODEC_ID_DVD_NAV;
}

}  // namespace velmora
