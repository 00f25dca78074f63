#include "cli/repair_summary.h"

#include <cstdio>
#include <fstream>

namespace {

const char* outcomeName(const FileResult& result)
{
    if (!result.found)
        return "missing";
    switch (result.outcome) {
    case RepairOutcome::Saved:
        return "saved";
    case RepairOutcome::OpenFailed:
        return "cannot-open";
    case RepairOutcome::NothingMade:
        return "nothing-recovered";
    case RepairOutcome::SaveFailed:
        return "cannot-save";
    case RepairOutcome::NotRun:
        break;
    }
    return "failed";
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const auto& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace

nlohmann::json FileReportJson(const std::string& input, const FileResult& result)
{
    const RepairReport& report = result.report;
    nlohmann::json entries = nlohmann::json::array();
    for (const auto& entry : report.entries)
        entries.push_back({{"name", entry.name},
                           {"offset", entry.offset},
                           {"method", entry.method},
                           {"state", EntryStateName(entry.state)},
                           {"size", entry.size}});
    nlohmann::json json = {{"input", input},
                           {"outcome", outcomeName(result)},
                           {"entries", entries},
                           {"repairedParts", report.repairedParts},
                           {"droppedParts", report.droppedParts},
                           {"lostParts", report.lostParts},
                           {"droppedReferences", report.droppedReferences},
                           {"mimetypeRestored", report.mimetypeRestored},
                           {"manifestRebuilt", report.manifestRebuilt},
                           {"stylesRebuilt", report.stylesRebuilt},
                           {"contentRebuilt", report.contentRebuilt},
                           {"picturesPlaced", report.picturesPlaced}};
    if (result.saved())
        json["output"] = result.outputPath;
    if (result.error)
        json["error"] = result.error.message();
    return json;
}

std::string FileSummary(const FileResult& result)
{
    const RepairReport& report = result.report;
    std::size_t counts[5] = {};
    for (const auto& entry : report.entries)
        ++counts[static_cast<int>(entry.state)];
    std::string text =
        std::to_string(report.entries.size()) + " entries (" +
        std::to_string(counts[static_cast<int>(EntryState::Intact)]) + " intact, " +
        std::to_string(counts[static_cast<int>(EntryState::Complete)]) + " unchecked, " +
        std::to_string(counts[static_cast<int>(EntryState::Damaged)]) + " damaged, " +
        std::to_string(counts[static_cast<int>(EntryState::Partial)]) + " partial, " +
        std::to_string(counts[static_cast<int>(EntryState::Empty)]) + " empty)";
    if (!report.repairedParts.empty())
        text += "; mended " + joined(report.repairedParts);
    if (!report.droppedParts.empty())
        text += "; dropped " + joined(report.droppedParts);
    if (report.droppedReferences > 0)
        text +=
            "; removed " + std::to_string(report.droppedReferences) + " reference(s) to lost files";
    if (report.mimetypeRestored)
        text += "; mimetype restored";
    if (report.manifestRebuilt)
        text += "; manifest rebuilt";
    if (report.stylesRebuilt)
        text += "; styles rebuilt";
    if (report.contentRebuilt)
        text += "; content rebuilt";
    if (report.picturesPlaced > 0)
        text += "; " + std::to_string(report.picturesPlaced) + " unframed picture(s) given pages";
    if (!report.lostParts.empty())
        text += "; lost " + joined(report.lostParts);
    return text;
}

bool WriteReport(const std::string& path, const nlohmann::json& report)
{
    const std::string temporary = path + ".writing";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        // Entry names are bytes from a damaged file: what is not UTF-8 is replaced, not thrown.
        out << report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        out.close();
        if (!out) {
            (void)std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        (void)std::remove(temporary.c_str());
        return false;
    }
    return true;
}
