// The batch worker: repairs every listed file in order with a fresh CFileRepairer each, and
// writes the repair log around them. Runs on whatever thread calls it.
#pragma once

#include "batch/batch_view.h"

#include <cstddef>

struct BatchSummary
{
    std::size_t processed = 0; // files whose turn came (missing ones included)
    std::size_t saved = 0;     // files whose repaired copy was saved
    bool stopped = false;      // the run ended on a stop request
    [[nodiscard]] std::size_t failed() const { return processed - saved; }
};

BatchSummary RunRepairBatch(BatchView& view);
