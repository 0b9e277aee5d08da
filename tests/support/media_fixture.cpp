#include "media_fixture.h"

#include "test_media.h"

namespace testmedia {

std::filesystem::path SmallVideo(const std::string& ext) {
    return Make("av." + ext, kPicture + " " + kSound + " -pix_fmt yuv420p -c:v libx264 -c:a aac");
}

std::filesystem::path NoisyTransportStream() {
    return Make("noisy.ts",
                "-f lavfi -i testsrc=duration=10:size=160x120:rate=25 -f lavfi -i "
                "sine=duration=10 -vf noise=alls=60:allf=t+u -pix_fmt yuv420p "
                "-c:v libx264 -preset ultrafast -g 25 -c:a aac");
}

std::filesystem::path RealMedia() {
    return Make("real.rm", kPicture + " " + kSound + " -c:v rv20 -c:a ac3");
}

std::filesystem::path AudioOnly() {
    return Make("sound_only.m4a", "-f lavfi -i sine=duration=1 -c:a aac");
}

}  // namespace testmedia
