#include "pivrel/engine/AutoPivrel.h"

#include "tamsel/Globals.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace tamsel;

namespace pivrel {

namespace {
QStringList lessonValues(const Schedule& s) {
    return {QString::number(s.Week),        QString::number(s.DaySeqNumber),
            s.LessonNo,                     QString::number(s.ScienceCode),
            QString::number(s.TeacherCode), QString::number(s.GroupCode),
            QString::number(s.SubGroupNum), QString::number(s.RoomCode),
            QString::number(s.TrainingCourseItemCode), QString::number(s.CoupledLesson),
            QString::number(s.LinkCode)};
}
const QStringList LessonColumns{u"Week"_qs, u"DaySeqNo"_qs, u"LessonNo"_qs, u"ScienceCode"_qs,
                                u"TeacherCode"_qs, u"GroupCode"_qs, u"SubGroupNum"_qs,
                                u"RoomCode"_qs, u"TrainingCourseItemCode"_qs,
                                u"CoupledLesson"_qs, u"LinkCode"_qs};

QTableWidget* table(const QStringList& headers, const QList<QStringList>& rows, int current) {
    auto* t = new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(headers.size()));
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            t->setItem(r, c, new QTableWidgetItem(rows[r][c]));
    t->resizeColumnsToContents();
    if (current >= 0 && current < rows.size()) t->selectRow(current);
    return t;
}
} // namespace

void DisplayLinkedLessonsQueue(Dictionary& dict, const QString& message, QWidget* parent) {
    const Globals& glo = dict.glo;
    QDialog dlg(parent);
    dlg.setWindowTitle(message.isEmpty() ? QStringLiteral("Queues")
                                         : QStringLiteral("Queues в ") + message);
    auto* l = new QVBoxLayout(&dlg);

    QStringList h1;
    for (const QString& c : LessonColumns) h1 << QStringLiteral("O.") + c;
    for (const QString& c : LessonColumns) h1 << QStringLiteral("N.") + c;
    QList<QStringList> r1;
    r1 << lessonValues(glo.ScheduleRecord);
    for (const auto& e : glo.LinkedLessonsQueue.items) r1 << lessonValues(e.O) + lessonValues(e.N);
    l->addWidget(new QLabel(QStringLiteral("ScheduleRecord и LinkedLessonsQueue")));
    l->addWidget(table(h1, r1, glo.LinkedLessonsQueue.pointer + 1));

    QStringList h2 = LessonColumns;
    h2 << u"NumberOfSuchLessons"_qs << u"NumberOfVariants"_qs << u"Freedom"_qs << u"Done"_qs;
    QList<QStringList> r2;
    for (const auto& t : glo.TaskQueue.items)
        r2 << lessonValues(t.lesson) + QStringList{QString::number(t.NumberOfSuchLessons),
                                                   QString::number(t.NumberOfVariants),
                                                   QString::number(t.Freedom),
                                                   QString::number(t.Done)};
    l->addWidget(new QLabel(QStringLiteral("TaskQueue")));
    l->addWidget(table(h2, r2, glo.TaskQueue.pointer));

    QList<QStringList> r3;
    for (const auto& v : glo.VariantQueue.items)
        r3 << QStringList{QString::number(v.LinkCode), QString::number(v.Week),
                          QString::number(v.DaySeqNumber), v.LessonNo,
                          QString::number(v.MainEstimate), QString::number(v.AdditionalEstimate)};
    l->addWidget(new QLabel(QStringLiteral("VariantQueue")));
    l->addWidget(table({u"LinkCode"_qs, u"Week"_qs, u"DaySeqNo"_qs, u"LessonNo"_qs,
                        u"MainEstimate"_qs, u"AdditionalEstimate"_qs},
                       r3, glo.VariantQueue.pointer));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    l->addWidget(buttons);
    dlg.resize(900, 600);
    dlg.exec();
}

EngineHooks windowHooks(Dictionary& dict, std::function<void(int)> postToFrame) {
    EngineHooks h;
    h.displayQueues = [&dict](const QString& m) { DisplayLinkedLessonsQueue(dict, m); };
    h.postToFrame = std::move(postToFrame);
    return h;
}

} // namespace pivrel
