// What the command line says about each repaired file beside the log: a JSON report for
// scripts (--report) and a one-line summary for people (--verbose).
#pragma once

#include "batch/batch_view.h"

#include <nlohmann/json.hpp>
#include <string>

// One input's record: its outcome, every entry found and how well it came back, the parts
// mended or dropped, what was rebuilt and what was lost.
[[nodiscard]] nlohmann::json FileReportJson(const std::string& input, const FileResult& result);

// A line such as "12 entries (10 intact, 1 partial, 1 unchecked); mended content.xml; manifest
// rebuilt; styles rebuilt; lost Pictures/a.png".
[[nodiscard]] std::string FileSummary(const FileResult& result);

// Writes report to path through a temporary file renamed into place; false on failure.
[[nodiscard]] bool WriteReport(const std::string& path, const nlohmann::json& report);
