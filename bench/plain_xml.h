#pragma once
// An XML document read the plain Qt way, as the anchor of the benchmarks
// whose own side reads into a tree: QXmlStreamReader into elements that
// keep their name, attributes and children.

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <vector>

struct PlainElement {
    QString Name;
    QXmlStreamAttributes Attributes;
    std::vector<PlainElement> Children;
};

// The document's elements under one root element without a name; hasError
// (may be null) tells whether the reader failed.
inline PlainElement readPlain(const QByteArray &xml, bool *hasError = nullptr)
{
    PlainElement root;
    std::vector<PlainElement *> open{&root};
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        const QXmlStreamReader::TokenType t = r.readNext();
        if (t == QXmlStreamReader::StartElement) {
            PlainElement &e = open.back()->Children.emplace_back();
            e.Name = r.name().toString();
            e.Attributes = r.attributes();
            open.push_back(&e);
        } else if (t == QXmlStreamReader::EndElement) {
            open.pop_back();
        }
    }
    if (hasError) *hasError = r.hasError();
    return root;
}
