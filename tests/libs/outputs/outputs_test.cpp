// The companions' shared output steps: the format a name asks for, and a made file
// put in place whole with the program's "wrote" or failure line, or not at all.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../../support/temp_dir.h"
#include "outputs/made_file.h"
#include "outputs/name_format.h"

namespace {

using outputs::FloatFormat;

TEST(NameFormat, ExtensionDecidesCaseInsensitively) {
    struct Case {
        const char* name;
        FloatFormat format;
        bool png;
    };
    const Case cases[] = {
        {"a.exr", FloatFormat::Exr, false},       {"dir/A.EXR", FloatFormat::Exr, false},
        {"a.tif", FloatFormat::Tiff, false},      {"a.TiFF", FloatFormat::Tiff, false},
        {"a.png", FloatFormat::Unknown, true},    {"A.PNG", FloatFormat::Unknown, true},
        {"x.exr/a", FloatFormat::Unknown, false}, {"a.tif.png", FloatFormat::Unknown, true},
        {"a.png.tif", FloatFormat::Tiff, false},  {"exr", FloatFormat::Unknown, false},
        {"png", FloatFormat::Unknown, false},     {"a.tiffs", FloatFormat::Unknown, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(outputs::FloatFormatOf(c.name), c.format) << c.name;
        EXPECT_EQ(outputs::IsPngName(c.name), c.png) << c.name;
    }
}

// What a stream captured, closed.
std::string Taken(std::FILE* stream, char** text, std::size_t* size) {
    std::fclose(stream);
    std::string taken(*text, *size);
    std::free(*text);
    return taken;
}

TEST(PutMadeFile, WritesWholeOrLeavesTheOlderFile) {
    struct Case {
        const char* what;
        const char* name;  // in the scratch folder
        status::Status made;
        std::string why;
        std::size_t bytes;      // over one 16 MiB piece included
        const char *out, *err;  // NAME stands for the path
    };
    const std::size_t kLarge = (std::size_t{16} << 20) + 3;
    const Case cases[] = {
        {"written", "a.bin", status::Ok(), "", 5, "wrote NAME\n", ""},
        {"in pieces", "a.bin", status::Ok(), "", kLarge, "wrote NAME\n", ""},
        {"not made, words", "a.bin", status::Fail(status::Code::InvalidData, "x"), "too wide", 5, "",
         "prog: cannot make NAME: too wide\n"},
        {"not made, code", "a.bin", status::OutOfMemory(), "", 5, "", "prog: cannot make NAME: Ran out of memory\n"},
        {"no folder", "none/a.bin", status::Ok(), "", 5, "",
         "prog: cannot write NAME: The system cannot find the path specified\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path = dir.file(c.name), older = dir.file("a.bin");
        WriteAll(older, "older");
        std::vector<std::uint8_t> bytes(c.bytes);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 4093);
        char *outText = nullptr, *errText = nullptr;
        std::size_t outSize = 0, errSize = 0;
        std::FILE* out = open_memstream(&outText, &outSize);
        std::FILE* err = open_memstream(&errText, &errSize);
        const status::Status put = outputs::PutMadeFile({"prog", out, err}, path, c.made, c.why, bytes);
        const auto named = [&](std::string text) {
            if (const auto at = text.find("NAME"); at != std::string::npos) text.replace(at, 4, path);
            return text;
        };
        EXPECT_EQ(Taken(out, &outText, &outSize), named(c.out)) << c.what;
        EXPECT_EQ(Taken(err, &errText, &errSize), named(c.err)) << c.what;
        EXPECT_EQ(put.ok(), !std::string(c.out).empty()) << c.what;
        const std::vector<char> want =
            put.ok() ? std::vector<char>(bytes.begin(), bytes.end()) : std::vector<char>{'o', 'l', 'd', 'e', 'r'};
        EXPECT_EQ(ReadAll(older), want) << c.what;
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.bin"}) << c.what;  // nothing left beside it
    }
}

}  // namespace
