#include "commands/open_flow.h"

#include "commands/command_state.h"

#include "platform/archive_file.h"
#include "platform/text_encoding.h"
#include "rbf/rbf_loader.h"
#include "sga/sga_loader.h"
#include "window/frm_big.h"

#include <cstring>
#include <new>

namespace archive {

LoadOutcome OpenArchive(FrmBig& frm)
{
    char signature[7] = {}; // bytes missing at the end of a shorter file count as NUL
    {
        ArchiveFile file;
        std::string error;
        if (!file.Open(PathFromUtf8(frm.ArchivePath), error)) {
            frm.widgets().ShowMessage("Cannot open " + frm.ArchivePath + ": " + error);
            return LoadOutcome::CannotOpen;
        }
        file.ReadSome(signature, sizeof signature);
    }
    if (std::memcmp(signature, "RBF1.23", 7) == 0) {
        frm.LastFormat = ArchiveFormat::Rbf;
        return LoadRbfArchive(frm);
    }
    frm.LastFormat = ArchiveFormat::Sga;
    return LoadSgaArchive(frm);
}

LoadOutcome OpenChosenFile(FrmBig& frm, const std::string& path)
{
    const RunningScope loading(frm, RunningCommand::Load);
    if (!loading.Started()) {
        return LoadOutcome::CannotOpen; // another command reads the tree and tables a load replaces
    }
    frm.ArchivePath = path;
    LoadOutcome outcome = LoadOutcome::Failed;
    try {
        outcome = OpenArchive(frm);
    } catch (const LoadFailure& e) {
        frm.ReportFailure(std::string("Load failed: ") + e.what());
    } catch (const std::bad_alloc&) {
        frm.ReportFailure("Load failed: out of memory");
    } catch (const std::exception& e) {
        frm.ReportFailure(std::string("Load failed: ") + e.what());
    }
    if (frm.CataloguePath != frm.ArchivePath) {
        // The open stopped before it cleared the tree: the catalogue shown is
        // still that of its own file, which stays the one the commands use.
        frm.ArchivePath = frm.CataloguePath;
    }
    return outcome;
}

} // namespace archive
