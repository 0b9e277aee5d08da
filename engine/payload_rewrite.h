#pragma once

// What a copied packet's contents need before the output's muxer takes them,
// decided once per stream. Most streams need nothing: their packets go out
// byte for byte. Two do:
//  - DV video carries its sound inside every picture (dv_sound.h);
//  - raw pictures go to the YUV4MPEG muxer as frames (wrapped_picture.h).

extern "C" {
#include <libavformat/avformat.h>
}

namespace velmora {

class PayloadRewrite {
public:
    PayloadRewrite() = default;
    // For the packets of input stream `in` copied into output stream `out`
    // (declared by AddOutputStream). `in` must outlive this object.
    PayloadRewrite(const AVStream* in, const AVStream* out);

    // Rewrites `packet` in place as the output needs it. Returns 0, or an
    // error code when the packet cannot be made what the output needs: the
    // copy must then be refused rather than write it as it is.
    int Apply(AVPacket* packet) const;

private:
    enum class Kind { kNone, kSilenceDvSound, kWrapRawPicture };
    Kind m_kind = Kind::kNone;
    const AVCodecParameters* m_in = nullptr;
};

}  // namespace velmora
