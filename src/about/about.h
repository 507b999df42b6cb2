#pragma once

#include "platform/registry.h"

#include <cstdint>
#include <functional>
#include <string>

namespace archive {

// The About box's texts.
std::string AboutVersionLine(int major, int minor, int revision);
std::string AboutVersionLine();
std::string AboutCredits();
std::string AboutAuthorLine();
inline constexpr const char* kAboutCaption = "About Tavrin's SV1 / SV2 / MF Archive Tool";
inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";

// Reads one text value. A missing key or value, or a value that is not
// text, gives false and an empty KeyVal.
bool GetKeyValue(RegistryAndLauncher& registry, std::int32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

// Finds and starts the system information program, or shows the message
// "System Information Is Unavailable At This Time" through `showMessage`.
void StartSysInfo(RegistryAndLauncher& registry, const std::function<void(const std::string&)>& showMessage);

} // namespace archive
