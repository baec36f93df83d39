#include "hestor/PublishSchedule.h"
#include "hestor/windows/PublishScheduleWindow.h"
#include "hestor/PublishUpload.h"
#include "hestor/windows/SchoolCalendarWindow.h"

#include "tamsel/IniFile.h"
#include "tamsel/SchoolCalendar.h"
#include "tamsel/TestFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QUrl>
#include <QTableWidget>
#include <gtest/gtest.h>

using namespace tamsel;

namespace {

QString u(const char* s) {
    return QString::fromUtf8(s);
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// Monday to Friday, one bell, one placed lesson on Tuesday of week 1.
void school(TestFolder& t) {
    FileUse a(t.store(), FileId::Days), b(t.store(), FileId::LessonBell),
        c(t.store(), FileId::Group), d(t.store(), FileId::Science), e(t.store(), FileId::Teacher),
        f(t.store(), FileId::Room), g(t.store(), FileId::Schedule), h(t.store(), FileId::Speciality);
    const char* names[] = {"Понедельник", "Вторник", "Среда", "Четверг", "Пятница"};
    t.records<Days>(5, [&](Days& r, int i) {
        r.DaySeqNumber = Short(i);
        r.DayName = u(names[i - 1]);
    });
    ASSERT_TRUE(t.put(LessonBell{.LessonNo = u("  1"), .Begining = timeOf(8, 30),
                                 .Ending = timeOf(9, 15)}).rowId);
    ASSERT_TRUE(t.put(Group{.GroupCode = 1, .Course = u("5"), .Defis = u("-"),
                            .Literal = u("А")}).rowId);
    ASSERT_TRUE(t.put(Science{.ScienceCode = 1, .Science = u("История; России")}).rowId);
    ASSERT_TRUE(t.put(Schedule{.Week = 1, .DaySeqNumber = 2, .LessonNo = u("  1"), .ScienceCode = 1,
                               .GroupCode = 1}).rowId);
}

void application() {
    static int argc = 1;
    static char name[] = "hestor_tests";
    static char* argv[] = {name, nullptr};
    if (!qApp) new QApplication(argc, argv);
}

} // namespace

TEST(SchoolCalendar, TeachingDatesLeaveHolidaysOutAndCountTheCycleByCalendarWeeks) {
    IniFile ini;
    ini.setValue(u("SchoolCalendar"), u("FirstDay"), u("2026-09-01"));
    ini.setValue(u("SchoolCalendar"), u("LastDay"), u("2027-05-31"));
    ini.setValue(u("SchoolCalendar"), u("Holidays"), u("2026-10-26..2026-11-03, 2026-11-04, 2027-13-01"));
    QString problem;
    SchoolCalendar c = SchoolCalendar::load(ini, &problem);
    EXPECT_EQ(problem, u("2027-13-01")) << "a date that does not read is named, not dropped silently";
    ASSERT_EQ(c.holidays.size(), 2);
    EXPECT_EQ(c.timeZone, u("Europe/Moscow"));

    // Written and read back the same.
    IniFile again;
    c.save(again);
    const SchoolCalendar d = SchoolCalendar::load(again, &problem);
    EXPECT_EQ(d.first, c.first);
    EXPECT_EQ(d.holidays, c.holidays);
    EXPECT_EQ(again.value(u("SchoolCalendar"), u("Holidays")), u("2026-10-26..2026-11-03, 2026-11-04"));

    // Tuesday 1 September starts week 1; the Monday after is week 2; the holidays do not stop
    // the cycle (2 November, a holiday Monday, is in week 2 and 9 November in week 1).
    EXPECT_EQ(c.cycleWeek(QDate(2026, 9, 1), 2), 1);
    EXPECT_EQ(c.cycleWeek(QDate(2026, 9, 6), 2), 1);
    EXPECT_EQ(c.cycleWeek(QDate(2026, 9, 7), 2), 2);
    EXPECT_EQ(c.cycleWeek(QDate(2026, 11, 9), 2), 1);
    EXPECT_EQ(c.cycleWeek(QDate(2026, 9, 14), 3), 3);
    EXPECT_EQ(c.cycleWeek(QDate(2026, 9, 21), 3), 1);
    EXPECT_EQ(c.cycleWeek(QDate(2026, 9, 28), 1), 1);

    EXPECT_TRUE(c.isTeachingDate(QDate(2026, 9, 1), 6));
    EXPECT_FALSE(c.isTeachingDate(QDate(2026, 8, 31), 6)) << "before the year";
    EXPECT_FALSE(c.isTeachingDate(QDate(2026, 10, 28), 6)) << "in the holidays";
    EXPECT_FALSE(c.isTeachingDate(QDate(2026, 11, 4), 6)) << "a single holiday";
    EXPECT_TRUE(c.isTeachingDate(QDate(2026, 11, 5), 6));
    EXPECT_TRUE(c.isTeachingDate(QDate(2026, 9, 5), 6)) << "Saturday in a six-day week";
    EXPECT_FALSE(c.isTeachingDate(QDate(2026, 9, 5), 5)) << "Saturday in a five-day week";
    EXPECT_FALSE(c.isTeachingDate(QDate(2026, 9, 6), 6)) << "Sunday";
}

TEST(Publish, RefusesTheSchoolsOwnFilesAndAFileAsFolderAndWritesNothing) {
    TestFolder t;
    school(t);
    const QString out = t.file(u("site"));
    ASSERT_TRUE(QDir().mkpath(out));
    // A page name that is a link to the settings file: nothing may go through it.
    ASSERT_TRUE(QFile::link(t.file(u("Korvel.ini")), out + u("/group-1.html")));
    const QByteArray settings = bytesOf(t.file(u("Korvel.ini")));
    hestor::PublishOptions o;
    o.outDir = out;
    o.from = QDate(2026, 9, 1);
    o.to = QDate(2026, 9, 30);
    hestor::PublishResult r = hestor::PublishSchedule(t.dict(), o, t.progress);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.startsWith(u("Публикация не выполнена."))) << r.error.toStdString();
    EXPECT_TRUE(r.error.contains(u("group-1.html"))) << r.error.toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot),
              QStringList{u("group-1.html")});
    EXPECT_EQ(bytesOf(t.file(u("Korvel.ini"))), settings);

    QFile plain(t.file(u("notes.txt")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    o.outDir = plain.fileName();
    r = hestor::PublishSchedule(t.dict(), o, t.progress);
    EXPECT_EQ(r.error, u("Публикация не выполнена: «%1» — это файл, а не папка.")
                           .arg(QDir::toNativeSeparators(plain.fileName())));

    // Calendars need dates: without a school year or a period nothing is written.
    o.outDir = t.file(u("other"));
    o.from = o.to = QDate();
    r = hestor::PublishSchedule(t.dict(), o, t.progress);
    EXPECT_EQ(r.error, u("Календари (.ics) не записаны: не задан календарь учебного года и не "
                         "указан период."));
    EXPECT_FALSE(QFile::exists(o.outDir));

    o.from = o.to = QDate(2026, 9, 6); // a Sunday
    r = hestor::PublishSchedule(t.dict(), o, t.progress);
    EXPECT_EQ(r.error, u("Календари (.ics) не записаны: в периоде с 06.09.2026 по 06.09.2026 нет "
                         "учебных дней."));
    EXPECT_FALSE(QFile::exists(o.outDir));

    // Without calendars the cycle is published: the CSV has a row per cycle cell.
    o.ics = false;
    o.from = o.to = QDate();
    r = hestor::PublishSchedule(t.dict(), o, t.progress);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.written.size(), 4);
    EXPECT_EQ(QString::fromUtf8(bytesOf(o.outDir + u("/schedule.csv"))),
              u("\uFEFFДата;День недели;Неделя цикла;Урок;Начало;Окончание;Класс;Подгруппа;"
                "Предмет;Учитель;Кабинет\r\n;Вторник;1;1;08:30;09:15;5-А;;\"История; России\";;\r\n"));

    // The site's page of changes: none the first time; the lesson moved to Wednesday is listed
    // under the next publication's date, and a publication that changes nothing keeps the list.
    const QString changes = o.outDir + u("/changes.html");
    EXPECT_TRUE(QString::fromUtf8(bytesOf(changes)).contains(u("расписание не менялось")));
    EXPECT_TRUE(bytesOf(o.outDir + u("/index.html")).contains("href=\"changes.html\""));
    {
        FileUse schedule(t.store(), FileId::Schedule);
        auto lessons = t.dict().access<Schedule>();
        Schedule l = lessons.all(Schedule::GroupKey).at(0);
        l.DaySeqNumber = 3;
        ASSERT_TRUE(lessons.update(l).ok());
    }
    {
        // A lesson cancelled on 1 September goes on the site's page of substitutions.
        FileUse teachers(t.store(), FileId::Teacher), subs(t.store(), FileId::Substitution);
        t.put(Teacher{.TeacherCode = 1, .TableNo = 1, .TeacherName = u("Иванова И.И.")});
        t.put(Substitution{.Date = dayNumberOf(QDate(2026, 9, 1)), .Week = 1, .DaySeqNumber = 2,
                           .LessonNo = u("  1"), .AbsentTeacherCode = 1, .GroupCode = 1,
                           .ScienceCode = 1, .SubstituteCode = 0});
    }
    o.today = QDate(2026, 8, 31);
    const QString moved = u("<td>История; России, 5-А</td><td>перемещен</td><td>вт 1</td><td>ср 1</td>");
    for (int again = 0; again < 2; ++again) {
        r = hestor::PublishSchedule(t.dict(), o, t.progress);
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        EXPECT_EQ(r.written.value(3).section(u(" — "), 0, 0),
                  again ? u("изменения с прошлой публикации (уроков: 0)")
                        : u("изменения с прошлой публикации (уроков: 1)"));
        const QString page = QString::fromUtf8(bytesOf(changes));
        EXPECT_EQ(page.count(moved), 1) << page.toStdString();
        EXPECT_EQ(page.count(u("<h2>Изменения от ")), 1);
    }
    const QString substitutions = QString::fromUtf8(bytesOf(o.outDir + u("/substitutions.html")));
    EXPECT_TRUE(substitutions.contains(u("<h2>Замены на 01.09.2026, вторник</h2>")));
    EXPECT_TRUE(substitutions.contains(u("<td>Иванова И.И.</td><td>урок отменен</td>"))) << substitutions.toStdString();
    EXPECT_TRUE(bytesOf(o.outDir + u("/index.html")).contains("href=\"substitutions.html\""));
}

