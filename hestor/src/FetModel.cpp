// Reading a FET file into the element tree the import walks, with Qt's stream reader: a
// malformed file is refused with its line rather than half read.

#include "FetModel.h"

#include <QFile>
#include <QXmlStreamReader>

namespace hestor {

namespace fet {

bool readTree(const QString& path, Node& root, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    QXmlStreamReader xml(&file);
    std::vector<Node*> stack;
    bool seenRoot = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (stack.empty()) {
                if (seenRoot) break;
                seenRoot = true;
                root = Node{xml.name().toString(), {}, {}};
                stack.push_back(&root);
            } else {
                stack.back()->kids.push_back(Node{xml.name().toString(), {}, {}});
                stack.push_back(&stack.back()->kids.back());
            }
        } else if (xml.isEndElement()) {
            if (!stack.empty()) stack.pop_back();
        } else if (xml.isCharacters() && !stack.empty()) {
            stack.back()->text += xml.text();
        }
    }
    if (xml.hasError()) {
        *error = QString::fromUtf8("%1 (строка %2)").arg(xml.errorString()).arg(xml.lineNumber());
        return false;
    }
    if (!seenRoot) {
        *error = QString::fromUtf8("файл пуст");
        return false;
    }
    return true;
}

} // namespace fet

} // namespace hestor
