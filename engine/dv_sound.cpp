#include "engine/dv_sound.h"

#include <algorithm>

extern "C" {
#include <libavcodec/dv_profile.h>
}

#include "engine/engine_errors.h"

namespace velmora {

namespace {

// A DV frame is a run of DIF sequences (per DIF channel, one after the
// other) of 150 blocks of 80 bytes. Each sequence starts with one header,
// two subcode and three VAUX blocks, then nine times one audio block and
// fifteen video blocks. The top three bits of a block's first byte name its
// section type.
constexpr std::size_t kBlockSize = 80;
constexpr std::size_t kBlocksPerSequence = 150;
constexpr std::size_t kSequenceSize = kBlockSize * kBlocksPerSequence;
constexpr std::size_t kAudioBlocksPerSequence = 9;
constexpr std::size_t kFirstAudioBlock = 6;
constexpr std::size_t kAudioBlockSpacing = 16;  // one audio and fifteen video blocks

enum SectionType : std::uint8_t { kHeader = 0, kSubcode = 1, kVaux = 2, kAudio = 3 };

// The section type each of the first six blocks of a sequence has.
constexpr SectionType kLeadingBlocks[kFirstAudioBlock] = {kHeader, kSubcode, kSubcode,
                                                          kVaux,   kVaux,    kVaux};

constexpr std::size_t kIdSize = 3;
constexpr std::size_t kPackSize = 5;
constexpr std::uint8_t kNoInfoPack = 0xFF;

std::uint8_t SectionOf(const std::uint8_t* block) { return block[0] >> 5; }

// Where the `n`th audio block of a sequence starts, from the sequence's start.
constexpr std::size_t AudioBlockAt(std::size_t n) {
    return (kFirstAudioBlock + n * kAudioBlockSpacing) * kBlockSize;
}

// Whether the blocks of one sequence that are not video are where DV puts
// them. The video blocks are not looked at: their IDs play no part in
// finding the sound, and a damaged one is the picture decoder's business.
bool KnownSequence(const std::uint8_t* sequence) {
    for (std::size_t i = 0; i < kFirstAudioBlock; ++i)
        if (SectionOf(sequence + i * kBlockSize) != kLeadingBlocks[i]) return false;
    for (std::size_t n = 0; n < kAudioBlocksPerSequence; ++n)
        if (SectionOf(sequence + AudioBlockAt(n)) != kAudio) return false;
    return true;
}

void SilenceSequence(std::uint8_t* sequence) {
    for (std::size_t n = 0; n < kAudioBlocksPerSequence; ++n) {
        std::uint8_t* pack = sequence + AudioBlockAt(n) + kIdSize;
        std::fill(pack, pack + kPackSize, kNoInfoPack);
        std::uint8_t* samples = pack + kPackSize;
        std::fill(samples, samples + kBlockSize - kIdSize - kPackSize, std::uint8_t{0});
    }
}

}  // namespace

bool SilenceDvFrame(std::uint8_t* frame, std::size_t size) {
    if (size < DV_PROFILE_BYTES) return false;
    // Given no previous profile, FFmpeg names the profile from this frame's
    // header instead of keeping the last one because the size fits.
    const AVDVProfile* profile = av_dv_frame_profile(nullptr, frame, static_cast<unsigned>(size));
    if (!profile || profile->frame_size < 0 ||
        size != static_cast<std::size_t>(profile->frame_size))
        return false;
    const std::size_t sequences = static_cast<std::size_t>(profile->difseg_size) *
                                  static_cast<std::size_t>(profile->n_difchan);
    if (sequences * kSequenceSize != size) return false;

    // Checked in full before anything is changed, so a refused frame is
    // left as it came.
    for (std::size_t s = 0; s < sequences; ++s)
        if (!KnownSequence(frame + s * kSequenceSize)) return false;
    for (std::size_t s = 0; s < sequences; ++s) SilenceSequence(frame + s * kSequenceSize);
    return true;
}

int SilenceDvSound(AVPacket* packet) {
    // An empty packet (a frame the capture dropped, in AVI) holds no sound.
    if (packet->size == 0) return 0;
    if (const int rc = av_packet_make_writable(packet); rc < 0) return rc;
    if (packet->size < 0 || !SilenceDvFrame(packet->data, static_cast<std::size_t>(packet->size)))
        return kErrorUnknownDvFrame;
    return 0;
}

}  // namespace velmora
