#include "frontend_core/output_names.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>

#include "engine/output_name.h"
#include "engine/utf8_path.h"
#include "test_media.h"

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& path) { std::ofstream(path) << "x"; }

struct NameCase {
    const char* label;
    std::vector<std::string> existing;  // files already in the output folder
    std::vector<std::string> inputs;    // paths relative to a source folder
    std::vector<std::string> expected;  // file names in the output folder; "" = no extension
};

void PrintTo(const NameCase& c, std::ostream* out) { *out << c.label; }

class OutputNamesTest : public testing::TestWithParam<NameCase> {};

TEST_P(OutputNamesTest, MakesUniqueNamesInTheFolder) {
    const NameCase& c = GetParam();
    testmedia::TempDir dir;
    const fs::path out = dir / "out";
    fs::create_directories(out);
    for (const auto& name : c.existing) Touch(out / PathFromUtf8(name));

    std::vector<std::string> inputs;
    for (const auto& input : c.inputs) inputs.push_back(Utf8FromPath(dir / "src") + "/" + input);

    const auto names = PlanOutputNames(Utf8FromPath(out), inputs);
    ASSERT_EQ(names.size(), c.expected.size());
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(c.inputs[i]);
        if (c.expected[i].empty()) {
            EXPECT_EQ(names[i].result, OutputNameResult::kNoExtension);
            EXPECT_EQ(names[i].path, "");
        } else {
            EXPECT_EQ(names[i].result, OutputNameResult::kOk);
            EXPECT_EQ(names[i].path, Utf8FromPath(out) + "/" + c.expected[i]);
            // The engine goes on from this place when the name is taken by
            // the time the copy is finished.
            EXPECT_EQ(velmora::NameAt(names[i].place), names[i].path);
            EXPECT_EQ(names[i].place.first,
                      Utf8FromPath(out) + "/" + velmora::FileNameOf(c.inputs[i]));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputNamesTest,
    testing::Values(
        NameCase{"free", {}, {"a.mp4", "b.avi", "c.mkv"}, {"a.mp4", "b.avi", "c.mkv"}},
        NameCase{"taken", {"a.mp4"}, {"a.mp4"}, {"a(0).mp4"}},
        NameCase{"taken twice", {"a.mp4", "a(0).mp4"}, {"a.mp4"}, {"a(1).mp4"}},
        NameCase{"gap is reused", {"a.mp4", "a(1).mp4"}, {"a.mp4"}, {"a(0).mp4"}},
        NameCase{"other extension does not count", {"a.mkv"}, {"a.mp4"}, {"a.mp4"}},
        NameCase{"same name from two folders", {}, {"x/a.mp4", "y/a.mp4"}, {"a.mp4", "a(0).mp4"}},
        NameCase{"same name, one on disk",
                 {"a.mp4"},
                 {"x/a.mp4", "y/a.mp4", "z/a.mp4"},
                 {"a(0).mp4", "a(1).mp4", "a(2).mp4"}},
        NameCase{"same file twice", {}, {"a.mp4", "a.mp4"}, {"a.mp4", "a(0).mp4"}},
        NameCase{"mark goes before the last dot", {"a.b.mp4"}, {"a.b.mp4"}, {"a.b(0).mp4"}},
        NameCase{"no dot, the others go on", {}, {"movie", "a.mp4"}, {"", "a.mp4"}},
        NameCase{"dot in a folder only", {}, {"d.ir/movie"}, {""}},
        NameCase{"a name ending in a number is numbered like any other",
                 {"clip(3).mp4"},
                 {"clip(3).mp4"},
                 {"clip(3)(0).mp4"}},
        NameCase{"numbered inputs keep to their own names",
                 {"clip(3).mp4", "clip.mp4"},
                 {"clip(3).mp4", "clip(4).mp4", "clip.mp4"},
                 {"clip(3)(0).mp4", "clip(4).mp4", "clip(0).mp4"}},
        NameCase{"an input named like another's numbered name",
                 {"clip.mp4"},
                 {"clip.mp4", "clip(0).mp4"},
                 {"clip(0).mp4", "clip(0)(0).mp4"}},
        NameCase{"a number in parentheses that is not ours",
                 {"take (2).mp4", "x(abc).mp4"},
                 {"take (2).mp4", "x(abc).mp4"},
                 {"take (2)(0).mp4", "x(abc)(0).mp4"}},
        NameCase{"spaces and other scripts",
                 {"my clip 视频 ü.mkv"},
                 {"my clip 视频 ü.mkv", "Ωμέγα ñ.ts"},
                 {"my clip 视频 ü(0).mkv", "Ωμέγα ñ.ts"}}),
    [](const testing::TestParamInfo<NameCase>& info) {
        std::string name;
        for (const char* p = info.param.label; *p; ++p)
            name += (std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
        return name;
    });

TEST(OutputNames, ANameTakenByAFolderOrADanglingLinkIsNotUsed) {
    testmedia::TempDir dir;
    fs::create_directory(dir / "a.mp4");
    fs::create_symlink(dir / "nowhere.mkv", dir / "b.mkv");
    const auto names = PlanOutputNames(Utf8FromPath(dir.path()), {"/src/a.mp4", "/src/b.mkv"});
    EXPECT_EQ(names[0].path, Utf8FromPath(dir / "a(0).mp4"));
    EXPECT_EQ(names[1].path, Utf8FromPath(dir / "b(0).mkv"));
}

TEST(OutputNames, AnInputInTheOutputFolderIsNeverItsOwnOutput) {
    testmedia::TempDir dir;
    Touch(dir / "a.mp4");
    const auto names = PlanOutputNames(Utf8FromPath(dir.path()), {Utf8FromPath(dir / "a.mp4")});
    EXPECT_EQ(names[0].path, Utf8FromPath(dir / "a(0).mp4"));
}

TEST(OutputNames, NamesWithSpacesAndOtherScriptsCanBeCreated) {
    testmedia::TempDir dir;
    const fs::path out = dir / "Ausgabe ä 出力";
    fs::create_directory(out);
    const auto names = PlanOutputNames(Utf8FromPath(out), {"/in/ein Film ß 影片.mp4"});
    ASSERT_EQ(names[0].result, OutputNameResult::kOk);
    Touch(PathFromUtf8(names[0].path));
    EXPECT_TRUE(fs::exists(out / PathFromUtf8("ein Film ß 影片.mp4")));
}

TEST(OutputNames, ATrailingSeparatorIsNotDoubled) {
    testmedia::TempDir dir;
    const std::string folder = Utf8FromPath(dir.path()) + "/";
    EXPECT_EQ(PlanOutputNames(folder, {"a.mp4"})[0].path, folder + "a.mp4");
}

// The names an output may take, in the order it takes them, and the names
// of the files it is held under before it is finished. Every one fits the
// file system's limit, cut on a character boundary.
struct SequenceCase {
    const char* label;
    std::string first;
    long long number;
    std::string expected;
};

void PrintTo(const SequenceCase& c, std::ostream* out) { *out << c.label; }

class NameSequenceTest : public testing::TestWithParam<SequenceCase> {};

TEST_P(NameSequenceTest, NumbersTheFirstChoice) {
    const SequenceCase& c = GetParam();
    EXPECT_EQ(velmora::NameAt({c.first, c.number}), c.expected);
    EXPECT_LE(velmora::FileNameOf(velmora::NameAt({c.first, c.number})).size(),
              velmora::kMaxFileNameBytes);
}

const std::string kLongStem(250, 'a');
// 84 three-byte characters: 252 bytes.
std::string LongWide() {
    std::string text;
    for (int i = 0; i < 84; ++i) text += "影";
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NameSequenceTest,
    testing::Values(
        SequenceCase{"first choice", "out/clip.mp4", -1, "out/clip.mp4"},
        SequenceCase{"first number", "out/clip.mp4", 0, "out/clip(0).mp4"},
        SequenceCase{"ending in a number", "out/clip(3).mp4", -1, "out/clip(3).mp4"},
        SequenceCase{"ending in a number, numbered", "out/clip(3).mp4", 0, "out/clip(3)(0).mp4"},
        SequenceCase{"ending in a number, further on", "out/clip(3).mp4", 4, "out/clip(3)(4).mp4"},
        SequenceCase{"no extension", "out/clip(3)", 1, "out/clip(3)(1)"},
        SequenceCase{"dot in the folder only", "o.ut/clip", 2, "o.ut/clip(2)"},
        SequenceCase{"long name cut to fit", "o/" + kLongStem + ".mp4", 12,
                     "o/" + std::string(247, 'a') + "(12).mp4"},
        SequenceCase{"long name in another script cut on a character", "o/" + LongWide() + ".ts", 0,
                     "o/" + LongWide().substr(0, 249) + "(0).ts"}),
    [](const testing::TestParamInfo<SequenceCase>& info) {
        std::string name;
        for (const char* p = info.param.label; *p; ++p)
            name += (std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
        return name;
    });

TEST(TemporaryNames, KeepTheFinalNameInFrontAndFitTheLimit) {
    const struct {
        std::string finalName;
        std::string temporary;  // TemporaryName(finalName, "abcdef")
        std::string setAside;   // SetAsideName(finalName, -1)
        std::string setAside1;  // SetAsideName(finalName, 1)
    } cases[] = {
        {"out/clip(3).mp4", "out/clip(3).mp4.velmora-abcdef.part",
         "out/clip(3).mp4.velmora-stopped.part", "out/clip(3).mp4.velmora-stopped(1).part"},
        {"o/" + kLongStem + ".mp4", "o/" + std::string(235, 'a') + ".velmora-abcdef.part",
         "o/" + std::string(234, 'a') + ".velmora-stopped.part",
         "o/" + std::string(231, 'a') + ".velmora-stopped(1).part"},
        {"o/" + LongWide() + ".ts", "o/" + LongWide().substr(0, 234) + ".velmora-abcdef.part",
         "o/" + LongWide().substr(0, 234) + ".velmora-stopped.part",
         "o/" + LongWide().substr(0, 231) + ".velmora-stopped(1).part"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(velmora::TemporaryName(c.finalName, "abcdef"), c.temporary);
        EXPECT_EQ(velmora::SetAsideName(c.finalName, -1), c.setAside);
        EXPECT_EQ(velmora::SetAsideName(c.finalName, 1), c.setAside1);
    }
}

TEST(FileNameOf, SplitsAtTheLastSeparatorOfEitherKind) {
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\videos\\a.mp4", "a.mp4"},  {"/videos/a.mp4", "a.mp4"}, {"a.mp4", "a.mp4"},
        {"C:\\x/y\\a b.mkv", "a b.mkv"}, {"/x\\y/a.mkv", "a.mkv"},   {"/videos/", ""},
    };
    for (const auto& [path, name] : cases) EXPECT_EQ(velmora::FileNameOf(path), name) << path;
}

}  // namespace
