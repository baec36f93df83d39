#include "faldin/windows/SubGroupTypeList.h"

#include "faldin/Divisions.h"
#include "tamsel/Dictionary.h"

#include <QVBoxLayout>

namespace faldin {

using namespace tamsel;

SubGroupTypeList::SubGroupTypeList(Dictionary& dict, QWidget* parent)
    : ListWindow(dict, procedureName(), QStringLiteral("Типы подгрупп"), parent) {
    const FileDef& def = fileDef(FileId::SubGroupType);
    const int count = def.fieldIndex(QStringLiteral("NumbOfSubGroups"));
    ListDeclaration s;
    s.file = FileId::SubGroupType;
    s.name = QStringLiteral("Типы подгрупп");
    s.columns = {ListColumn::edited(QStringLiteral("Тип п/группы"),
                                    def.fieldIndex(QStringLiteral("SgrpTyp")),
                                    ListColumn::Editor::Text),
                 ListColumn::edited(QStringLiteral("Кол-во п/групп"), count,
                                    ListColumn::Editor::Number, 2, 30)};
    s.view.key = SubGroupType::SgrpTypKey;
    s.prime = [count](Row& fresh) {
        fresh.set(count, qint64(2)); // the smallest division
        return true;
    };
    s.beforeChange = [&dict](const Row& before, const Row& after) {
        const QString refusal = SubGroupTypeRefusal(dict, fromRow<SubGroupType>(before),
                                                    fromRow<SubGroupType>(after));
        if (refusal.isEmpty()) return true;
        dict.ui().tell(DivisionRefusalCaption(), refusal);
        return false;
    };
    RecordList* list = addList(std::move(s));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list);
    resize(360, 260);
    list->reload();
}

} // namespace faldin
