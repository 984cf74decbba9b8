// What a material list's CSV says of each block: "block=count" per row, in its order. The CSV's
// fields here hold no commas.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace tesselbox::testing {

inline std::vector<std::string> CsvCounts(const std::string& csv) {
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);  // the heading
    std::vector<std::string> counts;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(cell);
        counts.push_back(fields.size() >= 4 ? fields[0] + "=" + fields[3] : "malformed: " + line);
    }
    return counts;
}

}  // namespace tesselbox::testing
