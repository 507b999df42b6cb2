#include "window/frm_big.h"

#include "platform/text_encoding.h"

#include <system_error>

namespace archive {

FrmBig::FrmBig(Widgets& widgets) : widgets_(widgets) {}

void FrmBig::Form_Load()
{
    title_ = FormTitle();
    Zlib = std::make_unique<clsZlib>();
    widgets_.SetProgressValue(0);
}

std::string FrmBig::ArchivePathText() const
{
    return HostTextToWindows1252(ArchivePath);
}

void FrmBig::sText(std::string_view line)
{
    std::string text;
    text.reserve(line.size() + 2);
    text.append(line).append("\r\n");
    widgets_.AppendLog(text, LogKind::Normal);
}

void FrmBig::ReportFailure(std::string_view line)
{
    std::string text;
    text.reserve(line.size() + 2);
    text.append(line).append("\r\n");
    widgets_.AppendLog(text, LogKind::Failure);
    widgets_.SetStatusText(line);
}

void FrmBig::dText(std::string_view line)
{
    if (DebugToFile && debugFile_.IsOpen()) {
        debugFile_.Write(line);
        debugFile_.Write("\r\n");
    }
}

bool FrmBig::DebugFileStart(std::string_view suffix, std::string& error)
{
    debugFile_.Close();
    if (!DebugToFile) {
        return true;
    }
    const std::filesystem::path path = PathFromUtf8(ArchivePath + std::string(suffix));
    std::error_code removeError;
    std::filesystem::remove(path, removeError);
    if (!debugFile_.Create(path, error)) {
        error = "cannot create the debug file " + ArchivePathText() + std::string(suffix) + ": " + error;
        return false;
    }
    return true;
}

void FrmBig::DebugFileEnd()
{
    debugFile_.Close();
}

} // namespace archive
