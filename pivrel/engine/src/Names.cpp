#include "pivrel/engine/Engine.h"

#include <algorithm>

using namespace tamsel;

namespace pivrel {

namespace names {

QString rtrim(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).isSpace()) --n;
    return s.left(n);
}

QString pad(const QString& s, int width) {
    if (s.size() >= width) return s.left(width);
    return s + QString(width - s.size(), QLatin1Char(' '));
}

QString roomNo(Dictionary& dict, long roomCode) {
    Room key;
    key.RoomCode = static_cast<Long>(roomCode);
    return pad(dict.access<Room>(false).fetch(Room::CodeKey, key).RoomNo, 7);
}

QString teacherName(Dictionary& dict, short code) {
    Teacher key;
    key.TeacherCode = code;
    return pad(dict.access<Teacher>(false).fetch(Teacher::TeacherCodeKey, key).TeacherName, 20);
}

QString science(Dictionary& dict, short code) {
    Science key;
    key.ScienceCode = code;
    return pad(dict.access<Science>(false).fetch(Science::ScienceCodeKey, key).Science, 20);
}

QString groupId(const Group& g) { return pad(g.Course, 2) + pad(g.Defis, 1) + pad(g.Literal, 2); }

QString groupId(Dictionary& dict, short code) {
    Group key;
    key.GroupCode = code;
    bool found = false;
    const Group g = dict.access<Group>(false).fetch(Group::GroupCodeKey, key, &found);
    return found ? groupId(g) : pad(QString(), 5);
}

QString dayName(Dictionary& dict, short daySeq) {
    Days key;
    key.DaySeqNumber = daySeq;
    return pad(dict.access<Days>(false).fetch(Days::SeqNumberKey, key).DayName, 15);
}

QString linkName(Dictionary& dict, short linkCode) {
    LsnLink key;
    key.LinkCode = linkCode;
    return rtrim(dict.access<LsnLink>(false).fetch(LsnLink::CodeKey, key).LinkName);
}

} // namespace names

namespace queues {

namespace {
struct KindLess {
    bool operator()(const TaskQueueEntry& a, const TaskQueueEntry& b) const {
        const Schedule& x = a.lesson;
        const Schedule& y = b.lesson;
        return std::tie(x.LinkCode, x.ScienceCode, x.TeacherCode, x.GroupCode, x.SubGroupNum,
                        x.RoomCode) < std::tie(y.LinkCode, y.ScienceCode, y.TeacherCode,
                                               y.GroupCode, y.SubGroupNum, y.RoomCode);
    }
};
bool sameKind(const TaskQueueEntry& a, const TaskQueueEntry& b) {
    return !KindLess{}(a, b) && !KindLess{}(b, a);
}
} // namespace

void sortByKind(TaskQueue& q) { std::stable_sort(q.items.begin(), q.items.end(), KindLess{}); }

void sortByFreedom(TaskQueue& q) {
    std::stable_sort(q.items.begin(), q.items.end(),
                     [](const TaskQueueEntry& a, const TaskQueueEntry& b) {
                         if (a.Freedom != b.Freedom) return a.Freedom < b.Freedom;
                         if (a.NumberOfSuchLessons != b.NumberOfSuchLessons)
                             return a.NumberOfSuchLessons > b.NumberOfSuchLessons;
                         return a.lesson.LinkCode < b.lesson.LinkCode;
                     });
}

void sortByLinkCode(TaskQueue& q) {
    std::stable_sort(q.items.begin(), q.items.end(),
                     [](const TaskQueueEntry& a, const TaskQueueEntry& b) {
                         if (a.lesson.LinkCode != b.lesson.LinkCode)
                             return a.lesson.LinkCode < b.lesson.LinkCode;
                         if (a.Freedom != b.Freedom) return a.Freedom < b.Freedom;
                         return a.NumberOfSuchLessons > b.NumberOfSuchLessons;
                     });
}

void CountSuchLessons(TaskQueue& q) {
    sortByKind(q);
    size_t i = 0;
    while (i < q.items.size()) {
        size_t j = i + 1;
        while (j < q.items.size() && sameKind(q.items[i], q.items[j])) ++j;
        for (size_t k = i; k < j; ++k) q.items[k].NumberOfSuchLessons = static_cast<Short>(j - i);
        i = j;
    }
}

void sortVariants(VariantQueue& q) {
    std::stable_sort(q.items.begin(), q.items.end(),
                     [](const VariantQueueEntry& a, const VariantQueueEntry& b) {
                         if (a.LinkCode != b.LinkCode) return a.LinkCode < b.LinkCode;
                         if (a.MainEstimate != b.MainEstimate)
                             return a.MainEstimate < b.MainEstimate;
                         if (a.AdditionalEstimate != b.AdditionalEstimate)
                             return a.AdditionalEstimate < b.AdditionalEstimate;
                         if (const int c = a.LessonNo.compare(b.LessonNo)) return c < 0;
                         if (a.Week != b.Week) return a.Week < b.Week;
                         return a.DaySeqNumber < b.DaySeqNumber;
                     });
}

void sortVariantsForChoice(VariantQueue& q) {
    std::stable_sort(q.items.begin(), q.items.end(),
                     [](const VariantQueueEntry& a, const VariantQueueEntry& b) {
                         if (a.LinkCode != b.LinkCode) return a.LinkCode < b.LinkCode;
                         if (a.MainEstimate != b.MainEstimate)
                             return a.MainEstimate < b.MainEstimate;
                         if (a.AdditionalEstimate != b.AdditionalEstimate)
                             return a.AdditionalEstimate < b.AdditionalEstimate;
                         if (const int c = a.LessonNo.compare(b.LessonNo)) return c < 0;
                         if (a.DaySeqNumber != b.DaySeqNumber)
                             return a.DaySeqNumber < b.DaySeqNumber;
                         return a.Week < b.Week;
                     });
}

int findTask(const TaskQueue& q, short linkCode) {
    for (size_t i = 0; i < q.items.size(); ++i)
        if (q.items[i].lesson.LinkCode == linkCode) return static_cast<int>(i);
    return -1;
}

} // namespace queues

namespace texts {

QString lessonsAndVariants(int lessons, int variants) {
    return QStringLiteral("          - уроков: %1, вариантов: %2").arg(lessons).arg(variants);
}

QString cannotPlaceAll() {
    return QStringLiteral("  ВНИМАНИЕ ! Расстановка всех уроков невозможна !");
}

QString placedLine(bool linked, int weeksInCycle, short week, const QString& dayName15,
                   const QString& lessonNo) {
    QString s = linked ? QStringLiteral("     Уроки размещены") : QStringLiteral("     Урок размещен");
    if (weeksInCycle > 1)
        s += QStringLiteral(" по %1-й неделе в ").arg(week) + dayName15 +
             QStringLiteral(" урок № ") + lessonNo;
    else
        s += QStringLiteral(" в ") + dayName15 + QStringLiteral(" урок № ") + lessonNo;
    return s;
}

QString question(int k) {
    return QStringLiteral("    Внимание! При анализе вариантов расстановки обнаружено ") +
           QString::number(k) + QStringLiteral(" видов уроков, ") +
           QStringLiteral("которые не могут быть полностью расставлены.") +
           QStringLiteral("| |    Хотите ли Вы произвести расстановку уроков ") +
           QStringLiteral("в этих условиях?");
}

} // namespace texts

} // namespace pivrel
