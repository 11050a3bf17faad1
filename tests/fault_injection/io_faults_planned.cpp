// The fault plan of the test builds. Two environment variables drive it:
//   MUG_IO_FAULTS  which operations fail, as kind:ordinal pairs separated by
//                  commas, e.g. "write:5,remove:1" fails the fifth write and
//                  the first deletion of the run (ordinals count from 1 for
//                  each kind of operation);
//   MUG_IO_TRACE   a file to which every operation is appended as a line
//                  "kind ordinal path", with " FAIL" when it was made to fail.

#include "io_faults.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

namespace {

constexpr std::array<const char*, 9> operation_names = {
    "open", "create", "read", "write", "seek", "close", "remove", "make_directory", "list"};

struct fault_plan {
    std::map<std::string, long> failing; // kind -> ordinal
    std::map<std::string, long> seen;    // kind -> operations so far
    std::FILE* trace = nullptr;
};

fault_plan read_plan() {
    fault_plan plan;
    if (const char* faults = std::getenv("MUG_IO_FAULTS")) {
        std::stringstream list(faults);
        std::string item;
        while (std::getline(list, item, ',')) {
            const std::size_t colon = item.find(':');
            if (colon != std::string::npos) {
                plan.failing[item.substr(0, colon)] = std::atol(item.c_str() + colon + 1);
            }
        }
    }
    if (const char* trace = std::getenv("MUG_IO_TRACE")) {
        plan.trace = std::fopen(trace, "ab");
    }
    return plan;
}

fault_plan& the_plan() {
    static fault_plan plan = read_plan();
    return plan;
}

} // namespace

bool io_fault_at(io_operation operation, const std::string& path) {
    fault_plan& plan = the_plan();
    const std::string kind = operation_names[static_cast<std::size_t>(operation)];
    const long ordinal = ++plan.seen[kind];
    const auto planned = plan.failing.find(kind);
    const bool fails = planned != plan.failing.end() && planned->second == ordinal;
    if (plan.trace != nullptr) {
        std::fprintf(plan.trace, "%s %ld %s%s\n", kind.c_str(), ordinal, path.c_str(),
                     fails ? " FAIL" : "");
        std::fflush(plan.trace);
    }
    return fails;
}
