// Ready-made documents for the tests and benchmarks of the design-file properties, built
// with the test writer.
#pragma once

#include "host/temp_dir.hpp"             // tests/host
#include "platform/compound_writer.hpp"  // tests/platform

namespace testcfb {

using hosttest::TempDir;

// A V8 design file: a "Dgn-Md" storage holding model streams, `bulk` bytes of model data
// in a regular stream, and the three property sets; the user-defined set carries
// "Project" = "North Bridge" and "Sheet" = 42.5.
inline std::vector<std::uint8_t> designFile(unsigned version, std::size_t bulk, bool scatter = false) {
    Writer w(version, scatter);
    const int dgn = w.storage(0, u"Dgn-Md");
    w.stream(dgn, u"Header", std::string(200, 'h'));
    w.stream(dgn, u"Model", std::string(bulk, 'm'));
    w.storage(dgn, u"Levels");
    w.stream(0, kSummaryName,
             propertyStream({section(kSummaryId).codePage(1252).add(2, vtString8(30, "Deck plan")).add(4, vtString8(30, "Ada"))
                                 .add(12, vtFiletime(128701947090000000ull))}));
    w.stream(0, kDocSummaryName,
             propertyStream({section(kDocSummaryId).codePage(1252).add(15, vtString8(30, "Orvane Works")),
                             section(kUserDefinedId).codePage(1252).dictionary({{2, "Project"}, {3, "Sheet"}})
                                 .add(2, vtString8(30, "North Bridge")).add(3, vtR8(42.5))}));
    return w.build();
}

}  // namespace testcfb