TEST(Publish, TheWindowNamesWhatWasWrittenAndNeverCallsAFailureSuccess) {
    application();
    TestFolder t;
    school(t);
    hestor::PublishScheduleWindow w(t.dict());
    w.folder()->setText(t.file(u("site")));
    // Nothing published yet: there is nothing to look at, and it says so.
    for (QPushButton* b : w.findChildren<QPushButton*>())
        if (b->text() == u("&Просмотреть")) b->click();
    EXPECT_EQ(t.ui.last(), u("В папке нет опубликованных страниц: сначала нажмите «Опубликовать»."));
    // No school year and no period: the calendars cannot be written, and it says so.
    EXPECT_FALSE(w.publish());
    EXPECT_EQ(t.ui.last(), u("Календари (.ics) не записаны: не задан календарь учебного года и не "
                             "указан период."));
    w.period()->setChecked(true);
    w.from()->setDate(QDate(2026, 9, 1));
    w.to()->setDate(QDate(2026, 9, 7));
    ASSERT_TRUE(w.publish()) << t.ui.last().toStdString();
    const QString site = QDir::toNativeSeparators(t.file(u("site")));
    EXPECT_EQ(t.ui.last(), u("Расписание опубликовано:\n"
                             "веб-страницы (9) — %1/index.html\n"
                             "календари .ics (1) — %1/ics\n"
                             "таблица CSV — %1/schedule.csv\n"
                             "книга Excel — %1/schedule.xlsx\n"
                             "изменения в расписании: первая публикация — %1/changes.html").arg(site));
    EXPECT_TRUE(t.progress.captions.contains(u("Публикация расписания")));
}

