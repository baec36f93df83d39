#pragma once

#include <QWidget>

class QPushButton;

namespace tamsel {
class Dictionary;
}

namespace korvel {

/// The small window with the button "Стоп!" that the frame shows while the automatic
/// placement runs (event 1281) and closes when it ends (event 1282). The button sets
/// `ProcessingDisabled`, which the placement polls between its steps.
class StopButton : public QWidget {
    Q_OBJECT
public:
    StopButton(tamsel::Dictionary& dict, QWidget* frame);
    QPushButton* button() const { return button_; }

private:
    tamsel::Dictionary& dict_;
    QPushButton* button_;
};

} // namespace korvel
