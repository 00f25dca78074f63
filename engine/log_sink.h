// The one way the engine reports: a sink that appends one line of the repair log. The command
// line prints each line; the desktop face forwards it to its log view.
#pragma once

#include <string_view>

class LogSink
{
public:
    virtual ~LogSink() = default;
    // Appends one line; the text carries no line end of its own.
    virtual void AppendLine(std::string_view line) = 0;
};