TEST(Publish, TheWindowSendsToTheSiteAfterPublishingAndKeepsNoPassword) {
    application();
    TestFolder t;
    school(t);
    hestor::PublishScheduleWindow w(t.dict());
    w.folder()->setText(t.file(u("site")));
    w.ics()->setChecked(false);
    w.uploadAfterPublish()->setChecked(true);
    // Published, but the site refused: no success.
    w.url()->setText(u("gopher://host/"));
    EXPECT_FALSE(w.publish());
    EXPECT_TRUE(w.result()->toPlainText().contains(u("Адрес «gopher://host/» не подходит")));
    const QString mirror = QUrl::fromLocalFile(t.file(u("mirror")) + u("/")).toString();
    w.url()->setText(mirror);
    w.user()->setText(u("officer"));
    w.password()->setText(u("s3cret"));
    ASSERT_TRUE(w.publish()) << t.ui.last().toStdString();
    EXPECT_TRUE(w.result()->toPlainText().endsWith(
        u("\nОтправлено файлов: 11, без изменений: 0, адрес: ") + mirror));
    EXPECT_EQ(bytesOf(t.file(u("mirror/index.html"))), bytesOf(t.file(u("site/index.html"))));
    ASSERT_TRUE(w.upload());
    EXPECT_EQ(w.result()->toPlainText(), u("Отправлено файлов: 0, без изменений: 11, адрес: ") + mirror);

    ASSERT_TRUE(t.dict().saveSettings());
    const QString ini = QString::fromUtf8(bytesOf(t.file(u("Korvel.ini"))));
    for (const QString& kept : {u("UploadUrl=") + mirror, u("UploadUser=officer"), u("UploadAfterPublish=1")})
        EXPECT_TRUE(ini.contains(kept)) << kept.toStdString();
    EXPECT_FALSE(ini.contains(u("s3cret")));
    EXPECT_TRUE(hestor::PublishScheduleWindow(t.dict()).password()->text().isEmpty());
}

