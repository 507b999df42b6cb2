// Makes the two sample archives a newcomer can open at once; with "damaged",
// an archive whose entries fail their test instead; with "big", one entry
// that inflates to 256 MiB, long enough to interrupt in the middle.
#include "support/archive_builders.h"

#include <filesystem>
#include <iostream>
#include <string>

using namespace archive::testing;

int main(int argc, char** argv)
{
    const std::string kind = argc == 3 ? argv[2] : "";
    if (argc != 2 && kind != "damaged" && kind != "big") {
        std::cerr << "usage: make-samples FOLDER [damaged|big]\n";
        return 1;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    if (kind == "damaged") {
        // A stream that is not zlib, a stream shorter than its ExpandedSize says, and one sound file.
        const SgaSpec damaged = SgaFromLayout(
            {{"",
              {{.name = "broken.bin", .content = "x", .storedBytes = "not a zlib stream"},
               {.name = "ok.txt", .content = "ok\n", .compress = true}}},
             {"maps", {{.name = "short.bin", .content = "12345", .compress = true, .expandedSize = 50}}}});
        WriteBytes((folder / "damaged.sga").string(), BuildSga(damaged));
        return 0;
    }

    if (kind == "big") {
        WriteBytes(
            (folder / "big.sga").string(),
            BuildSga(SgaFromLayout(
                {{"", {}},
                 {"big", {{.name = "big.bin", .content = std::string(256u << 20, '\0'), .compress = true}}}},
                "Data")));
        return 0;
    }

    WriteBytes((folder / "sample.sga").string(), ShippedSampleSga());
    WriteBytes((folder / "sample-sv1.big").string(), ShippedSampleRbf());
    return 0;
}
