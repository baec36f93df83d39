#pragma once

#include "tamsel/Dictionary.h"

#include <QFrame>
#include <QWidget>

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace hestor {

/// A sample timetable cell: its text as the grid shows it, resized by its corner grip within
/// the ranges of its size boxes.
class SampleCell : public QFrame {
    Q_OBJECT
public:
    SampleCell(QWidget* parent = nullptr);
    void setRanges(int minW, int maxW, int minH, int maxH);
    void setCellSize(int w, int h);
    /// Moves the grip (the cell's lower right corner) to a point of the cell's own coordinates,
    /// as a drag does; it stops at the range edges. Returns the new size.
    QSize dragGripTo(const QPoint& corner);
    void setLines(const QStringList& lines);

signals:
    void resizedByGrip(int width, int height);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    bool onGrip(const QPoint& p) const;
    QStringList lines_;
    int minW_ = 1, maxW_ = 1000, minH_ = 1, maxH_ = 1000;
    bool dragging_ = false;
};

/// "Настройка внешнего вида": subgroup labels, cell sizes, the cells' font and the restriction
/// colours. Every change is applied at once (every open grid follows) and saved at exit.
class ExterierConfig : public QWidget {
    Q_OBJECT
public:
    explicit ExterierConfig(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("ExterierConfig"); }

    QButtonGroup* numbering() const { return numbering_; }
    QLineEdit* separator() const { return separator_; }
    QSpinBox* sizeBox(int i) const { return sizes_[i]; } ///< compact w, h; full w, h
    SampleCell* sample(bool compact) const { return compact ? compactSample_ : fullSample_; }
    QPushButton* colourButton(int i) const { return colours_[i]; }

    /// What the dialogs would do: a restriction colour (0 none, 1 undesirable, 2 serious,
    /// 3 forbidden), the cells' font.
    void setColour(int i, const QColor& colour);
    void setCellFont(const QFont& font, const QColor& colour);
    void standardColours();
    void standardSize(bool compact);

private:
    void changed();
    void showSettings();

    tamsel::Dictionary& dict_;
    QButtonGroup* numbering_;
    QLineEdit* separator_;
    QSpinBox* sizes_[4];
    SampleCell* compactSample_;
    SampleCell* fullSample_;
    QPushButton* colours_[4];
    bool showing_ = false;
};

} // namespace hestor