TEST(Publish, CalendarWindowShowsTheCycleWeekOfEachTeachingDateAndSavesIntoTheSettings) {
    application();
    TestFolder t(2);
    school(t);
    hestor::SchoolCalendarWindow w(t.dict());
    w.first()->setDate(QDate(2026, 9, 1));
    w.last()->setDate(QDate(2026, 9, 30));
    w.holidayFrom()->setDate(QDate(2026, 9, 14));
    w.holidayTo()->setDate(QDate(2026, 9, 18));
    w.addHoliday();
    EXPECT_EQ(w.holidays()->item(0)->text(), u("14.09.2026 – 18.09.2026"));
    ASSERT_EQ(w.dates()->rowCount(), 17) << "22 weekdays of September less five of holidays";
    EXPECT_EQ(w.dates()->item(0, 0)->text(), u("01.09.2026"));
    EXPECT_EQ(w.dates()->item(0, 1)->text(), u("Вторник"));
    EXPECT_EQ(w.dates()->item(0, 2)->text(), u("1-я неделя"));
    EXPECT_EQ(w.dates()->item(4, 0)->text(), u("07.09.2026"));
    EXPECT_EQ(w.dates()->item(4, 2)->text(), u("2-я неделя"));
    EXPECT_EQ(w.dates()->item(9, 0)->text(), u("21.09.2026")) << "the holiday week is left out";
    EXPECT_EQ(w.dates()->item(9, 2)->text(), u("2-я неделя"));

    ASSERT_TRUE(w.save());
    IniFile disk(t.file(u("Korvel.ini")));
    ASSERT_TRUE(disk.load());
    EXPECT_EQ(disk.value(u("SchoolCalendar"), u("Holidays")), u("2026-09-14..2026-09-18"));
    EXPECT_EQ(disk.value(u("SchoolCalendar"), u("FirstDay")), u("2026-09-01"));

    // Иванова's lesson on 29 September is given by Петров: her calendar keeps the event,
    // cancelled (the same UID, so a subscribed phone updates it), his gains it, the group's
    // names him.
    {
        FileUse schedule(t.store(), FileId::Schedule), teachers(t.store(), FileId::Teacher),
            subs(t.store(), FileId::Substitution);
        t.put(Teacher{.TeacherCode = 1, .TableNo = 1, .TeacherName = u("Иванова И.И.")});
        t.put(Teacher{.TeacherCode = 2, .TableNo = 2, .TeacherName = u("Петров П.П.")});
        auto lessons = t.dict().access<Schedule>();
        Schedule l = lessons.all(Schedule::GroupKey).at(0);
        l.TeacherCode = 1;
        ASSERT_TRUE(lessons.update(l).ok());
        t.put(Substitution{.Date = dayNumberOf(QDate(2026, 9, 29)), .Week = 1, .DaySeqNumber = 2,
                           .LessonNo = u("  1"), .AbsentTeacherCode = 1, .GroupCode = 1,
                           .ScienceCode = 1, .SubstituteCode = 2});
    }
    // The publication takes the saved year: the one lesson (Tuesday, week 1) falls on
    // 1, 15 (a holiday) and 29 September; two events remain.
    hestor::PublishOptions o;
    o.outDir = t.file(u("site"));
    o.html = o.csv = o.xlsx = false;
    const hestor::PublishResult r = hestor::PublishSchedule(t.dict(), o, t.progress);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    const QByteArray ics = bytesOf(o.outDir + u("/ics/group-1.ics"));
    EXPECT_EQ(ics.count("BEGIN:VEVENT"), 2);
    EXPECT_TRUE(ics.contains("DTSTART;TZID=Europe/Moscow:20260901T083000"));
    EXPECT_TRUE(ics.contains("DTSTART;TZID=Europe/Moscow:20260929T083000"));
    EXPECT_TRUE(ics.contains("UID:group-1-20260901-1-1-0-1@korvel"));
    EXPECT_EQ(QByteArray(ics).replace("\r\n ", "").count("Замена: Петров П.П. вместо Иванова И.И."), 1)
        << ics.toStdString();
    const QByteArray absent = bytesOf(o.outDir + u("/ics/teacher-1.ics"));
    EXPECT_EQ(absent.count("BEGIN:VEVENT"), 2);
    EXPECT_EQ(absent.count("STATUS:CANCELLED"), 1);
    EXPECT_TRUE(absent.contains("UID:teacher-1-20260929-1-1-0-1@korvel"));
    const QByteArray substitute = bytesOf(o.outDir + u("/ics/teacher-2.ics"));
    EXPECT_EQ(substitute.count("BEGIN:VEVENT"), 1);
    EXPECT_TRUE(substitute.contains("DTSTART;TZID=Europe/Moscow:20260929T083000"));
    EXPECT_FALSE(substitute.contains("STATUS:CANCELLED"));
}
