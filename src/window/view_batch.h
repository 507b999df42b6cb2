#pragma once

#include "window/log_text.h"
#include "window/widgets.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace archive {

// What a command has told the window since the window last showed it: the
// log text to append (every line, in order, in the form the log shows:
// VisibleLogText), the latest status text and the
// latest progress. An extraction makes tens of thousands of such changes a
// second; painting each one would cost more than the extraction itself, so
// the window shows them on a clock and at the end of every command.
class ViewBatch {
  public:
    using Clock = std::chrono::steady_clock;
    // About 25 pictures a second: the latest state is always on screen, and
    // painting costs a few percent at most.
    static constexpr std::chrono::milliseconds kInterval{40};
    // A turn of the event loop costs microseconds even when no event waits;
    // a command that asks for one per folder would spend a tenth of its time
    // there. Events still run within this long of arriving.
    static constexpr std::chrono::microseconds kTurnInterval{1000};

    struct Progress {
        float minimum = 0;
        float maximum = 100;
        float value = 0;
    };
    // What waited, handed over by Take.
    struct Changes {
        bool clearLog = false; // the log box is emptied before `log` is appended
        std::u16string log;    // shown text: "\n" ends the log's own lines only
        std::optional<std::string> status;
        bool statusIsHostText = false; // UTF-8 as the host names a path, not archive text
        std::optional<Progress> progress;
    };

    void ClearLog()
    {
        log_.clear();
        clearLog_ = true;
    }
    // One AppendLog text of the Widgets: a line of archive text and its CR LF.
    void AppendLog(std::string_view text) { AppendVisibleLogText(text, log_); }
    // Archive text (Windows-1252).
    void SetStatus(std::string_view text) { SetStatus(text, false); }
    // A host path (UTF-8).
    void SetHostStatus(std::string_view utf8) { SetStatus(utf8, true); }
    void SetProgressMinimum(float value) { SetProgress(progress_.minimum, value); }
    void SetProgressMaximum(float value) { SetProgress(progress_.maximum, value); }
    void SetProgressValue(float value) { SetProgress(progress_.value, value); }

    bool Pending() const { return clearLog_ || !log_.empty() || statusChanged_ || progressChanged_; }
    // True when something waits and the window last showed its state at least
    // kInterval ago.
    bool Due(Clock::time_point now) const { return Pending() && now - shown_ >= kInterval; }

    // True when the command's request to let events run should reach the
    // event loop: the last turn is at least kTurnInterval ago. Counts the turn.
    bool TurnDue(Clock::time_point now)
    {
        if (now - turned_ < kTurnInterval) {
            return false;
        }
        turned_ = now;
        return true;
    }

    // A command that lets events run lets them run at its first request, however
    // recently the last command did.
    void CommandStarts() { turned_ = {}; }

    // Hands over what waits and starts the clock again.
    Changes Take(Clock::time_point now)
    {
        Changes changes;
        changes.clearLog = clearLog_;
        changes.log.swap(log_);
        if (statusChanged_) {
            changes.status = status_;
            changes.statusIsHostText = statusIsHost_;
        }
        if (progressChanged_) {
            changes.progress = progress_;
        }
        clearLog_ = statusChanged_ = progressChanged_ = false;
        shown_ = now;
        return changes;
    }

  private:
    void SetStatus(std::string_view text, bool host)
    {
        status_.assign(text);
        statusIsHost_ = host;
        statusChanged_ = true;
    }
    void SetProgress(float& field, float value)
    {
        field = value;
        progressChanged_ = true;
    }

    std::u16string log_;
    bool clearLog_ = false;
    std::string status_;
    bool statusIsHost_ = false;
    bool statusChanged_ = false;
    Progress progress_;
    bool progressChanged_ = false;
    Clock::time_point shown_{};
    Clock::time_point turned_{};
};

// The Widgets calls a window gathers in a ViewBatch to show on its clock:
// both windows are one of these and draw what FlushPending hands them.
class BatchedWidgets : public Widgets {
  public:
    void ClearLog() override
    {
        Gather([this] { pending_.ClearLog(); });
    }
    void AppendLog(std::string_view text, LogKind) override
    {
        Gather([&] { pending_.AppendLog(text); });
    }
    void SetProgressMinimum(float value) override
    {
        Gather([&] { pending_.SetProgressMinimum(value); });
    }
    void SetProgressMaximum(float value) override
    {
        Gather([&] { pending_.SetProgressMaximum(value); });
    }
    void SetProgressValue(float value) override
    {
        Gather([&] { pending_.SetProgressValue(value); });
    }
    void SetStatusText(std::string_view text) override
    {
        Gather([&] { pending_.SetStatus(text); });
    }
    void SetStatusHostText(std::string_view utf8) override
    {
        Gather([&] { pending_.SetHostStatus(utf8); });
    }

  protected:
    // Arranges for the gathered changes to be shown soon.
    virtual void ScheduleFlush() = 0;
    ViewBatch pending_;

  private:
    template <typename Change> void Gather(Change change)
    {
        change();
        ScheduleFlush();
    }
};

} // namespace archive
