#pragma once

// A FET file read whole into a small element tree, and the school it describes in FET's own
// terms. Private to the FET import and export.

#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace hestor::fet {

struct Node {
    QString name;
    QString text;
    std::vector<Node> kids;

    const Node* child(const QString& n) const {
        for (const Node& k : kids)
            if (k.name == n) return &k;
        return nullptr;
    }
    QString value(const QString& n) const {
        const Node* k = child(n);
        return k ? k->text.trimmed() : QString();
    }
    std::vector<const Node*> all(const QString& n) const {
        std::vector<const Node*> out;
        for (const Node& k : kids)
            if (k.name == n) out.push_back(&k);
        return out;
    }
};

/// Reads the file into `root`; false with `error` naming the line when it is not XML.
bool readTree(const QString& path, Node& root, QString* error);

} // namespace hestor::fet
