// Lists longer than the pages they are read in: whichever way the officer reaches the end of
// a list, it is the file's last record, and every record is shown once.

#include "../../../testsupport/TestApplication.h"
#include "tamsel/Events.h"
#include "tamsel/TestFolder.h"
#include "tamsel/widgets/ListWindow.h"
#include "tamsel/widgets/RecordListModel.h"

#include <QApplication>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
#include <gtest/gtest.h>

using namespace tamsel;

namespace {

using testsupport::app;

constexpr int Count = 600;
const int tableNo = fieldIndex(FileId::Teacher, "TableNo");

/// 600 teachers: names in an order unlike the order of storing, two thirds of them of one
/// speciality, and seven main rooms shared by runs of about 86, so that pages end inside runs
/// of equal key values.
struct LongList : testing::Test {
    TestFolder t;
    std::vector<Teacher> stored;

    void SetUp() override {
        app();
        stored = t.records<Teacher>(Count, [](Teacher& r, int i) {
            r.ObjectType = ObjectType::Teacher;
            r.TableNo = static_cast<Short>(i);
            r.TeacherName =
                QStringLiteral("Учитель %1").arg((i * 7919) % Count, 3, 10, QLatin1Char('0'));
            r.SpecialityCode = i % 3 == 0 ? 2 : 3;
            r.MainRoomCode = static_cast<Short>((i * 37) % 7 + 1);
        });
        ASSERT_EQ(stored.size(), size_t(Count));
    }

    /// The row ids of the teachers `keep` lets through in the order `less` gives (ties by
    /// row id, as the keys read): worked out here, not read through the store.
    std::vector<RowId> expected(std::function<bool(const Teacher&)> keep,
                                std::function<bool(const Teacher&, const Teacher&)> less) const {
        std::vector<Teacher> v;
        std::copy_if(stored.begin(), stored.end(), std::back_inserter(v), keep);
        std::stable_sort(v.begin(), v.end(), less);
        std::vector<RowId> ids;
        for (const Teacher& r : v) ids.push_back(r.rowId);
        return ids;
    }
    std::vector<RowId> byRoom() const {
        return expected([](const Teacher&) { return true; },
                        [](const Teacher& a, const Teacher& b) {
                            return std::pair(a.MainRoomCode, a.rowId) <
                                   std::pair(b.MainRoomCode, b.rowId);
                        });
    }

    static ListDeclaration declaration(ListView view) {
        ListDeclaration d;
        d.file = FileId::Teacher;
        d.name = QStringLiteral("Учителя");
        d.columns = {ListColumn::shown(QStringLiteral("Учитель"),
                                       fieldIndex(FileId::Teacher, "TeacherName")),
                     ListColumn::shown(QStringLiteral("Таб. №"), tableNo)};
        d.view = std::move(view);
        return d;
    }
    static ListView roomView() {
        ListView v;
        v.key = Teacher::MainRoomKey;
        return v;
    }
    static ListView byTableNoDescending() {
        ListView v;
        v.key = Teacher::TeacherCodeKey;
        v.order = [](const Row& a, const Row& b) { return a.integer(tableNo) > b.integer(tableNo); };
        return v;
    }
};

/// A list window as the frame shows it, with one list of `view`.
struct Window {
    ListWindow window;
    RecordList* list;
    Window(TestFolder& t, ListView view)
        : window(t.dict(), QStringLiteral("TeacherList"), QStringLiteral("Учителя")) {
        list = window.addList(LongList::declaration(std::move(view)));
        (new QVBoxLayout(&window))->addWidget(list);
        window.resize(500, 300);
        window.show();
        list->reload();
    }
    std::vector<RowId> ids() const {
        std::vector<RowId> out;
        for (int i = 0; i < list->model()->rowCount(); ++i)
            out.push_back(list->model()->row(i).rowId);
        return out;
    }
    RowId current() const { return list->current() ? list->current()->rowId : 0; }
};

void press(Window& w, NavigationButton b) {
    NavigationEvent e(b);
    QCoreApplication::sendEvent(&w.window, &e);
}

/// Reads the rest of a list a page at a time, giving up after more pages than the file has:
/// a list that never ends fails here instead of hanging the test.
void readToTheEnd(RecordListModel* m) {
    for (int pages = 0; m->canFetchMore({}) && pages <= Count / RecordListModel::PageSize + 1;
         ++pages)
        m->fetchMore({});
    EXPECT_FALSE(m->canFetchMore({})) << "the list does not come to its end";
}

} // namespace

