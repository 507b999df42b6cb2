// The open flow with either loader, the whole catalogue and tree, through the in-memory window.
#include "commands/open_flow.h"
#include "fuzz_support.h"
#include "support/memory_widgets.h"
#include "window/frm_big.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    using namespace archive;
    const std::string path = fuzz::WriteInput(data, size);
    MemoryWidgets widgets;
    FrmBig frm(widgets);
    frm.Form_Load();
    frm.DebugToFile = size % 2 == 0; // both ways, by the input
    const LoadOutcome outcome = OpenChosenFile(frm, path);
    if (outcome == LoadOutcome::Failed && widgets.log.find("Load failed: ") == std::string::npos) {
        std::abort(); // a failure must say so
    }
    if (frm.DebugFileOpen()) {
        std::abort(); // every way out closes the debug file
    }
    return 0;
}
