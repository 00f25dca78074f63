// A log sink that keeps every line, for asserting the exact repair log.
#pragma once

#include "engine/log_sink.h"

#include <string>
#include <vector>

namespace testsupport {

class RecordingLog final : public LogSink
{
public:
    void AppendLine(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

} // namespace testsupport
