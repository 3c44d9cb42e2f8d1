#pragma once

#include "tables/XMLEventStream.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>
#include <vector>

// A minimal element tree of one XML part: local names, attributes (qualified names kept),
// character data and children in document order. Built with expat, without namespace
// processing, document type declarations refused and external entities never resolved.
class XMLNode {
public:
    static constexpr int maximumDepth = XMLEventHandler::maximumDepth;
    static constexpr qint64 maximumElements = 750'000;

    XMLNode() = default;
    XMLNode(const XMLNode&) = delete;
    XMLNode& operator=(const XMLNode&) = delete;

    // The document element of the bytes; throws PlmWorkError.
    static std::unique_ptr<XMLNode> parse(const QByteArray& data);

    // Every element with that local name among the nodes and, depth first, below them.
    static QList<const XMLNode*> descendants(const QList<const XMLNode*>& nodes, const QString& name);
    QList<const XMLNode*> descendants(const QString& name) const { return descendants({this}, name); }

    QString name;
    QList<QPair<QString, QString>> attributes;
    QString text;
    std::vector<std::unique_ptr<XMLNode>> children;

    bool hasAttribute(const QString& key) const;
    // The attribute's value, empty when absent.
    QString attribute(const QString& key) const;
    // The first direct child with that local name, or null.
    const XMLNode* child(const QString& name) const;
    QList<const XMLNode*> childNodes() const;
};
