#include "pivrel/timetable/Overviews.h"

#include "tamsel/Events.h"
#include "tamsel/widgets/Appearance.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

using namespace tamsel;

namespace pivrel {

namespace {

/// The glyph of a busy slot: the character of code 127 has none in most fonts.
QString shown(QString line) {
    return line.replace(QChar(0x7F), QChar(0x2588));
}

QString slotWord(SlotMark m) {
    switch (m) {
    case SlotMark::Busy:
        return QStringLiteral("занят");
    case SlotMark::Undesirable:
        return QStringLiteral("не желательно");
    case SlotMark::Forbidden:
        return QStringLiteral("запрещено");
    default:
        return QStringLiteral("свободен");
    }
}

} // namespace

/// Rows of the overview (the colour form: one per object; the text form: one per object and
/// week, with an empty line between weeks), a column per day.
class OverviewModel : public QAbstractTableModel {
public:
    OverviewModel(OverviewRows& rows, bool colour, QObject* parent)
        : QAbstractTableModel(parent), rows_(rows), colour_(colour) {}

    void reset() {
        beginResetModel();
        lines_.clear();
        for (int r = 0; r < static_cast<int>(rows_.rows().size()); ++r) {
            if (colour_) {
                lines_.push_back({r, 0});
                continue;
            }
            for (int w = 1; w <= rows_.weeks(); ++w) {
                lines_.push_back({r, w});
                if (w < rows_.weeks()) lines_.push_back({r, -1}); // the empty line between weeks
            }
        }
        endResetModel();
    }
    /// The overview row and week of a table row (week 0: every week, -1: the empty line).
    std::pair<int, int> line(int row) const { return lines_[static_cast<size_t>(row)]; }

