#pragma once

#include "faldin/windows/MasterDetail.h"

class QComboBox;

namespace faldin {

/// "Список кабинетов": rooms by room type, and the room type of general-use rooms.
class RoomList : public MasterDetail {
    Q_OBJECT
public:
    explicit RoomList(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("RoomList"); }
    /// "Кабинеты общего назначения:".
    QComboBox* commonType() const { return common_; }
    void refresh() override;

private:
    void fillCommonTypes();
    QComboBox* common_;
};

} // namespace faldin
