#include "cli/console_widgets.h"

#include "platform/text_encoding.h"

#include <algorithm>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace archive {

std::string ConsoleText(std::string_view text)
{
    // One call is one line: its end stays a line end, and whatever else is a
    // control character came from an archive (a CR LF inside a name included).
    std::string_view end;
    for (const std::string_view lineEnd : {"\r\n", "\n"}) {
        if (text.ends_with(lineEnd)) {
            text.remove_suffix(lineEnd.size());
            end = "\n";
            break;
        }
    }
    return Windows1252ToUtf8Escaped(text).append(end);
}

bool IsTerminal(std::FILE* stream)
{
#ifdef _WIN32
    // NUL is a character device too, which is all _isatty asks.
    const int fd = _fileno(stream);
    DWORD mode = 0;
    return fd >= 0 && _isatty(fd) != 0 &&
           GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &mode) != 0;
#else
    const int fd = fileno(stream);
    return fd >= 0 && isatty(fd) != 0;
#endif
}

void ConsoleWidgets::Write(std::FILE* stream, std::string_view text)
{
    if (progressDrawn_) {
        EndProgress();
    }
    const std::string converted = ConsoleText(text);
    std::fwrite(converted.data(), 1, converted.size(), stream);
}

void ConsoleWidgets::AppendLog(std::string_view text, LogKind kind)
{
    if (kind == LogKind::Failure) {
        Write(err_, text);
    } else if (echo_) {
        Write(out_, text);
    }
}

void ConsoleWidgets::ShowMessage(std::string_view utf8)
{
    if (progressDrawn_) {
        EndProgress();
    }
    std::fwrite(utf8.data(), 1, utf8.size(), err_); // host text already
    std::fputc('\n', err_);
}

void ConsoleWidgets::SetProgressValue(float value)
{
    if (!showProgress_) {
        return;
    }
    // A log line erases the bar; it comes back on the same clock, not after
    // every line: thousands of lines a second would each cost two writes.
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn_ < std::chrono::milliseconds(100)) {
        return;
    }
    lastDrawn_ = now;
    const float span = maximum_ - minimum_;
    const float fraction = span <= 0 ? 1.0f : std::clamp((value - minimum_) / span, 0.0f, 1.0f);
    constexpr int kWidth = 40;
    const int filled = static_cast<int>(fraction * kWidth);
    std::string bar = "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
                      std::string(static_cast<std::size_t>(kWidth - filled), ' ') + "] " +
                      std::to_string(static_cast<int>(fraction * 100)) + "%";
    std::fwrite(bar.data(), 1, bar.size(), err_);
    std::fflush(err_);
    progressDrawn_ = true;
}

void ConsoleWidgets::EndProgress()
{
    if (progressDrawn_) {
        std::fputs("\r\x1b[K", err_);
        std::fflush(err_);
        progressDrawn_ = false;
    }
}

} // namespace archive
