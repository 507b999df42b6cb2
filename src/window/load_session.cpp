#include "window/load_session.h"

#include "platform/text_encoding.h"
#include "window/load_failure.h"

namespace archive {

LoadSession::LoadSession(FrmBig& frm) : frm_(frm), debug_(frm)
{
    std::string error;
    if (!archive_.Open(PathFromUtf8(frm_.ArchivePath), error)) {
        throw LoadFailure("cannot open " + frm_.ArchivePathText() + ": " + error);
    }
    if (!frm_.DebugFileStart(".debug.txt", error)) {
        throw LoadFailure(error);
    }
    Widgets& widgets = frm_.widgets();
    widgets.ClearLog();
    tree_.emplace(widgets);
    frm_.tree().Clear();
    // From here the old catalogue is gone: nothing may extract it from this file.
    frm_.CataloguePath = frm_.ArchivePath;
    frm_.CatalogueIdentity = archive_.Identity();
    frm_.CatalogueFormat = ArchiveFormat::None;
    widgets.SetButtonEnabled(5, false);
    widgets.SetButtonEnabled(6, false);
    widgets.SetStatusText("");           // it named the file of the catalogue just cleared
    widgets.SetTreeAppearance(1, 6, 80); // lines at the root too; lines, boxes and text; 80 twips
    widgets.SetProgressMinimum(0);
    widgets.SetProgressMaximum(1);
    widgets.SetProgressValue(0);
}

void LoadSession::CloseFiles()
{
    archive_.Close();
    frm_.DebugFileEnd();
}

} // namespace archive
