#include "engine/payload_rewrite.h"

#include "engine/dv_sound.h"

namespace velmora {

PayloadRewrite::PayloadRewrite(const AVStream* in, const AVStream* /*out*/) {
    if (in->codecpar->codec_id == AV_CODEC_ID_DVVIDEO) m_kind = Kind::kSilenceDvSound;
}

int PayloadRewrite::Apply(AVPacket* packet) const {
    switch (m_kind) {
        case Kind::kNone:
            return 0;
        case Kind::kSilenceDvSound:
            return SilenceDvSound(packet);
    }
    return 0;
}

}  // namespace velmora
