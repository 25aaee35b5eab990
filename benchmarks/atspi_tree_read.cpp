// How long a locator's check takes to read applications whole over the accessibility bus, as AtspiAdapter's
// Scopes and ChildrenOf read them: the registry's applications, then each element's children with what a test
// framework matches them by. For each application named: its elements, the calls and the time of a whole
// read, the fastest, the median and the slowest of ROUNDS. A benchmark, not a test: it prints figures and
// checks nothing. benchmarks/atspi_tree_read.sh starts the applications and the buses and runs it.
//
// Usage: atspi_tree_read ROUNDS NAME...   (each application by its name on the accessibility bus)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/atspi/atspi_adapter.h"

namespace {

using hovermark::FoundNode;
using hovermark::Reply;
using Clock = std::chrono::steady_clock;

struct NoFacts final : hovermark::atspi::TopLevelFacts {
    std::optional<hovermark::TopLevelWindow> TopLevelOf(hovermark::WindowHandle /*window*/) override {
        return std::nullopt;
    }
};

struct CountedTrips final : hovermark::RoundTrips {
    void Trip() override { ++made; }
    long made = 0;
};

std::string NameOf(const FoundNode& found) {
    for (const hovermark::locator::Property& property : found.facts.properties) {
        if (property.key == hovermark::locator::Key::kName) {
            return property.value;
        }
    }
    return "";
}

// The elements below `found`, itself included; -1 when a call did not answer.
long ReadWhole(hovermark::atspi::AtspiAdapter& adapter, const FoundNode& found, CountedTrips& trips) {
    const Reply<std::vector<FoundNode>> children = adapter.ChildrenOf(found.node, trips);
    if (children.status != hovermark::CallStatus::kAnswer) {
        return -1;
    }
    long elements = 1;
    for (const FoundNode& child : children.value) {
        const long below = ReadWhole(adapter, child, trips);
        if (below < 0) {
            return -1;
        }
        elements += below;
    }
    return elements;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: atspi_tree_read ROUNDS NAME...\n");
        return 2;
    }
    const int rounds = std::max(1, std::atoi(argv[1]));
    NoFacts facts;
    hovermark::atspi::AtspiAdapter adapter(facts);
    if (const std::optional<std::string> problem = adapter.Start()) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }
    std::printf("%-28s %9s %9s %10s %10s %10s\n", "application", "elements", "calls", "fastest", "median", "slowest");
    int status = 0;
    for (int named = 2; named < argc; ++named) {
        std::vector<double> times;
        long elements = 0;
        long calls = 0;
        for (int round = 0; round < rounds; ++round) {
            CountedTrips trips;
            const auto started = Clock::now();
            const Reply<std::vector<FoundNode>> scopes = adapter.Scopes(trips);
            const auto scope = std::find_if(scopes.value.begin(), scopes.value.end(),
                                            [&](const FoundNode& found) { return NameOf(found) == argv[named]; });
            elements = scope == scopes.value.end() ? -1 : ReadWhole(adapter, *scope, trips);
            times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - started).count());
            calls = trips.made;
            if (elements < 0) {
                break;
            }
        }
        if (elements < 0) {
            std::printf("%-28s not read: not on the bus, or a call did not answer\n", argv[named]);
            status = 1;
            continue;
        }
        std::sort(times.begin(), times.end());
        std::printf("%-28s %9ld %9ld %7.1f ms %7.1f ms %7.1f ms\n", argv[named], elements, calls, times.front(),
                    times[times.size() / 2], times.back());
    }
    adapter.Stop();
    return status;
}
