// The copy is the same video without its sound: what players, photo
// libraries and media-info tools read besides the packets survives it. One
// table of (input shape, property, value): each property is read with
// ffprobe (or mkvinfo) on Velmora's output and, as a control that shows the
// check can pass, on the ffmpeg program's stream copy of the video, or on
// the input itself where the ffmpeg program drops the property too (the
// recording date). Every row also checks that the video packets are the
// input's and that no audio track is left.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "engine_test_support.h"

namespace enginetest {
namespace {

using testmedia::Make;
using testmedia::Quote;

// A 2 s picture whose codec says 4:3 pixels (16:9 on a 320x240 frame),
// recorded with a date, a place and a timecode, as a phone or a camera
// would.
fs::path Camera(const std::string& ext) {
    return Make("camera." + ext,
                "-f lavfi -i testsrc=duration=2:size=320x240:rate=25 -f lavfi -i "
                "sine=duration=2 -pix_fmt yuv420p -c:v libx264 -c:a aac -aspect 16:9 "
                "-metadata title=Holiday -metadata comment=Beach "
                "-metadata creation_time=2024-05-01T10:00:00Z "
                "-metadata location=+48.8584+002.2945/ -metadata:s:v:0 language=fra "
                "-timecode 01:00:00:00");
}

// Square pixels in the codec, 2:1 in the container ('pasp'): an
// anamorphic picture shown 32:9.
fs::path Anamorphic(const std::string& ext) {
    const fs::path square = Make("square.mp4",
                                 "-f lavfi -i testsrc=duration=2:size=320x180:rate=25 -f lavfi "
                                 "-i sine=duration=2 -pix_fmt yuv420p -c:v libx264 -c:a aac");
    return Make("anamorphic." + ext, "-i " + Quote(square.string()) + " -c copy -aspect 32:9");
}

// A Matroska file as mkvmerge writes it: a 4:3 display size over the
// codec's 16:9, chapters, a title, a named video track that is not the
// default one, and a sound track.
fs::path Matroska() {
    const fs::path picture = Make("picture_only.mp4",
                                  "-f lavfi -i testsrc=duration=2:size=320x240:rate=25 "
                                  "-pix_fmt yuv420p -c:v libx264 -bf 0 -aspect 16:9");
    const fs::path sound = Make("sound_only.wav", "-f lavfi -i sine=duration=2");
    const fs::path chapters = testmedia::CacheDir() / "chapters.txt";
    if (!fs::exists(chapters)) {
        const fs::path tmp = chapters.string() + "." + std::to_string(::getpid());
        std::ofstream(tmp) << "CHAPTER01=00:00:00.000\nCHAPTER01NAME=Arrival\n"
                              "CHAPTER02=00:00:01.000\nCHAPTER02NAME=Beach\n";
        fs::rename(tmp, chapters);
    }
    return testmedia::MakeWithMkvmerge(
        "mkvmerge.mkv", "--title Holiday --chapters " + Quote(chapters.string()) +
                            " --aspect-ratio 0:4/3 --track-name 0:Cam --language 0:fre "
                            "--default-track-flag 0:0 " +
                            Quote(picture.string()) + " " + Quote(sound.string()));
}

// Every value ffprobe prints for the file, by its flat key
// ("format.tags.title", "streams.stream.0.display_aspect_ratio",
// "chapters.chapter.1.tags.title", ...), and for Matroska each line of
// mkvinfo under "mkvinfo".
std::map<std::string, std::string> Properties(const fs::path& file) {
    std::map<std::string, std::string> values;
    std::istringstream lines(
        testmedia::Run("ffprobe -v error -show_format -show_streams "
                       "-show_chapters -of flat " +
                       Quote(file.string())));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        values[line.substr(0, eq)] = value;
    }
    if (file.extension() == ".mkv")
        values["mkvinfo"] = testmedia::Run("mkvinfo " + Quote(file.string()) + " 2>&1");
    return values;
}

enum class Control { kFfmpegCopy, kInput };

struct InformationCase {
    const char* name;
    std::function<fs::path()> make;
    const char* key;       // a flat ffprobe key, or "mkvinfo"
    const char* expected;  // the value; for "mkvinfo" a line it holds
    Control control = Control::kFfmpegCopy;
};

std::ostream& operator<<(std::ostream& os, const InformationCase& c) { return os << c.name; }

bool Holds(const std::map<std::string, std::string>& values, const InformationCase& c) {
    const auto it = values.find(c.key);
    if (it == values.end()) return false;
    if (std::string(c.key) == "mkvinfo") return it->second.find(c.expected) != std::string::npos;
    return it->second == c.expected;
}

class KeptInformation : public testing::TestWithParam<InformationCase> {};

TEST_P(KeptInformation, SurvivesTheCopy) {
    const InformationCase& c = GetParam();
    const fs::path in = c.make();
    testmedia::TempDir dir;
    const fs::path out = dir / ("copy" + in.extension().string());
    CopyOk(in, out);

    fs::path control = in;
    if (c.control == Control::kFfmpegCopy) {
        control = dir / ("ffmpeg" + in.extension().string());
        testmedia::Run("ffmpeg -nostdin -v error -y -i " + Quote(in.string()) +
                       " -map 0:v -c copy " + Quote(control.string()));
    }
    ASSERT_TRUE(Holds(Properties(control), c))
        << "the control " << control.filename() << " lacks " << c.key << " = " << c.expected;
    auto values = Properties(out);
    EXPECT_TRUE(Holds(values, c)) << c.key << " is \"" << values[c.key] << "\", not \""
                                  << c.expected << "\"";

    const Media source(in), copy(out);
    ExpectSameVideo(source, copy);
    EXPECT_EQ(copy.Count("audio"), 0);
}

const InformationCase kCases[] = {
    // The picture's shape.
    {"mkv_track_aspect", Matroska, "streams.stream.0.display_aspect_ratio", "4:3"},
    {"mov_container_aspect", [] { return Anamorphic("mov"); },
     "streams.stream.0.display_aspect_ratio", "32:9"},
    {"mp4_container_aspect", [] { return Anamorphic("mp4"); },
     "streams.stream.0.sample_aspect_ratio", "2:1"},
    {"mp4_codec_aspect", [] { return Camera("mp4"); }, "streams.stream.0.display_aspect_ratio",
     "16:9"},
    // The file's own tags.
    {"mkv_title", Matroska, "format.tags.title", "Holiday"},
    {"mp4_title", [] { return Camera("mp4"); }, "format.tags.title", "Holiday"},
    {"mov_comment", [] { return Camera("mov"); }, "format.tags.comment", "Beach"},
    {"mp4_location", [] { return Camera("mp4"); }, "format.tags.location", "+48.8584+002.2945/"},
    {"mov_location", [] { return Camera("mov"); }, "format.tags.location", "+48.8584+002.2945/"},
    {"mp4_recording_date", [] { return Camera("mp4"); }, "format.tags.creation_time",
     "2024-05-01T10:00:00.000000Z", Control::kInput},
    {"mov_recording_date", [] { return Camera("mov"); }, "format.tags.creation_time",
     "2024-05-01T10:00:00.000000Z", Control::kInput},
    // Chapters, at the same pictures.
    {"mkv_chapter_count", Matroska, "chapters.chapter.1.tags.title", "Beach"},
    {"mkv_chapter_start", Matroska, "chapters.chapter.1.start_time", "1.000000"},
    // Timecode tracks, with their frame rate.
    {"mov_timecode", [] { return Camera("mov"); }, "streams.stream.0.tags.timecode", "01:00:00:00"},
    {"mp4_timecode", [] { return Camera("mp4"); }, "streams.stream.1.codec_tag_string", "tmcd"},
    // The video track's own facts.
    {"mp4_language", [] { return Camera("mp4"); }, "streams.stream.0.tags.language", "fra"},
    {"mkv_language", Matroska, "streams.stream.0.tags.language", "fre"},
    {"mkv_track_name", Matroska, "streams.stream.0.tags.title", "Cam"},
    {"mkv_not_default", Matroska, "streams.stream.0.disposition.default", "0"},
    {"mkv_default_duration", Matroska, "mkvinfo",
     "Default duration: 00:00:00.040000000 (25.000 frames/fields per second"},
};

INSTANTIATE_TEST_SUITE_P(Shapes, KeptInformation, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace enginetest
