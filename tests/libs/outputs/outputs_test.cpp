// The format a name asks for; the names refused; a made file put in place whole with its line, or not at all.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../../support/temp_dir.h"
#include "outputs/made_file.h"
#include "outputs/name_format.h"
#include "outputs/refused_names.h"

namespace {

TEST(NameFormat, ExtensionDecidesCaseInsensitively) {
    using enum outputs::FloatFormat;
    const struct {
        const char* name;
        outputs::FloatFormat format;
        bool png;
    } cases[] = {
        {"a.exr", Exr, false},    {"dir/A.EXR", Exr, false},   {"a.TiFF", Tiff, false},      {"a.tif", Tiff, false},
        {"A.PNG", Unknown, true}, {"x.exr/a", Unknown, false}, {"a.tif.png", Unknown, true}, {"a.png.tif", Tiff, false},
        {"png", Unknown, false},  {"a.tiffs", Unknown, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(outputs::FloatFormatOf(c.name), c.format) << c.name;
        EXPECT_EQ(outputs::IsPngName(c.name), c.png) << c.name;
    }
}

struct Captured {  // a stream's text, kept in memory
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* file = open_memstream(&text, &size);
    std::string taken() {
        std::fclose(file);
        std::string kept(text, size);
        std::free(text);
        return kept;
    }
};

TEST(PutMadeFile, WritesWholeOrLeavesTheOlderFile) {
    struct Case {
        const char* name;  // in the scratch folder
        status::Status made;
        const char* why;
        std::size_t bytes;    // more than one 16 MiB piece included
        const char* failure;  // after "prog: ", @ the path; "" when written
    };
    const Case cases[] = {
        {"a.bin", status::Ok(), "", 5, ""},
        {"a.bin", status::Ok(), "", (std::size_t{16} << 20) + 3, ""},
        {"a.bin", status::Fail(status::Code::InvalidData, "x"), "too wide", 5, "cannot make @: too wide"},
        {"a.bin", status::OutOfMemory(), "", 5, "cannot make @: Ran out of memory"},
        {"none/a.bin", status::Ok(), "", 5, "cannot write @: The system cannot find the path specified"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        TempDir dir;
        const std::string path = dir.file(c.name), older = dir.file("a.bin");
        WriteAll(older, "older");
        std::vector<std::uint8_t> bytes(c.bytes);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 4093);
        Captured out, err;
        const bool put = outputs::PutMadeFile({"prog", out.file, err.file}, path, c.made, c.why, bytes).ok();
        std::string failure = c.failure;
        if (!failure.empty()) failure = "prog: " + failure.replace(failure.find('@'), 1, path) + "\n";
        EXPECT_EQ(put, failure.empty());
        EXPECT_EQ(out.taken(), put ? "wrote " + path + "\n" : "");
        EXPECT_EQ(err.taken(), failure);
        const std::vector<char> written(bytes.begin(), bytes.end()), untouched{'o', 'l', 'd', 'e', 'r'};
        EXPECT_EQ(ReadAll(older), put ? written : untouched);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.bin"});  // nothing left beside it
    }
}

TEST(CheckOutputNames, RefusalSaysWhyInTheProgramsWords) {
    const struct {
        std::vector<std::string> outputs;  // in the scratch folder, where "in" exists
        const char* failure;               // after "prog: ", @ the folder; "" when all may be written
    } cases[] = {
        {{"a.tif", "b.tif"}, ""},
        {{"a.tif", "in"}, "cannot write @/in: the input @/in"},
        {{"a.tif", "./a.tif"}, "cannot write @/./a.tif: it is the same file as the output @/a.tif"},
        {{"none/a.tif"}, "cannot write @/none/a.tif: The system cannot find the path specified"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        TempDir dir;
        WriteAll(dir.file("in"), "x");
        std::vector<std::string> names;
        for (const std::string& name : c.outputs) names.push_back(dir.file(name));
        Captured err;
        const auto words = [](const std::string& input) { return "the input " + input; };
        const bool ok = outputs::CheckOutputNames(err.file, "prog", names, {dir.file("in")}, words).ok();
        std::string failure = c.failure;
        for (std::size_t at; (at = failure.find('@')) != std::string::npos;) failure.replace(at, 1, dir.path());
        EXPECT_EQ(ok, failure.empty());
        EXPECT_EQ(err.taken(), failure.empty() ? "" : "prog: " + failure + "\n");
    }
}
}  // namespace
