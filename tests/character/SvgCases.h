#pragma once

#include <QByteArray>
#include <vector>

namespace cw::character::test {

/// An SVG document and the words its refusal must contain (empty: it is accepted).
struct SvgCase {
    const char* tag;
    QByteArray document;
    const char* problem;
};

/// Documents that stay inside themselves, and ones that reach outside in every way the loader knows.
std::vector<SvgCase> svgCases();

} // namespace cw::character::test
