#include "export/PDFExportImageAudit.h"

#include "export/PdfObjects.h"

namespace {

using Value = PdfObjects::Value;
using ValuePtr = PdfObjects::ValuePtr;

class Walker {
public:
    Walker(const PdfObjects& objects, PDFExportImageAudit& audit)
        : m_objects(objects)
        , m_audit(audit)
    {
    }

    // A dictionary's entries: dictionaries newly met are walked, stream dictionaries too, and
    // an image stream counts when its dictionary is met for the first time. Arrays and other
    // values are not followed.
    void walk(const Value& dictionary, int depth)
    {
        if (depth > PdfObjects::maximumDepth)
            return;
        for (const auto& [key, raw] : dictionary.entries) {
            const ValuePtr v = m_objects.resolve(raw);
            if (!v)
                continue;
            const auto id = std::uintptr_t(v.get());
            if (v->type == Value::Type::dictionary) {
                if (m_audit.visited.insert(id).second)
                    walk(*v, depth + 1);
            } else if (v->type == Value::Type::stream) {
                if (!m_audit.visited.contains(id)) {
                    const ValuePtr subtype = v->entry("Subtype");
                    if (subtype && subtype->type == Value::Type::name && subtype->text == "Image")
                        ++m_audit.images;
                }
                if (m_audit.visited.insert(id).second)
                    walk(*v, depth + 1);
            }
        }
    }

private:
    const PdfObjects& m_objects;
    PDFExportImageAudit& m_audit;
};

} // namespace

int PDFExportImageAudit::imageCount(const QByteArray& pdf)
{
    const PdfObjects objects(pdf);
    PDFExportImageAudit audit;
    Walker walker(objects, audit);
    for (const ValuePtr& page : objects.pages()) {
        if (audit.visited.insert(std::uintptr_t(page.get())).second)
            walker.walk(*page, 0);
    }
    return audit.images;
}
