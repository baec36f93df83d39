#include "hestor/windows/ExterierConfig.h"

#include "tamsel/Events.h"
#include "tamsel/widgets/Appearance.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace tamsel;

namespace hestor {

namespace {
constexpr int Grip = 8; // the corner grip's size
}

SampleCell::SampleCell(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::Box);
    setMouseTracking(true);
    setAccessibleName(QStringLiteral("Образец ячейки"));
}

void SampleCell::setRanges(int minW, int maxW, int minH, int maxH) {
    minW_ = minW;
    maxW_ = maxW;
    minH_ = minH;
    maxH_ = maxH;
}

void SampleCell::setCellSize(int w, int h) {
    setFixedSize(w, h);
    update();
}

QSize SampleCell::dragGripTo(const QPoint& corner) {
    // The grip stops at the edges of the size boxes' ranges.
    const QSize size(std::clamp(corner.x(), minW_, maxW_), std::clamp(corner.y(), minH_, maxH_));
    setCellSize(size.width(), size.height());
    emit resizedByGrip(size.width(), size.height());
    return size;
}

void SampleCell::setLines(const QStringList& lines) {
    lines_ = lines;
    setAccessibleDescription(lines.join(QLatin1Char('\n')));
    update();
}

bool SampleCell::onGrip(const QPoint& p) const {
    return p.x() >= width() - Grip && p.y() >= height() - Grip;
}

void SampleCell::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    QPainter p(this);
    // The text area is 4 units smaller than the cell, as in the grid.
    p.setClipRect(rect().adjusted(2, 2, -2, -2));
    p.drawText(rect().adjusted(2, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop,
               lines_.join(QLatin1Char('\n')));
    p.setClipping(false);
    p.fillRect(QRect(width() - Grip, height() - Grip, Grip, Grip), palette().mid());
}

void SampleCell::mousePressEvent(QMouseEvent* e) {
    dragging_ = e->button() == Qt::LeftButton && onGrip(e->position().toPoint());
    if (!dragging_) QFrame::mousePressEvent(e);
}

void SampleCell::mouseMoveEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    setCursor(dragging_ || onGrip(p) ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
    if (dragging_) setCellSize(std::clamp(p.x(), minW_, maxW_), std::clamp(p.y(), minH_, maxH_));
}

void SampleCell::mouseReleaseEvent(QMouseEvent* e) {
    if (!dragging_) return QFrame::mouseReleaseEvent(e);
    dragging_ = false;
    dragGripTo(e->position().toPoint());
}

