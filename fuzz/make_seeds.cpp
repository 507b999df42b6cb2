// Seed corpora for the harnesses, made by the test archive builders:
//   make-fuzz-seeds FOLDER  (writes FOLDER/archives and FOLDER/streams)
#include "support/archive_builders.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using namespace archive::testing;

int main(int argc, char** argv)
{
    if (argc != 2) {
        return 1;
    }
    const std::filesystem::path archives = std::filesystem::path(argv[1]) / "archives";
    const std::filesystem::path streams = std::filesystem::path(argv[1]) / "streams";
    std::filesystem::create_directories(archives);
    std::filesystem::create_directories(streams);
    int n = 0;
    auto put = [&](const std::filesystem::path& folder, const std::string& bytes) {
        WriteBytes((folder / ("seed-" + std::to_string(n++))).string(), bytes);
    };

    SgaSpec worked = WorkedExampleSga();
    worked.files[0].compress = true;
    worked.files[0].content = std::string(300, 'a');
    put(archives, BuildSga(worked));
    SgaSpec two =
        SgaFromLayout({{"", {}}, {"art", {}}, {"", {{.name = "x.txt", .content = "x"}}}, {"ai", {}}});
    two.tocs.push_back(SgaTocSpec{.alias = "Attrib"});
    put(archives, BuildSga(two));
    put(archives, BuildSga(SgaFromLayout({{"", {{.name = "..\\up", .content = "u"}}}, {".", {{.name = "d"}}}},
                                         "Bonus")));
    SgaSpec bad = WorkedExampleSga();
    bad.files[1].storedBytes = "broken";
    bad.files[1].expandedSize = 100;
    put(archives, BuildSga(bad));
    const std::string whole = BuildSga(worked);
    put(archives, whole.substr(0, 250));

    RbfSpec rbf;
    rbf.entries = {
        {.name = "a\\b\\c.txt"}, {.name = "a\\d.txt"}, {.name = "x"}, {.name = "x\\y"}, {.name = "a\\\\b"}};
    put(archives, BuildRbf(rbf));
    rbf.entries.push_back({.name = "shared", .nameSize = 9, .offset = 15});
    put(archives, BuildRbf(rbf));

    // The attacks of the hostile-input work: records that all name the same bytes, names and
    // aliases full of terminal escapes, unsafe and deep paths, a long folder path that every
    // file of its row repeats.
    RbfSpec shared;
    shared.entries.push_back({.name = std::string(2000, 'n')});
    for (int i = 0; i < 64; ++i) {
        shared.entries.push_back({.nameSize = 2000, .offset = 15 + 32 * 65});
    }
    put(archives, BuildRbf(shared));
    const std::string escapes = "\x1b]0;t\x07\x1b[2J\r\n\x7f\x9d";
    SgaSpec hostile =
        SgaFromLayout({{"", {{.name = "a" + escapes, .content = "a"}, {.name = "..", .content = "b"}}},
                       {"d" + escapes, {{.name = "in/side", .content = "c", .compress = true}}},
                       {"..\\x", {{.name = "y", .content = "d"}}}},
                      "Al" + escapes);
    hostile.archiveType = "T" + escapes;
    put(archives, BuildSga(hostile));
    std::string longPath;
    while (longPath.size() < 3000) {
        longPath += "deep\\";
    }
    std::vector<SgaFileSpec> many;
    for (int i = 0; i < 40; ++i) {
        many.push_back({.name = std::to_string(i), .content = "x"});
    }
    put(archives, BuildSga(SgaFromLayout({{"", {}}, {longPath + "end", many}})));

    for (const std::string& content :
         {std::string("hello hello hello"), std::string(1000, 'z'), std::string()}) {
        const std::string stream = ZlibCompress(content);
        const std::int32_t size = static_cast<std::int32_t>(content.size());
        std::string seed(reinterpret_cast<const char*>(&size), 4);
        put(streams, seed + stream);
        put(streams, seed + stream.substr(0, stream.size() / 2));
    }
    return 0;
}
