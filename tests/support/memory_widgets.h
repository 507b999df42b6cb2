#pragma once

#include "window/widgets.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace archive {

// The window in memory: records what the procedures did to it, for tests,
// benchmarks and fuzzers.
class MemoryWidgets : public Widgets {
  public:
    void ClearLog() override { log.clear(); }
    void AppendLog(std::string_view text, LogKind) override { log.append(text); }
    void SetProgressMinimum(float value) override { progressMinimum = value; }
    void SetProgressMaximum(float value) override { progressMaximum = value; }
    void SetProgressValue(float value) override { progressValue = value; }
    void SetStatusText(std::string_view text) override
    {
        statusText.assign(text);
        if (onStatusText) {
            onStatusText(statusText);
        }
    }
    void SetStatusHostText(std::string_view utf8) override { SetStatusText(utf8); }
    void SetButtonEnabled(int position, bool enabled) override
    {
        if (position >= 0 && position < static_cast<int>(buttons.size())) {
            buttons[static_cast<std::size_t>(position)] = enabled;
        }
    }
    void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
    void DoEvents() override { ++doEventsCalls; }
    void TreeAboutToChange() override { ++treeChanges; }
    void TreeChanged() override {}
    void SetTreeAppearance(int lineStyle, int style, int indentation) override
    {
        treeLineStyle = lineStyle;
        treeStyle = style;
        treeIndentation = indentation;
    }

    // The log box's lines (split at CR LF; the text after the last CR LF, if any, last).
    std::vector<std::string> LogLines() const;

    std::string log;
    float progressMinimum = 0;
    float progressMaximum = 100;
    float progressValue = 0;
    std::string statusText;
    // Runs at every status text: extraction sets it to an entry's name just before writing it.
    std::function<void(const std::string&)> onStatusText;
    // Indexed by toolbar position 1 to 6; 5 and 6 start disabled.
    std::array<bool, 7> buttons = {false, true, true, true, false, false, false};
    std::vector<std::string> messages;
    int doEventsCalls = 0;
    int treeChanges = 0;
    int treeLineStyle = 0;
    int treeStyle = 0;
    int treeIndentation = 0;
};

} // namespace archive
