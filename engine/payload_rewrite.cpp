#include "engine/payload_rewrite.h"

#include "engine/dv_sound.h"
#include "engine/wrapped_picture.h"

namespace velmora {

PayloadRewrite::PayloadRewrite(const AVStream* in, const AVStream* out) : m_in(in->codecpar) {
    if (in->codecpar->codec_id == AV_CODEC_ID_DVVIDEO)
        m_kind = Kind::kSilenceDvSound;
    else if (in->codecpar->codec_id == AV_CODEC_ID_RAWVIDEO &&
             out->codecpar->codec_id == AV_CODEC_ID_WRAPPED_AVFRAME)
        m_kind = Kind::kWrapRawPicture;
}

int PayloadRewrite::Apply(AVPacket* packet) const {
    switch (m_kind) {
        case Kind::kNone:
            return 0;
        case Kind::kSilenceDvSound:
            return SilenceDvSound(packet);
        case Kind::kWrapRawPicture:
            return WrapRawPicture(packet, m_in);
    }
    return 0;
}

}  // namespace velmora
