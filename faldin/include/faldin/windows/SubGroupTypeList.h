#pragma once

#include "tamsel/widgets/ListWindow.h"

namespace faldin {

/// "Типы подгрупп": the kinds of subgroup division and their number of subgroups (2 to 30).
class SubGroupTypeList : public tamsel::ListWindow {
    Q_OBJECT
public:
    explicit SubGroupTypeList(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("SubGroupTypeList"); }
    tamsel::RecordList* types() const { return lists().front(); }
};

} // namespace faldin