    int rowCount(const QModelIndex& p = {}) const override {
        return p.isValid() ? 0 : static_cast<int>(lines_.size());
    }
    int columnCount(const QModelIndex& p = {}) const override {
        return p.isValid() ? 0 : static_cast<int>(rows_.days().size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const auto [r, week] = line(index.row());
        const OverviewRow& row = rows_.rows()[static_cast<size_t>(r)];
        const int day = index.column();
        if (role == Qt::DisplayRole && !colour_) {
            if (week < 0) return QString();
            return shown(rows_.lineText(row, week, day));
        }
        if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) {
            // Screen readers hear each lesson's state in words.
            QStringList weeks;
            const int from = week > 0 ? week : 1, to = week > 0 ? week : rows_.weeks();
            for (int w = from; w <= to && week >= 0; ++w) {
                QStringList lessons;
                for (int l = 0; l < static_cast<int>(rows_.bells().size()); ++l)
                    lessons << rows_.bells()[size_t(l)].LessonNo.trimmed() + QLatin1Char(' ') +
                                   slotWord(rows_.mark(row, w, day, l));
                weeks << (rows_.weeks() > 1 ? QString::number(w) + QStringLiteral("-я неделя: ")
                                            : QString()) +
                             lessons.join(QStringLiteral(", "));
            }
            return weeks.join(QStringLiteral("; "));
        }
        return {};
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
        if (o == Qt::Horizontal)
            return section < columnCount() ? rows_.days()[size_t(section)].DayName.trimmed()
                                           : QVariant();
        if (section >= rowCount()) return {};
        const auto [r, week] = line(section);
        const QString label = rows_.rows()[static_cast<size_t>(r)].label;
        if (role == Qt::AccessibleTextRole && week > 0 && rows_.weeks() > 1)
            return label + QStringLiteral(", ") + QString::number(week) +
                   QStringLiteral("-я неделя");
        return week == 0 || week == 1 ? label : QString(); // a row's label on its first line
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

private:
    OverviewRows& rows_;
    bool colour_;
    std::vector<std::pair<int, int>> lines_;
};

namespace {

/// Draws a row's day as bars: one strip per lesson, one bar per week, grey when busy, else in
/// its restriction's colour.
class BarDelegate : public QStyledItemDelegate {
public:
    BarDelegate(OverviewRows& rows, OverviewModel* model, QObject* parent)
        : QStyledItemDelegate(parent), rows_(rows), model_(model) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const Globals& glo = rows_.globals();
        const OverviewRow& row = rows_.rows()[static_cast<size_t>(model_->line(index.row()).first)];
        const int bells = std::max<int>(1, static_cast<int>(rows_.bells().size()));
        const int W = option.rect.width();
        const int barWidth = std::max(1, (W - 2) / bells - 2);
        p->save();
        p->fillRect(option.rect, option.palette.base());
        for (int l = 0; l < static_cast<int>(rows_.bells().size()); ++l)
            for (int w = 1; w <= rows_.weeks(); ++w) {
                const SlotMark m = rows_.mark(row, w, index.column(), l);
                const Long colour = m == SlotMark::Undesirable ? glo.WeakRestrictionColor
                                    : m == SlotMark::Forbidden ? glo.DontUseRestrictionColor
                                                               : glo.NoRestrictionColor;
                const QColor c = m == SlotMark::Busy ? QColor(128, 128, 128) : colorOf(colour);
                p->fillRect(QRect(option.rect.left() + 2 + l * (barWidth + 2),
                                  option.rect.top() + 1 + (w - 1) * 5, barWidth, 4),
                            c);
            }
        if (option.state & QStyle::State_HasFocus) {
            p->setPen(option.palette.highlight().color());
            p->drawRect(option.rect.adjusted(0, 0, -1, -1));
        }
        p->restore();
    }

private:
    OverviewRows& rows_;
    OverviewModel* model_;
};

} // namespace

OverviewWindow::OverviewWindow(Dictionary& dict, const QString& mode, bool colour, QWidget* parent)
    : QWidget(parent), dict_(dict), rows_(dict), colour_(colour) {
    for (FileId id : {FileId::Days, FileId::LessonBell, FileId::Schedule, FileId::Restriction,
                      FileId::Teacher, FileId::Speciality, FileId::Group, FileId::Course,
                      FileId::Science, FileId::SubGroupType, FileId::Room, FileId::RoomType})
        files_.push_back(std::make_unique<FileUse>(dict_.store(), id));
    dayWidth_ = mode.trimmed().isEmpty() ? dict_.glo.LargeSellWidth : dict_.glo.SmallSellWidth;
    rows_.build();

    std::vector<std::pair<QString, Short>> tabs{
        {QStringLiteral("Группы, где работает учитель"), ObjectType::Teacher},
        {QStringLiteral("Учителя, работающие в группе"), ObjectType::Group}};
    if (colour) {
        tabs.push_back({QStringLiteral("Учителя по специальностям"), ObjectListType::Speciality});
        tabs.push_back({QStringLiteral("Группы по курсам"), ObjectListType::Course});
    }
    tabs_ = new ObjectTabs(dict_, tabs, this);
    auto* top = new QHBoxLayout;
    top->addWidget(tabs_, 1);
    if (colour) {
        subgroups_ = new QCheckBox(QStringLiteral("Показать подгруппы"), this);
        subgroups_->setToolTip(QStringLiteral("Показать загрузку как групп, так и подгрупп"));
        subgroups_->setAccessibleDescription(QStringLiteral("с подгруппами"));
        top->addWidget(subgroups_);
        connect(subgroups_, &QCheckBox::toggled, this, [this] { objectChosen(); });
    }

    model_ = new OverviewModel(rows_, colour, this);
    table_ = new QTableView(this);
    table_->setModel(model_);
    table_->setAccessibleName(QStringLiteral("Обзор расписания"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    if (colour) {
        table_->setItemDelegate(new BarDelegate(rows_, model_, table_));
        table_->horizontalHeader()->setDefaultSectionSize(dayWidth_ + 1);
        // A row is weeks × 5 + 1 high (at least 10), with a gap of 1.
        table_->verticalHeader()->setMinimumSectionSize(1);
        QFont small = table_->verticalHeader()->font();
        small.setPixelSize(std::max(9, std::min(12, rows_.weeks() * 5)));
        table_->verticalHeader()->setFont(small);
        table_->verticalHeader()->setDefaultSectionSize(std::max(10, rows_.weeks() * 5 + 1) + 1);
        table_->setShowGrid(true);
    } else {
        const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        table_->setFont(mono);
        table_->setShowGrid(false);
        table_->verticalHeader()->setDefaultSectionSize(QFontMetrics(mono).height() + 2);
        table_->horizontalHeader()->setDefaultSectionSize(
            std::max(dayWidth_, QFontMetrics(mono).horizontalAdvance(QLatin1Char('x')) *
                                    (int(rows_.bells().size()) + 2)));
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    connect(tabs_, &ObjectTabs::objectChosen, this, &OverviewWindow::objectChosen);
    const int width = 160 + (dayWidth_ + 1) * int(rows_.days().size()) + 40;
    resize(std::max(230, std::min(1400, width)), 420);
    // Never narrower than the object's drop list and the check beside it need.
    setMinimumSize(std::max(230, minimumSizeHint().width()), 70);
    objectChosen();
}

OverviewWindow::~OverviewWindow() {
    // The table reads the rows while it is taken down: it goes while they are still there.
    delete table_;
}

void OverviewWindow::objectChosen() {
    const Short type = tabs_->currentType();
    if (subgroups_)
        subgroups_->setVisible(type == ObjectType::Teacher || type == ObjectListType::Course);
    const bool withSubgroups = subgroups_ && subgroups_->isChecked();
    if (type == ObjectListType::Course)
        rows_.setObject(OverviewMode::Course, 0, tabs_->currentText(), withSubgroups);
    else
        rows_.setObject(type, tabs_->currentCode(), QString(), withSubgroups);
    const bool chosen = type == ObjectListType::Course ? !tabs_->currentText().isEmpty()
                                                       : tabs_->currentCode() != 0;
    setWindowTitle(chosen    ? rows_.title()
                   : colour_ ? QStringLiteral("Расписание ...")
                             : QStringLiteral("Обзор расписания ..."));
    refresh();
}

bool OverviewWindow::showObject(Short type, Long code) {
    return tabs_->choose(type, code);
}

void OverviewWindow::refresh() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    rows_.refresh();
    model_->reset();
    QApplication::restoreOverrideCursor();
}

void OverviewWindow::customEvent(QEvent* event) {
    const int type = static_cast<int>(event->type());
    if (type == UserEvent::Refresh || type == UserEvent::RefreshGrid) {
        if (dict_.glo.GoToSelectedObject) tabs_->fill();
        refresh();
    } else if (type == UserEvent::GoToSelected) {
        const Schedule& r = dict_.glo.ScheduleRecord;
        if (tabs_->currentType() == ObjectType::Teacher && r.TeacherCode != 0)
            showObject(ObjectType::Teacher, r.TeacherCode);
        else if (tabs_->currentType() == ObjectType::Group && r.GroupCode != 0)
            showObject(ObjectType::Group, r.GroupCode);
        else
            refresh();
    }
    QWidget::customEvent(event);
}

ColorOverview::ColorOverview(Dictionary& dict, const QString& mode, QWidget* parent)
    : OverviewWindow(dict, mode, true, parent) {
    setObjectName(procedureName());
}

Overview::Overview(Dictionary& dict, const QString& mode, QWidget* parent)
    : OverviewWindow(dict, mode, false, parent) {
    setObjectName(procedureName());
}

} // namespace pivrel
