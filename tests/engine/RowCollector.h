#pragma once

#include <string>
#include <vector>

#include "ResultRow.h"

// The rows a walk produced, in order.
struct RowCollector : RowSink {
    std::vector<ResultRow> rows;
    void AppendRow(const ResultRow& row) override { rows.push_back(row); }

    std::vector<std::string> Paths() const {
        std::vector<std::string> out;
        for (const auto& r : rows) out.push_back(r.path);
        return out;
    }
};
