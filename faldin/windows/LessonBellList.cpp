#include "faldin/windows/LessonBellList.h"

#include "tamsel/Dictionary.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace faldin {

using namespace tamsel;

LessonBellList::LessonBellList(Dictionary& dict, QWidget* parent)
    : ListWindow(dict, procedureName(), QStringLiteral("Список уроков"), parent) {
    const FileDef& def = fileDef(FileId::LessonBell);
    ListDeclaration s;
    s.file = FileId::LessonBell;
    s.name = QStringLiteral("Список уроков");
    s.columns = {
        ListColumn::edited(QStringLiteral("Урок"), def.fieldIndex(QStringLiteral("LessonNo")),
                           ListColumn::Editor::Text),
        ListColumn::edited(QStringLiteral("Начало"), def.fieldIndex(QStringLiteral("Begining")),
                           ListColumn::Editor::Time),
        ListColumn::edited(QStringLiteral("Конец"), def.fieldIndex(QStringLiteral("Ending")),
                           ListColumn::Editor::Time),
    };
    s.view.key = LessonBell::NumberKey;
    s.beforeDelete = [&dict](const Row& bell) {
        return ConfirmLessonsDeleted(dict, LessonsAtBell(dict, bell.text(0)));
    };
    RecordList* list = addList(std::move(s));
    auto* grid = new QPushButton(QStringLiteral("Стандартная сетка"), this);
    connect(grid, &QPushButton::clicked, this, [this] { askLessonGrid(); });
    list->buttonRow()->addWidget(grid);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list);
    resize(360, 250);
    list->reload();
}

void LessonBellList::askLessonGrid(const std::function<bool(LessonGrid&)>& answer) {
    LessonGrid g;
    if (answer) {
        if (!answer(g)) return;
    } else {
        QDialog dialog(this);
        dialog.setWindowTitle(QStringLiteral("Стандартная сетка часов"));
        auto* form = new QFormLayout(&dialog);
        auto spin = [&](const char* label, int value, int low, int high, int step) {
            auto* s = new QSpinBox(&dialog);
            s->setRange(low, high);
            s->setSingleStep(step);
            s->setValue(value);
            form->addRow(QString::fromUtf8(label), s);
            return s;
        };
        QSpinBox* lessons = spin("Количество уроков в день:", g.lessons, 1, 30, 1);
        auto* start = new QTimeEdit(QTime(8, 30), &dialog);
        start->setDisplayFormat(QStringLiteral("H:mm"));
        start->setCurrentSection(QDateTimeEdit::MinuteSection);
        form->addRow(QStringLiteral("Начало 1-го урока:"), start);
        QSpinBox* length = spin("Продолжительность урока (мин.):", g.length, 0, 120, 5);
        QSpinBox* brk = spin("Продолжительность перемен (мин.):", g.breakLength, 0, 120, 1);
        QSpinBox* long1No = spin("Номер 1-й большой перемены:", g.firstLongBreakAfter, 0, 25, 1);
        QSpinBox* long1 =
            spin("Продолжительность 1-й большой перемены (мин.):", g.firstLongBreak, 0, 120, 1);
        QSpinBox* long2No = spin("Номер 2 й большой перемены:", g.secondLongBreakAfter, 0, 25, 1);
        QSpinBox* long2 =
            spin("Продолжительность 2-й большой перемены (мин.):", g.secondLongBreak, 0, 120, 1);
        auto* buttons = new QDialogButtonBox(&dialog);
        buttons->addButton(QStringLiteral("Составить"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QStringLiteral("Отменить"), QDialogButtonBox::RejectRole);
        connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        form->addRow(buttons);
        if (dialog.exec() != QDialog::Accepted) return;
        // The start in steps of five minutes.
        const QTime t = start->time();
        g.lessons = lessons->value();
        g.start = timeOf(t.hour(), t.minute() / 5 * 5);
        g.length = length->value() / 5 * 5;
        g.breakLength = brk->value();
        g.firstLongBreakAfter = long1No->value();
        g.firstLongBreak = long1->value();
        g.secondLongBreakAfter = long2No->value();
        g.secondLongBreak = long2->value();
    }
    SetDefaultLessonGrid(dict_, g);
    bells()->reload();
    dict_.windows.postToFrame(UserEvent::Refresh);
}

} // namespace faldin
