// Loads the input and extracts everything, and a few selected nodes, into a
// fresh output root; nothing may appear outside it.
#include "commands/open_flow.h"
#include "extract/extract.h"
#include "fuzz_support.h"
#include "support/memory_widgets.h"
#include "window/frm_big.h"

#include <filesystem>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    using namespace archive;
    const std::string path = fuzz::WriteInput(data, size);
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
        ExtractAll(frm);
        const int count = static_cast<int>(frm.tree().Count());
        for (int node = 1; node <= count && node <= 8; ++node) {
            ExtractSelected(frm, node);
        }
        ExtractSelected(frm, count);
    }
    fuzz::CheckNothingOutside(out);
    std::filesystem::remove_all(out);
    return 0;
}
