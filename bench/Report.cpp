#include "Report.h"

#include <algorithm>

namespace Bench {

namespace {

const std::string& Cell(const std::vector<std::string>& row, std::size_t i) {
    static const std::string empty;
    return i < row.size() ? row[i] : empty;
}

}  // namespace

void WriteMarkdown(std::ostream& out, const Table& table) {
    if (table.Header.empty()) {
        for (const auto& row : table.Rows) {
            out << "|";
            for (const std::string& cell : row) out << " " << cell << " |";
            out << "\n";
        }
        return;
    }
    out << "|";
    for (const std::string& h : table.Header) out << " " << h << " |";
    out << "\n|";
    for (std::size_t i = 0; i < table.Header.size(); ++i) out << (i == 0 ? "---|" : "---:|");
    out << "\n";
    for (const auto& row : table.Rows) {
        out << "|";
        for (std::size_t i = 0; i < table.Header.size(); ++i) out << " " << Cell(row, i) << " |";
        out << "\n";
    }
}

void WriteAligned(std::ostream& out, const Table& table) {
    std::vector<std::size_t> widths(table.Header.size(), 0);
    const auto measure = [&](const std::vector<std::string>& cells) {
        for (std::size_t i = 0; i < widths.size(); ++i)
            widths[i] = std::max(widths[i], Cell(cells, i).size());
    };
    measure(table.Header);
    for (const auto& row : table.Rows) measure(row);
    const auto print = [&](const std::vector<std::string>& cells) {
        for (std::size_t i = 0; i < widths.size(); ++i) {
            const std::string& cell = Cell(cells, i);
            out << (i == 0 ? "" : " | ") << cell
                << (i + 1 < widths.size() ? std::string(widths[i] - cell.size(), ' ') : "");
        }
        out << "\n";
    };
    print(table.Header);
    std::size_t total = 0;
    for (std::size_t w : widths) total += w + 3;
    out << std::string(total > 3 ? total - 3 : 0, '-') << "\n";
    for (const auto& row : table.Rows) print(row);
}

}  // namespace Bench
