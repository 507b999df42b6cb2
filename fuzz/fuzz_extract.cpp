// Loads the input and extracts everything, and a few selected nodes, into a
// fresh output root; nothing may appear outside it.
#include "commands/open_flow.h"
#include "extract/extract.h"
#include "fuzz_support.h"
#include "support/memory_widgets.h"
#include "window/frm_big.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>

namespace {

// Directory rows may list up to 65,536 files more than the file table holds, each one a failure
// line: tens of thousands of lines for a few bytes of input. Beyond this many the full extract is
// left to the unit tests.
constexpr std::int64_t kListedCap = 1024;

std::int64_t ListedFiles(const archive::SgaTables& t)
{
    std::int64_t listed = 0;
    for (const archive::SgaDirectory& dir : t.SgaDirectories) {
        listed += std::max(0, dir.NextFile - dir.FirstFile);
    }
    return listed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    using namespace archive;
    // The TOC table is the open harness's ground; tens of thousands of rows here only slow the search.
    std::string input(reinterpret_cast<const char*>(data), size);
    constexpr std::size_t kNumTocsAt = 184; // after the 180-byte header and the TOC offset
    if (input.size() > kNumTocsAt + 1 && static_cast<unsigned char>(input[kNumTocsAt + 1]) != 0) {
        input[kNumTocsAt + 1] = 0;
    }
    const std::string path =
        fuzz::WriteInput(reinterpret_cast<const unsigned char*>(input.data()), input.size());
    const std::filesystem::path out = fuzz::WorkFolder() / "out";
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    MemoryWidgets widgets;
    FrmBig frm(widgets);
    frm.Form_Load();
    frm.OutputBase = out;
    frm.DebugToFile = size % 3 == 0;
    const LoadOutcome outcome = OpenChosenFile(frm, path);
    // A failed load leaves tables as far as it got: the extract commands must cope with those too.
    if (outcome == LoadOutcome::Loaded || outcome == LoadOutcome::Failed) {
        for (SgaFile& file : frm.Sga.SgaFiles) {
            file.ExpandedSize = fuzz::FoldClaim(file.ExpandedSize);
        }
        if (ListedFiles(frm.Sga) <= kListedCap) {
            ExtractAll(frm);
        }
        const int count = static_cast<int>(frm.tree().Count());
        for (int node = 1; node <= count && node <= 3; ++node) {
            ExtractSelected(frm, node);
        }
        ExtractSelected(frm, count);
    }
    fuzz::CheckNothingOutside(out);
    std::filesystem::remove_all(out);
    return 0;
}
