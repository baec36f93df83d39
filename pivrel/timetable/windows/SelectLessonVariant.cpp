#include "pivrel/timetable/SelectLessonVariant.h"

#include "tamsel/widgets/WindowPlaceKeeper.h"

#include <QCursor>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace tamsel;

namespace pivrel {

SelectLessonVariant::SelectLessonVariant(Dictionary& dict, std::vector<LessonCandidate> candidates,
                                         QWidget* parent)
    : QDialog(parent), candidates_(std::move(candidates)) {
    setObjectName(procedureName());
    setWindowTitle(QStringLiteral("Что сюда можно поставить?"));
    table_ = new QTableWidget(static_cast<int>(candidates_.size()), 4, this);
    table_->setHorizontalHeaderLabels({QStringLiteral("Предмет"), QStringLiteral("Группа"),
                                       QStringLiteral("п/гр."), QStringLiteral("Учитель")});
    table_->setAccessibleName(QStringLiteral("Уроки, которые можно поставить"));
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < static_cast<int>(candidates_.size()); ++r) {
        const LessonCandidate& c = candidates_[static_cast<size_t>(r)];
        const QString texts[] = {c.science, c.group, c.subgroup, c.teacher};
        for (int col = 0; col < 4; ++col) {
            auto* item = new QTableWidgetItem(texts[col]);
            // A possible but penalised placement stands out in yellow.
            if (c.estimate != 0) {
                item->setBackground(QColor(255, 255, 0));
                item->setToolTip(QStringLiteral("Возможно, но с нарушением пожеланий"));
            }
            table_->setItem(r, col, item);
        }
    }
    table_->resizeColumnsToContents();
    if (!candidates_.empty()) table_->setCurrentCell(0, 0);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* choose =
        buttons->addButton(QStringLiteral("&Выбрать"), QDialogButtonBox::AcceptRole);
    choose->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(table_, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(buttons);

    // Fixed in width, between 100 and 250 high, opened where the mouse is.
    const int width = std::max(380, table_->horizontalHeader()->length() + 40);
    setFixedWidth(width);
    setMinimumHeight(100);
    setMaximumHeight(250);
    resize(width, 220);
    move(QCursor::pos() - QPoint(width / 2, height() / 2));
    WindowPlaceKeeper::attach(this, dict.settings(), procedureName());
}

std::optional<Schedule> SelectLessonVariant::chosen() const {
    const int r = table_->currentRow();
    if (r < 0 || r >= static_cast<int>(candidates_.size())) return std::nullopt;
    return candidates_[static_cast<size_t>(r)].lesson;
}

std::optional<Schedule> SelectLessonVariant::choose(Dictionary& dict, short week, short day,
                                                    Short objectType, Long objectCode,
                                                    const QString& lessonNo, QWidget* parent) {
    auto candidates = CandidatesForCell(dict, week, day, objectType, objectCode, lessonNo);
    if (candidates.empty()) {
        auto* none = new QMenu(parent);
        none->setObjectName(QStringLiteral("NoVariants"));
        none->setAttribute(Qt::WA_DeleteOnClose);
        none->addAction(QStringLiteral("Нет вариантов"));
        none->popup(QCursor::pos());
        return std::nullopt;
    }
    SelectLessonVariant dialog(dict, std::move(candidates), parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.chosen();
}

} // namespace pivrel
