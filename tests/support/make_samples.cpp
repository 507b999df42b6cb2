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

    WriteBytes((folder / "sample.sga").string(), ShippedSampleSga());
    WriteBytes((folder / "sample-sv1.big").string(), ShippedSampleRbf());
    return 0;
}