ExterierConfig::ExterierConfig(Dictionary& dict, QWidget* parent) : QWidget(parent), dict_(dict) {
    setObjectName(procedureName());
    setWindowTitle(QStringLiteral("Настройка внешнего вида"));

    // Subgroups.
    auto* subgroups = new QGroupBox(QStringLiteral("Отображение подгрупп"), this);
    auto* numberingBox = new QGroupBox(QStringLiteral("Нумерация подгрупп"), subgroups);
    numbering_ = new QButtonGroup(this);
    auto* numberingLayout = new QVBoxLayout(numberingBox);
    const QString styles[] = {QStringLiteral("1,2,..."), QStringLiteral("А - Я"),
                              QStringLiteral("а - я"), QStringLiteral("A - Z"),
                              QStringLiteral("a - z")};
    for (int i = 0; i < 5; ++i) {
        auto* b = new QRadioButton(styles[i], numberingBox);
        numbering_->addButton(b, i);
        numberingLayout->addWidget(b);
    }
    connect(numbering_, &QButtonGroup::idClicked, this, [this](int id) {
        dict_.glo.SubGroupId = numbering_->button(id)->text();
        changed();
    });
    auto* sepLabel = new QLabel(QStringLiteral("Разделитель групп и подгрупп:"), subgroups);
    separator_ = new QLineEdit(subgroups);
    separator_->setMaxLength(1);
    separator_->setFixedWidth(40);
    sepLabel->setBuddy(separator_);
    connect(separator_, &QLineEdit::textEdited, this, [this](const QString& t) {
        // A blank is a separator too; an emptied box stands for one.
        dict_.glo.SubGroupSep = t.isEmpty() ? QStringLiteral(" ") : t.left(1);
        changed();
    });
    auto* subLayout = new QVBoxLayout(subgroups);
    subLayout->addWidget(numberingBox);
    auto* sepRow = new QHBoxLayout;
    sepRow->addWidget(sepLabel);
    sepRow->addWidget(separator_);
    sepRow->addStretch(1);
    subLayout->addLayout(sepRow);

    // Cell sizes, the samples and the font.
    auto* sizesBox = new QGroupBox(QStringLiteral("Размеры клеток расписания"), this);
    auto* grid = new QGridLayout(sizesBox);
    struct Range {
        int min, max, step;
    };
    const Range ranges[] = {{40, 100, 10}, {20, 84, 8}, {50, 150, 10}, {12, 60, 8}};
    Short* fields[] = {&dict_.glo.SmallSellWidth, &dict_.glo.SmallSellHeight,
                       &dict_.glo.LargeSellWidth, &dict_.glo.LargeSellHeight};
    const QString names[] = {QStringLiteral("Ширина компактной ячейки"),
                             QStringLiteral("Высота компактной ячейки"),
                             QStringLiteral("Ширина полноразмерной ячейки"),
                             QStringLiteral("Высота полноразмерной ячейки")};
    for (int i = 0; i < 4; ++i) {
        sizes_[i] = new QSpinBox(sizesBox);
        sizes_[i]->setRange(ranges[i].min, ranges[i].max);
        sizes_[i]->setSingleStep(ranges[i].step);
        sizes_[i]->setAccessibleName(names[i]);
        Short* field = fields[i];
        connect(sizes_[i], &QSpinBox::valueChanged, this, [this, field](int v) {
            if (showing_) return;
            *field = static_cast<Short>(v);
            changed();
        });
    }
    compactSample_ = new SampleCell(sizesBox);
    compactSample_->setRanges(40, 100, 20, 84);
    fullSample_ = new SampleCell(sizesBox);
    fullSample_->setRanges(50, 150, 12, 60);
    connect(compactSample_, &SampleCell::resizedByGrip, this, [this](int w, int h) {
        dict_.glo.SmallSellWidth = static_cast<Short>(w);
        dict_.glo.SmallSellHeight = static_cast<Short>(h);
        changed();
    });
    connect(fullSample_, &SampleCell::resizedByGrip, this, [this](int w, int h) {
        dict_.glo.LargeSellWidth = static_cast<Short>(w);
        dict_.glo.LargeSellHeight = static_cast<Short>(h);
        changed();
    });
    auto* compactStandard = new QPushButton(QStringLiteral("Стандартный размер"), sizesBox);
    connect(compactStandard, &QPushButton::clicked, this, [this] { standardSize(true); });
    auto* fullStandard = new QPushButton(QStringLiteral("Стандартный размер"), sizesBox);
    fullStandard->setAccessibleDescription(QStringLiteral("полноразмерной ячейки"));
    connect(fullStandard, &QPushButton::clicked, this, [this] { standardSize(false); });
    auto* font = new QPushButton(QStringLiteral("Шрифт"), sizesBox);
    connect(font, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, timetableFont(dict_.glo, this->font()), this,
                                             QStringLiteral("Укажите шрифт ячейки"));
        if (!ok) return;
        const QColor c = QColorDialog::getColor(timetableFontColor(dict_.glo), this,
                                                QStringLiteral("Укажите цвет шрифта ячейки"));
        setCellFont(f, c.isValid() ? c : timetableFontColor(dict_.glo));
    });
    grid->addWidget(new QLabel(QStringLiteral("Компактная:"), sizesBox), 0, 0);
    grid->addWidget(sizes_[0], 0, 1);
    grid->addWidget(sizes_[1], 0, 2);
    grid->addWidget(compactStandard, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Полноразмерная:"), sizesBox), 1, 0);
    grid->addWidget(sizes_[2], 1, 1);
    grid->addWidget(sizes_[3], 1, 2);
    grid->addWidget(fullStandard, 1, 3);
    grid->addWidget(font, 2, 3);
    auto* samples = new QHBoxLayout;
    samples->addWidget(compactSample_, 0, Qt::AlignTop);
    samples->addWidget(fullSample_, 0, Qt::AlignTop);
    samples->addStretch(1);
    grid->addLayout(samples, 3, 0, 1, 4);
    grid->setRowMinimumHeight(3, 90);

    // Restriction colours.
    auto* coloursBox = new QGroupBox(QStringLiteral("Отображение ограничений"), this);
    auto* colourLayout = new QGridLayout(coloursBox);
    const QString captions[] = {QStringLiteral("Без ограничений"), QStringLiteral("Не желательно"),
                                QStringLiteral("Весьма не желательно"),
                                QStringLiteral("Уроки запрещены")};
    const QString titles[] = {QStringLiteral("Укажите цвет при отсутствии ограничений"),
                              QStringLiteral("Укажите цвет для нежелательных уроков"),
                              QStringLiteral("Укажите цвет для серьезных нарушений"),
                              QStringLiteral("Укажите цвет для запрещенных уроков")};
    for (int i = 0; i < 4; ++i) {
        colours_[i] = new QPushButton(captions[i], coloursBox);
        const QString title = titles[i];
        connect(colours_[i], &QPushButton::clicked, this, [this, i, title] {
            Long* fields[] = {&dict_.glo.NoRestrictionColor, &dict_.glo.WeakRestrictionColor,
                              &dict_.glo.HeavyRestrictionColor, &dict_.glo.DontUseRestrictionColor};
            const QColor c = QColorDialog::getColor(colorOf(*fields[i]), this, title);
            if (c.isValid()) setColour(i, c);
        });
        colourLayout->addWidget(colours_[i], i / 2, i % 2);
    }
    auto* standard = new QPushButton(QStringLiteral("Стандартные цвета"), coloursBox);
    connect(standard, &QPushButton::clicked, this, &ExterierConfig::standardColours);
    colourLayout->addWidget(standard, 2, 0, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(subgroups);
    layout->addWidget(sizesBox);
    layout->addWidget(coloursBox);
    layout->addStretch(1);
    showSettings();
}

void ExterierConfig::showSettings() {
    showing_ = true;
    auto& glo = dict_.glo;
    const QChar style = glo.SubGroupId.isEmpty() ? QLatin1Char('1') : glo.SubGroupId.at(0);
    for (QAbstractButton* b : numbering_->buttons())
        if (b->text().at(0) == style) b->setChecked(true);
    separator_->setText(glo.SubGroupSep);
    const Short values[] = {glo.SmallSellWidth, glo.SmallSellHeight, glo.LargeSellWidth,
                            glo.LargeSellHeight};
    for (int i = 0; i < 4; ++i)
        sizes_[i]->setValue(values[i]);
    compactSample_->setCellSize(glo.SmallSellWidth, glo.SmallSellHeight);
    fullSample_->setCellSize(glo.LargeSellWidth, glo.LargeSellHeight);
    const QFont f = timetableFont(glo, font());
    // The samples as a grid would show two subgroups of one group.
    const QString m1 = FormatSubGroup(glo, 1), m2 = FormatSubGroup(glo, 2);
    compactSample_->setFont(f);
    compactSample_->setLines({m1 + QStringLiteral(" 101 Иванова"), QStringLiteral("Английский"),
                              m2 + QStringLiteral(" 102 Петров")});
    fullSample_->setFont(f);
    fullSample_->setLines({(QStringLiteral("5-А") + m1).leftJustified(10) + QStringLiteral("101"),
                           QStringLiteral("Иванова"), QStringLiteral("Английский"),
                           (QStringLiteral("5-А") + m2).leftJustified(10) + QStringLiteral("102"),
                           QStringLiteral("Петров")});
    for (QWidget* s : {static_cast<QWidget*>(compactSample_), static_cast<QWidget*>(fullSample_)}) {
        QPalette p = s->palette();
        p.setColor(QPalette::WindowText, timetableFontColor(glo));
        s->setPalette(p);
    }
    const Long colours[] = {glo.NoRestrictionColor, glo.WeakRestrictionColor,
                            glo.HeavyRestrictionColor, glo.DontUseRestrictionColor};
    for (int i = 0; i < 4; ++i) {
        const QColor c = colorOf(colours[i]);
        colours_[i]->setStyleSheet(
            QStringLiteral("background-color: %1; color: black;").arg(c.name()));
        colours_[i]->setAccessibleDescription(c.name());
    }
    showing_ = false;
}

void ExterierConfig::changed() {
    // Every open grid follows at once; the settings file takes the values at the end.
    showSettings();
    dict_.windows.postToFrame(UserEvent::Refresh);
}

void ExterierConfig::setColour(int i, const QColor& colour) {
    Long* fields[] = {&dict_.glo.NoRestrictionColor, &dict_.glo.WeakRestrictionColor,
                      &dict_.glo.HeavyRestrictionColor, &dict_.glo.DontUseRestrictionColor};
    *fields[i] = windowsColourOf(colour);
    changed();
}

void ExterierConfig::setCellFont(const QFont& font, const QColor& colour) {
    setTimetableFont(dict_.glo, font, colour);
    changed();
}

void ExterierConfig::standardColours() {
    tamsel::standardColours(dict_.glo);
    changed();
}

void ExterierConfig::standardSize(bool compact) {
    if (compact)
        standardCompactSize(dict_.glo);
    else
        standardFullSize(dict_.glo);
    changed();
}

} // namespace hestor
