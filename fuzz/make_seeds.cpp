// Seed corpora for the harnesses, made by the test archive builders:
//   make-fuzz-seeds FOLDER  (writes FOLDER/archives and FOLDER/streams)
#include "support/archive_builders.h"

#include <cstdint>
#include <filesystem>
#include <string>

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
