#include "commands/output_folder.h"

#include "commands/extract_to.h"
#include "window/frm_big.h"

#include <system_error>

namespace archive {

namespace {

std::filesystem::path Absolute(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? path : absolute).lexically_normal();
}

} // namespace

void FollowArchiveFolder(FrmBig& frm)
{
    if (frm.ArchivePath.empty() || frm.CataloguePath != frm.ArchivePath) {
        return; // nothing new is shown: the open changed nothing
    }
    const std::filesystem::path folder = ArchiveFolder(frm);
    if (folder.empty() || folder == frm.OutputBase) {
        return;
    }
    frm.OutputBase = folder;
    frm.LastOutputFolder.clear(); // it named where another archive's files went
}

void NoteOutputWritten(FrmBig& frm, const std::filesystem::path& folder)
{
    frm.LastOutputFolder = Absolute(folder);
}

std::filesystem::path OutputFolderToOpen(const FrmBig& frm)
{
    if (!frm.LastOutputFolder.empty()) {
        return frm.LastOutputFolder;
    }
    const std::filesystem::path data = ToolbarOutputRoot(frm);
    std::error_code error;
    return std::filesystem::is_directory(data, error) ? data : Absolute(frm.OutputBase);
}

std::filesystem::path ToolbarOutputRoot(const FrmBig& frm)
{
    return Absolute(frm.OutputBase / "data");
}

} // namespace archive
