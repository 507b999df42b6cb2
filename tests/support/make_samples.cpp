// Makes the two sample archives a newcomer can open at once; with "damaged",
// an archive whose entries fail their test instead.
#include "support/archive_builders.h"

#include <filesystem>
#include <iostream>

using namespace archive::testing;

int main(int argc, char** argv)
{
    if (argc != 2 && !(argc == 3 && std::string(argv[2]) == "damaged")) {
        std::cerr << "usage: make-samples FOLDER [damaged]\n";
        return 1;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    if (argc == 3) {
        // A stream that is not zlib, a stream shorter than its ExpandedSize says, and one sound file.
        const SgaSpec damaged = SgaFromLayout(
            {{"",
              {{.name = "broken.bin", .content = "x", .storedBytes = "not a zlib stream"},
               {.name = "ok.txt", .content = "ok\n", .compress = true}}},
             {"maps", {{.name = "short.bin", .content = "12345", .compress = true, .expandedSize = 50}}}});
        WriteBytes((folder / "damaged.sga").string(), BuildSga(damaged));
        return 0;
    }

    const std::string readme = "A sample archive made by the archive tool's own builders.\r\n";
    std::string map;
    for (int i = 0; i < 200; ++i) {
        map += "tile " + std::to_string(i) + " grass grass water grass\n";
    }
    SgaSpec sga =
        SgaFromLayout({{"", {{.name = "readme.txt", .content = readme}}},
                       {"maps", {{.name = "index.txt", .content = "town\nforest\n"}}},
                       {"maps\\town", {{.name = "plan.dat", .content = map, .compress = true}}},
                       {"art", {{.name = "logo.tga", .content = std::string(512, '\x7f'), .compress = true}}},
                       {"sounds", {}}},
                      "Data");
    sga.archiveType = "Sample archive";
    WriteBytes((folder / "sample.sga").string(), BuildSga(sga));

    RbfSpec rbf;
    rbf.sortFlag = 1;
    for (const char* name : {"readme.txt", "maps\\town\\plan.dat", "maps\\index.txt", "art\\logo.tga"}) {
        rbf.entries.push_back({.name = name, .crc = 123456789, .compr = 100, .uncompr = 200});
    }
    WriteBytes((folder / "sample-sv1.big").string(), BuildRbf(rbf));
    return 0;
}
