#pragma once

#include "commands/open_command.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace archive::testing {

// An open-file dialog that answers from a script and remembers what it was shown.
class ScriptedDialog : public OpenFileDialog {
  public:
    // Each answer is a path to choose, or nothing for a cancel.
    std::deque<std::optional<std::string>> answers;
    std::vector<DialogState> shown;

    bool Show(DialogState& state) override
    {
        shown.push_back(state);
        if (answers.empty() || !answers.front()) {
            if (!answers.empty()) {
                answers.pop_front();
            }
            return false;
        }
        state.fileName = *answers.front();
        answers.pop_front();
        return true;
    }
};

} // namespace archive::testing
