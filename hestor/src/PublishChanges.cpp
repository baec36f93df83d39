// "Изменения в расписании" on the published site: what moved since the last publication into
// the same folder, a dated section per publication that changed something, newest first. The
// lessons as published last, and the sections so far, are kept beside the pages in one JSON
// file, written only after the whole publication succeeded, so a failed or stopped one is
// compared against again next time.

#include "PublishFormats.h"

#include "hestor/CompareSchedules.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace hestor::publish {

using namespace tamsel;

namespace {

constexpr int KeptSections = 20;

QJsonObject toJson(const ComparedLesson& l) {
    const Schedule& s = l.entry;
    return QJsonObject{{QStringLiteral("row"), double(s.rowId)},
                       {QStringLiteral("week"), s.Week},
                       {QStringLiteral("day"), s.DaySeqNumber},
                       {QStringLiteral("lesson"), s.LessonNo},
                       {QStringLiteral("room"), double(s.RoomCode)},
                       {QStringLiteral("item"), s.TrainingCourseItemCode},
                       {QStringLiteral("group"), s.GroupCode},
                       {QStringLiteral("subgroup"), s.SubGroupNum},
                       {QStringLiteral("teacher"), s.TeacherCode},
                       {QStringLiteral("subject"), s.ScienceCode},
                       {QStringLiteral("pair"), int(s.CoupledLesson)},
                       {QStringLiteral("link"), s.LinkCode},
                       {QStringLiteral("bell"), l.bell},
                       {QStringLiteral("subjectName"), l.subject},
                       {QStringLiteral("groupLabel"), l.group},
                       {QStringLiteral("groupName"), l.groupName},
                       {QStringLiteral("teacherName"), l.teacher},
                       {QStringLiteral("roomNo"), l.room},
                       {QStringLiteral("dayName"), l.dayName}};
}

ComparedLesson fromJson(const QJsonObject& o) {
    ComparedLesson l;
    Schedule& s = l.entry;
    auto num = [&](const char* key) { return o.value(QLatin1String(key)).toDouble(); };
    auto text = [&](const char* key) { return o.value(QLatin1String(key)).toString(); };
    s.rowId = RowId(num("row"));
    s.Week = Short(num("week"));
    s.DaySeqNumber = Short(num("day"));
    s.LessonNo = text("lesson");
    s.RoomCode = Long(num("room"));
    s.TrainingCourseItemCode = Short(num("item"));
    s.GroupCode = Short(num("group"));
    s.SubGroupNum = Short(num("subgroup"));
    s.TeacherCode = Short(num("teacher"));
    s.ScienceCode = Short(num("subject"));
    s.CoupledLesson = Byte(num("pair"));
    s.LinkCode = Short(num("link"));
    l.bell = int(num("bell"));
    l.subject = text("subjectName");
    l.group = text("groupLabel");
    l.groupName = text("groupName");
    l.teacher = text("teacherName");
    l.room = text("roomNo");
    l.dayName = text("dayName");
    return l;
}

QString esc(const QString& text) {
    return text.toHtmlEscaped();
}

} // namespace

QString changesStateName() {
    return QStringLiteral(".korvel-published.json");
}

PublishedChanges prepareChanges(const QString& dir, const TimetableVersion& now,
                                const QDateTime& when) {
    PublishedChanges out;
    out.changes = -1;
    QJsonArray sections;
    TimetableVersion before;
    QString previous; // when the last publication was
    bool first = true;
    QFile file(dir + QLatin1Char('/') + changesStateName());
    if (file.open(QIODevice::ReadOnly)) {
        const QJsonObject state = QJsonDocument::fromJson(file.readAll()).object();
        // A state that does not read is taken as no earlier publication: the pages are still
        // right, only the list of changes starts again.
        if (state.value(QStringLiteral("lessons")).isArray()) {
            first = false;
            previous = state.value(QStringLiteral("published")).toString();
            before.weeks = state.value(QStringLiteral("weeks")).toInt(1);
            for (const QJsonValue& v : state.value(QStringLiteral("lessons")).toArray())
                before.lessons.push_back(fromJson(v.toObject()));
            sections = state.value(QStringLiteral("sections")).toArray();
        }
    }
    const QString stamp = when.toString(QStringLiteral("dd.MM.yyyy HH:mm"));
    if (!first) {
        before.title = QStringLiteral("публикация %1").arg(previous);
        TimetableVersion after = now;
        after.title = QStringLiteral("публикация %1").arg(stamp);
        const ScheduleComparison c = CompareVersions(before, after);
        out.changes = int(c.changes.size());
        if (!c.same()) {
            sections.prepend(QJsonObject{
                {QStringLiteral("published"), stamp},
                {QStringLiteral("html"), ComparisonHtmlBody(c, ChangesBy::Group, 3)}});
            while (sections.size() > KeptSections) sections.removeLast();
        }
    }

    QString body = QStringLiteral("<p class=\"back\"><a href=\"index.html\">Всё расписание</a></p>\n"
                                  "<h1>Изменения в расписании</h1>\n");
    if (sections.isEmpty())
        // The same words the first time and after: a publication that changed nothing
        // rewrites no page, so an upload has nothing to send.
        body += QStringLiteral("<p>С первой публикации расписание не менялось.</p>\n");
    for (const QJsonValue& v : sections) {
        const QJsonObject s = v.toObject();
        body += QStringLiteral("<section class=\"changes\">\n<h2>Изменения от %1</h2>\n")
                    .arg(esc(s.value(QStringLiteral("published")).toString())) +
                s.value(QStringLiteral("html")).toString() + QStringLiteral("</section>\n");
    }
    out.page = htmlPage(QStringLiteral("Изменения в расписании"), body).toUtf8();

    QJsonArray lessons;
    for (const ComparedLesson& l : now.lessons) lessons.append(toJson(l));
    out.state = QJsonDocument(QJsonObject{{QStringLiteral("published"), stamp},
                                          {QStringLiteral("weeks"), now.weeks},
                                          {QStringLiteral("lessons"), lessons},
                                          {QStringLiteral("sections"), sections}})
                    .toJson(QJsonDocument::Compact);
    return out;
}

} // namespace hestor::publish
