#include "faldin/windows/RoomList.h"

#include "faldin/RoomLists.h"
#include "tamsel/Dictionary.h"
#include "trusko/Printing.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace faldin {

using namespace tamsel;

RoomList::RoomList(Dictionary& dict, QWidget* parent)
    : MasterDetail(dict, procedureName(), QStringLiteral("Список кабинетов"), parent) {
    const FileDef& types = fileDef(FileId::RoomType);
    const FileDef& rooms = fileDef(FileId::Room);
    ListDeclaration masterDeclaration;
    masterDeclaration.file = FileId::RoomType;
    masterDeclaration.name = QStringLiteral("Типы кабинетов");
    masterDeclaration.columns = {ListColumn::edited(QStringLiteral("Тип кабинета"),
                                                    types.fieldIndex(QStringLiteral("RoomType")),
                                                    ListColumn::Editor::Text)};
    masterDeclaration.view.key = RoomType::RoomTypeKey;
    ListDeclaration detailDeclaration;
    detailDeclaration.file = FileId::Room;
    detailDeclaration.name = QStringLiteral("Кабинеты");
    detailDeclaration.columns = {ListColumn::edited(QStringLiteral("№ каб."),
                                                    rooms.fieldIndex(QStringLiteral("RoomNo")),
                                                    ListColumn::Editor::Text)};
    build(std::move(masterDeclaration), std::move(detailDeclaration),
          {QStringLiteral("Bce кабинеты"), QStringLiteral("Кабинеты по типам")}, Room::RoomNoKey,
          Room::RoomTypeKey, types.fieldIndex(QStringLiteral("SysCode")),
          rooms.fieldIndex(QStringLiteral("RoomTypePtr")), QStringLiteral("ChangeRoomType"),
          QStringLiteral("Укажите тип кабинета"),
          QStringLiteral("Для добавления нового кабинета нужно установить режим просмотра списка "
                         "по типам кабинетов и выбрать подходящий тип кабинета.|Действуйте."));

    common_ = new QComboBox(this);
    common_->setAccessibleName(QStringLiteral("Кабинеты общего назначения:"));
    auto* commonLabel = new QLabel(QStringLiteral("Кабинеты общего назначения:"), this);
    commonLabel->setBuddy(common_);
    fillCommonTypes();
    // A room type added or renamed here is offered at once.
    connect(master(), &RecordList::stored, this, &RoomList::fillCommonTypes);
    connect(common_, &QComboBox::activated, this, [this](int i) {
        const Long code = static_cast<Long>(common_->itemData(i).toLongLong());
        if (code == dict_.glo.CommonTypeRoomCode) return; // the same choice rebuilds nothing
        dict_.glo.CommonTypeRoomCode = code;
        UpdateAllTeacherRoomLists(dict_, RoomListMode::Shared);
        dict_.windows.postToFrame(UserEvent::Refresh);
    });
    auto* print = new QPushButton(QStringLiteral("Печать загрузки кабинетов"), this);
    connect(print, &QPushButton::clicked, this, [this] {
        if (const Row* r = detail()->current())
            trusko::PrintObjectSchedule(
                dict_, ObjectType::Room,
                static_cast<Long>(
                    r->integer(fileDef(FileId::Room).fieldIndex(QStringLiteral("RoomCode")))),
                0, this);
    });
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(commonLabel);
    bottom->addWidget(common_, 1);
    bottom->addWidget(print);
    static_cast<QVBoxLayout*>(layout())->addLayout(bottom);
    resize(520, 360);
}

void RoomList::fillCommonTypes() {
    common_->clear();
    common_->addItem(QString(), qint64(0));
    for (const RoomType& t : dict_.access<RoomType>().all(RoomType::RoomTypeKey))
        common_->addItem(t.RoomType, qint64(t.SysCode));
    common_->setCurrentIndex(std::max(0, common_->findData(qint64(dict_.glo.CommonTypeRoomCode))));
}

void RoomList::refresh() {
    MasterDetail::refresh();
    fillCommonTypes();
}

} // namespace faldin
