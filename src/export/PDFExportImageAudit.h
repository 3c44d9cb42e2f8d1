#pragma once

#include <QByteArray>

#include <cstdint>
#include <set>

// Counts the image objects a PDF's pages reach through dictionaries (resources, forms, soft
// masks), each object once however often it is referenced. The PDF export uses it to tell
// whether its file stays vector. Reads classic PDF files (objects and a trailer, as Qt
// writes them); anything it cannot read counts 0. Bounded: a crafted file cannot make it
// recurse or loop without end.
class PDFExportImageAudit {
public:
    static int imageCount(const QByteArray& pdf);

    std::set<std::uintptr_t> visited;
    int images = 0;
};
