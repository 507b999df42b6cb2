#include "version/version_text.h"

#include "version.h"

namespace archive {

std::string VersionText(int major, int minor, int revision)
{
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(revision);
}

std::string VersionText()
{
    return VersionText(kVersionMajor, kVersionMinor, kVersionRevision);
}

std::string FormTitle(int major, int minor, int revision)
{
    return std::string(kApplicationTitle) + " v" + VersionText(major, minor, revision);
}

std::string FormTitle()
{
    return FormTitle(kVersionMajor, kVersionMinor, kVersionRevision);
}

} // namespace archive
