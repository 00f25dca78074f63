#include "engine/repair_report.h"

const char* EntryStateName(EntryState state)
{
    switch (state) {
    case EntryState::Empty:
        return "empty";
    case EntryState::Partial:
        return "partial";
    case EntryState::Damaged:
        return "damaged";
    case EntryState::Complete:
        return "complete";
    case EntryState::Intact:
        return "intact";
    }
    return "empty";
}
