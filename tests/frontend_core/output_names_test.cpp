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

TEST(FileNameOf, SplitsAtTheLastSeparatorOfEitherKind) {
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\videos\\a.mp4", "a.mp4"},  {"/videos/a.mp4", "a.mp4"}, {"a.mp4", "a.mp4"},
        {"C:\\x/y\\a b.mkv", "a b.mkv"}, {"/x\\y/a.mkv", "a.mkv"},   {"/videos/", ""},
    };
    for (const auto& [path, name] : cases) EXPECT_EQ(velmora::FileNameOf(path), name) << path;
}

}  // namespace
