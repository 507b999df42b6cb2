#pragma once

// Small helpers the files of the Qt main window share.

#include "commands/command_state.h"
#include "extract/job.h"
#include "platform/text_encoding.h"

#include <QString>
#include <QWidget>

#include <cmath>
#include <filesystem>
#include <string_view>

namespace archive {

// Twips to pixels, at 15 twips per pixel.
inline int Pixels(float twips)
{
    return static_cast<int>(std::lround(twips / 15.0f));
}

inline QString HostText(const std::filesystem::path& path)
{
    return QString::fromStdString(PathToUtf8(path));
}

// The question about a file that is already where an entry goes (a dialog).
ExistingAnswer AskAboutExisting(QWidget* parent, const ExistingFile& file);

// Host text of the core's tables (UTF-8).
inline QString TableText(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace archive
