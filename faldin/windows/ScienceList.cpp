#include "faldin/windows/ScienceList.h"

#include "faldin/Divisions.h"
#include "faldin/RoomLists.h"
#include "tamsel/Dictionary.h"

#include <QHBoxLayout>
#include <algorithm>
#include <QPushButton>
#include <QVBoxLayout>

namespace faldin {

using namespace tamsel;

namespace {

/// Drop-list entries of a code field: an empty entry, then the names of another file.
template <class R, class Name, class Code>
std::function<std::vector<std::pair<QString, Value>>()>
choicesOf(Dictionary& dict, typename R::Key key, Name name, Code code) {
    return [&dict, key, name, code] {
        std::vector<std::pair<QString, Value>> out{{QString(), qint64(0)}};
        for (const R& r : dict.access<R>().all(key))
            out.push_back({name(r), qint64(code(r))});
        return out;
    };
}

} // namespace

ScienceList::ScienceList(Dictionary& dict, bool selecting, QWidget* parent)
    : MasterDetail(dict, procedureName(), QStringLiteral("Список учебных дисциплин"), parent) {
    const FileDef& cycles = fileDef(FileId::ScienceCycle);
    const FileDef& subjects = fileDef(FileId::Science);
    ListDeclaration masterDeclaration;
    masterDeclaration.file = FileId::ScienceCycle;
    masterDeclaration.name = QStringLiteral("Учебные циклы");
    masterDeclaration.columns = {
        ListColumn::edited(QStringLiteral("Учебный цикл"),
                           cycles.fieldIndex(QStringLiteral("CycleName")),
                           ListColumn::Editor::Text),
        ListColumn::edited(QStringLiteral("Макс.ур. в день"),
                           cycles.fieldIndex(QStringLiteral("LessonsPerDayMax")),
                           ListColumn::Editor::Number, 0, 30),
    };
    masterDeclaration.view.key = ScienceCycle::CycleNameKey;
    // A daily maximum of 0 would penalise every lesson of the cycle: a new cycle starts at the
    // day's number of lessons, which limits nothing until the officer lowers it.
    masterDeclaration.prime = [&dict, max = cycles.fieldIndex(QStringLiteral("LessonsPerDayMax"))](
                                  Row& fresh) {
        FileUse bells(dict.store(), FileId::LessonBell);
        const qint64 lessons =
            bells ? qint64(dict.access<LessonBell>().all(LessonBell::NumberKey).size()) : 0;
        fresh.set(max, std::clamp<qint64>(lessons, 0, 30));
        return true;
    };

    auto roomTypes = choicesOf<RoomType>(
        dict, RoomType::RoomTypeKey, [](const RoomType& t) { return t.RoomType; },
        [](const RoomType& t) { return t.SysCode; });
    ListDeclaration detailDeclaration;
    detailDeclaration.file = FileId::Science;
    detailDeclaration.name = QStringLiteral("Дисциплины");
    ListColumn subgroups = ListColumn::edited(QStringLiteral("Тип и к-во подгрупп"),
                                              subjects.fieldIndex(QStringLiteral("SgrpTypCode")),
                                              ListColumn::Editor::Choice);
    subgroups.choices = choicesOf<SubGroupType>(
        dict, SubGroupType::SgrpTypKey,
        [](const SubGroupType& t) {
            return QStringLiteral("%1 (%2)").arg(t.SgrpTyp).arg(t.NumbOfSubGroups);
        },
        [](const SubGroupType& t) { return t.SgrpTypCode; });
    ListColumn main = ListColumn::edited(QStringLiteral("Основной тип кабинета"),
                                         subjects.fieldIndex(QStringLiteral("MainRoomTypeCode")),
                                         ListColumn::Editor::Choice);
    main.choices = roomTypes;
    ListColumn additional = ListColumn::edited(
        QStringLiteral("Дополнительный тип каб."),
        subjects.fieldIndex(QStringLiteral("AdditionalRoomTypeCode")), ListColumn::Editor::Choice);
    additional.choices = roomTypes;
    detailDeclaration.columns = {ListColumn::edited(QStringLiteral("Дисциплина"),
                                                    subjects.fieldIndex(QStringLiteral("Science")),
                                                    ListColumn::Editor::Text),
                                 subgroups, main, additional};
    detailDeclaration.beforeChange = [&dict](const Row& before, const Row& after) {
        const QString refusal =
            SubjectDivisionRefusal(dict, fromRow<Science>(before), fromRow<Science>(after));
        if (refusal.isEmpty()) return true;
        dict.ui().tell(DivisionRefusalCaption(), refusal);
        return false;
    };
    // Only new room types change where the subject's lessons may go.
    detailDeclaration.changed = [&dict](const Row& before, const Row& after) {
        const Science b = fromRow<Science>(before), a = fromRow<Science>(after);
        if (b.MainRoomTypeCode != a.MainRoomTypeCode ||
            b.AdditionalRoomTypeCode != a.AdditionalRoomTypeCode)
            UpdateSubjectRoomLists(dict, a.ScienceCode);
    };
    build(std::move(masterDeclaration), std::move(detailDeclaration),
          {QStringLiteral("Bce"), QStringLiteral("Дисциплины по циклам")}, Science::ScienceKey,
          Science::CycleCodeKey, cycles.fieldIndex(QStringLiteral("CycleCode")),
          subjects.fieldIndex(QStringLiteral("CycleCode")), QStringLiteral("ChangeScienceCycle"),
          QStringLiteral("Укажите учебный цикл"),
          QStringLiteral("Для добавления нового предмета нужно установить режим просмотра списка "
                         "по учебным циклам и выбрать подходящий цикл.|Действуйте."));

    auto* update = new QPushButton(QStringLiteral("Обновить списки кабинетов"), this);
    connect(update, &QPushButton::clicked, this, [this] {
        if (const Row* r = detail()->current()) {
            UpdateSubjectRoomLists(dict_, fromRow<Science>(*r).ScienceCode);
            dict_.windows.postToFrame(UserEvent::Refresh);
        }
    });
    choose_ = new QPushButton(QStringLiteral("&Выбрать"), this);
    choose_->setVisible(selecting);
    auto pick = [this](const Row& r) { emit subjectChosen(fromRow<Science>(r).ScienceCode); };
    connect(choose_, &QPushButton::clicked, this, [this, pick] {
        if (const Row* r = detail()->current()) pick(*r);
    });
    if (selecting) connect(detail(), &RecordList::chosen, this, pick);
    detail()->buttonRow()->addWidget(update);
    detail()->buttonRow()->addWidget(choose_);
    resize(760, 380);
}

} // namespace faldin
