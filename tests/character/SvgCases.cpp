// Kept apart from the test class: the documents' quotes and URLs are data, not code for moc to read.
#include "SvgCases.h"

namespace cw::character::test {

namespace {
QByteArray svg(const char* body) {
    return QByteArray(R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" )"
                      R"(width="10" height="10">)") +
           body + "</svg>";
}
} // namespace

std::vector<SvgCase> svgCases() {
    return {
        {"plain", svg(R"(<rect width="5" height="5" fill="red"/>)"), ""},
        {"local use", svg(R"(<defs><g id="a"/></defs><use xlink:href="#a"/>)"), ""},
        {"local gradient",
         svg(R"x(<defs><linearGradient id="g"/></defs><rect fill="url(#g)" style="stroke:url( '#g' )"/>)x"),
         ""},
        {"embedded png", svg(R"(<image href="data:image/png;base64,iVBORw0KGgo=" width="1"/>)"), ""},
        {"external use", svg(R"(<use xlink:href="other.svg#a"/>)"), "refers to \"other.svg#a\""},
        {"file image", svg(R"(<image href="file:///etc/passwd"/>)"), "outside the file"},
        {"web image", svg(R"(<image xlink:href="http://example.com/a.png"/>)"), "outside the file"},
        {"foreign data", svg(R"(<image href="data:text/html;base64,PGI+"/>)"), "outside the file"},
        {"svg as data", svg(R"(<image href="data:image/svg+xml;base64,PHN2Zz4="/>)"), "outside the file"},
        {"fill from outside", svg(R"x(<rect fill="url(http://x/y#g)"/>)x"), "refers to \"http://x/y#g\""},
        {"import", svg(R"x(<style>@import url(a.css);</style>)x"), "@import"},
        {"style url", svg(R"x(<style>rect { fill: url(/tmp/x.svg#p) }</style>)x"), "outside the file"},
        {"entity",
         QByteArray(R"(<?xml version="1.0"?><!DOCTYPE svg [<!ENTITY x SYSTEM "file:///etc/passwd">]>)"
                    R"(<svg xmlns="http://www.w3.org/2000/svg"><text>&x;</text></svg>)"),
         "DOCTYPE"},
        {"script", svg(R"x(<script>alert(1)</script>)x"), "<script>"},
        {"foreign object", svg("<foreignObject/>"), "<foreignObject>"},
        {"stylesheet instruction", QByteArray(R"(<?xml-stylesheet href="a.css"?>)") + svg(""),
         "xml-stylesheet"},
        {"not svg", QByteArray("<html/>"), "not an SVG document"},
        {"broken xml", QByteArray("<svg><rect></svg>"), "not well-formed XML"},
        {"empty", QByteArray(), "not well-formed XML"},
    };
}

} // namespace cw::character::test
