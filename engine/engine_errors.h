#pragma once

// Error codes of the engine's own, beside FFmpeg's: failures that no errno
// describes. They are FFmpeg-style tags (negative), so every failure still
// travels as one int and the front ends turn it into words in one place.

extern "C" {
#include <libavutil/error.h>
}

namespace velmora {

// The probe's refusals of what a file holds. The file system's own errors
// (a missing file, no permission, a bad sector) are not these: they pass
// through as FFmpeg gives them.
// FFmpeg cannot read the file as media, or it holds no video stream.
inline constexpr int kErrorNotVideoFile = FFERRTAG('V', 'N', 'V', 'F');
// FFmpeg opened the file but could not tell what its streams hold.
inline constexpr int kErrorNoStreamInfo = FFERRTAG('V', 'N', 'S', 'I');

// The output file was removed (alone or with its folder) while it was
// written.
inline constexpr int kErrorOutputRemoved = FFERRTAG('V', 'O', 'R', 'M');
// The input changed size while it was read: cut short, or still growing.
inline constexpr int kErrorInputChanged = FFERRTAG('V', 'I', 'C', 'H');
// The input's index points past its end, and the file was cut short before
// its first video packet that could be copied.
inline constexpr int kErrorInputTruncated = FFERRTAG('V', 'I', 'T', 'R');
// Not one video packet of the input could be written.
inline constexpr int kErrorNoVideoCopied = FFERRTAG('V', 'N', 'V', 'C');
// The output container cannot hold the input's video codec.
inline constexpr int kErrorCodecNotInContainer = FFERRTAG('V', 'C', 'N', 'C');
// The output container writes files of its own (image sequences,
// playlists, segments), so it cannot be one new file.
inline constexpr int kErrorNotSingleFile = FFERRTAG('V', 'N', 'S', 'F');
// FFmpeg's writer of the input's container changes the video packets it
// is given (RealMedia), so a copy would not be the input's video.
inline constexpr int kErrorWriterChangesVideo = FFERRTAG('V', 'W', 'C', 'V');
// A worker thread could not be started.
inline constexpr int kErrorNoThread = FFERRTAG('V', 'N', 'T', 'H');
// A DV frame is not laid out as any DV kind this program knows (damaged,
// or of a size no DV profile has): its sound cannot be told from its
// pictures, so it cannot be taken out.
inline constexpr int kErrorUnknownDvFrame = FFERRTAG('V', 'U', 'D', 'V');

}  // namespace velmora
