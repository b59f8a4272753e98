// The benchmarks' one way of showing results: a table of text cells, written as a Markdown
// table for bench/results*.md or aligned for a terminal.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace Bench {

struct Table {
    std::vector<std::string> Header;
    std::vector<std::vector<std::string>> Rows;  // a short row leaves its last cells empty
};

// The first column left-aligned, the figures after it right-aligned. Without a header only
// the rows are written: a part of a table that a script puts together from several runs.
void WriteMarkdown(std::ostream& out, const Table& table);

// Columns padded to their widest cell, a rule under the header.
void WriteAligned(std::ostream& out, const Table& table);

}  // namespace Bench
