#pragma once

// Checks that an output folder can take the outputs of a job: it exists, a
// file can be created in it, and it has room for the inputs. Results are
// values; the caller words them.

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

enum class FolderCheck {
    kOk,
    kBareSeparator,   // the folder text is a lone "\": the window stops silently
    kMissing,         // nothing of that name exists
    kNotAFolder,      // the name exists but is not a folder
    kNotWritable,     // the write test could not create a file there
    kNotEnoughSpace,  // fewer free bytes than the inputs' total size
};

struct FolderCheckResult {
    FolderCheck check = FolderCheck::kOk;
    std::error_code error;         // why the write test failed (kNotWritable)
    std::uintmax_t needed = 0;     // sum of the readable input sizes
    std::uintmax_t available = 0;  // free bytes where the folder lives
};

// How far CheckOutputFolder() goes. A dry run only looks: it never creates
// a file, not even the write test's.
enum class FolderCheckDepth {
    kFull,
    kWithoutWriting,
};

// Runs the checks in order: existence, write test (skipped without
// writing), space test. The window, the command line and its dry run all
// check a folder this one way. `folder` and `inputs` are UTF-8 names;
// inputs whose size cannot be read count as 0.
FolderCheckResult CheckOutputFolder(const std::string& folder,
                                    const std::vector<std::string>& inputs,
                                    FolderCheckDepth depth = FolderCheckDepth::kFull);

// Proves that a file can be created in `folder` by creating one exclusively
// and deleting it again. Only a file this call created is ever deleted: when
// a file of the test name is already there it is left alone and another name
// is tried. Returns an empty error code when the folder is writable.
std::error_code FolderWriteTest(const std::filesystem::path& folder);

// Sum of the sizes of the inputs that can be read; others count as 0.
std::uintmax_t TotalInputSize(const std::vector<std::string>& inputs);