TEST_F(LongList, PagesFollowOnWithEveryRecordOnceInKeyOrder) {
    // Runs of equal main rooms cross both page ends.
    Window all(t, roomView());
    EXPECT_EQ(all.list->model()->rowCount(), RecordListModel::PageSize) << "read in pages";
    readToTheEnd(all.list->model());
    EXPECT_EQ(all.ids(), byRoom());

    // The teachers of one speciality (a master's detail), by name.
    ListView bySpeciality;
    bySpeciality.key = Teacher::SpecCodeKey;
    bySpeciality.leading = 1;
    bySpeciality.position = [](Row& from) {
        from.set(fieldIndex(FileId::Teacher, "SpecialityCode"), qint64(3));
        return true;
    };
    Window of3(t, bySpeciality);
    readToTheEnd(of3.list->model());
    EXPECT_EQ(of3.ids(), expected([](const Teacher& r) { return r.SpecialityCode == 3; },
                                  [](const Teacher& a, const Teacher& b) {
                                      return a.TeacherName < b.TeacherName;
                                  }));

    // An order of its own: read whole, then sorted.
    Window sorted(t, byTableNoDescending());
    EXPECT_EQ(sorted.list->model()->rowCount(), Count);
    EXPECT_FALSE(sorted.list->model()->canFetchMore({}));
    EXPECT_EQ(sorted.ids(), expected([](const Teacher&) { return true; },
                                     [](const Teacher& a, const Teacher& b) {
                                         return a.TableNo > b.TableNo;
                                     }));

    // Stepping on from the last record of the first page shows the first of the second.
    const std::vector<RowId> order = byRoom();
    Window stepping(t, roomView());
    stepping.list->goTo(order[RecordListModel::PageSize - 1]);
    press(stepping, NavigationButton::Next);
    EXPECT_EQ(stepping.current(), order[RecordListModel::PageSize]);
}

TEST_F(LongList, EveryWayToTheEndShowsTheFilesLastRecord) {
    struct Way {
        const char* name;
        std::function<void(Window&)> go;
    };
    const Way ways[] = {
        {"the frame's last-record button",
         [](Window& w) { press(w, NavigationButton::Last); }},
        {"Ctrl+End",
         [](Window& w) { QTest::keyClick(w.list->view(), Qt::Key_End, Qt::ControlModifier); }},
        {"End", [](Window& w) { QTest::keyClick(w.list->view(), Qt::Key_End); }},
    };
    const RowId lastByRoom = byRoom().back();
    const RowId lastTableNo = stored.front().rowId; // the descending order ends with number 1
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        Window unsorted(t, roomView());
        unsorted.list->view()->setFocus();
        way.go(unsorted);
        EXPECT_EQ(unsorted.current(), lastByRoom);
        EXPECT_EQ(unsorted.list->model()->rowCount(), Count);

        Window sorted(t, byTableNoDescending());
        way.go(sorted);
        EXPECT_EQ(sorted.current(), lastTableNo);
        // And back to the start.
        press(sorted, NavigationButton::First);
        EXPECT_EQ(sorted.current(), stored.back().rowId);
    }
}

TEST_F(LongList, AFilterThatPassesOverWholePagesStillShowsWhatFollows) {
    // The first 500 names in key order are left out: the first pages keep nothing.
    auto late = [](const Row& r) {
        return r.text(fieldIndex(FileId::Teacher, "TeacherName")) >= QStringLiteral("Учитель 500");
    };
    const std::vector<RowId> kept =
        expected([](const Teacher& r) { return r.TeacherName >= QStringLiteral("Учитель 500"); },
                 [](const Teacher& a, const Teacher& b) { return a.TeacherName < b.TeacherName; });
    ASSERT_EQ(kept.size(), 100u);
    ListView byName;
    byName.key = Teacher::TeacherNameKey;
    byName.filter = late;
    Window unsorted(t, byName);
    EXPECT_GT(unsorted.list->model()->rowCount(), 0) << "the list opens empty";
    readToTheEnd(unsorted.list->model());
    EXPECT_EQ(unsorted.ids(), kept);
    press(unsorted, NavigationButton::Last);
    EXPECT_EQ(unsorted.current(), kept.back());

    // The same in an order of its own, read whole before it is shown.
    ListView sortedView = byTableNoDescending();
    sortedView.key = Teacher::TeacherNameKey;
    sortedView.filter = late;
    Window sorted(t, sortedView);
    EXPECT_EQ(sorted.list->model()->rowCount(), 100);
}

TEST_F(LongList, DeletingFarDownAsksAndStaysWhereTheOfficerWas) {
    const std::vector<RowId> order = byRoom();
    Window w(t, roomView());
    press(w, NavigationButton::Last);
    ASSERT_EQ(w.current(), order.back());

    // Refused, the record stays and so does the place in the list.
    t.ui.otherwise = No;
    press(w, NavigationButton::Delete);
    EXPECT_EQ(t.ui.questions().size(), 1);
    EXPECT_EQ(t.dict().access<Teacher>().count(), Count);
    EXPECT_EQ(w.current(), order.back());

    // Agreed, the record goes and the one before it is current, not a record a page up.
    t.ui.otherwise = Yes;
    press(w, NavigationButton::Delete);
    EXPECT_EQ(t.dict().access<Teacher>().count(), Count - 1);
    EXPECT_EQ(w.list->model()->indexOf(order.back()), -1);
    EXPECT_EQ(w.current(), order[order.size() - 2]);
}
