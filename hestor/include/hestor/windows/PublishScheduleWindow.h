#pragma once

#include "tamsel/Dictionary.h"

#include <QWidget>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;

namespace hestor {

/// "Публикация расписания": the formats, the folder and optionally a period; the work is
/// PublishSchedule's, with the dictionary's progress window, and a message says what was
/// written (or why nothing was).
class PublishScheduleWindow : public QWidget {
    Q_OBJECT
public:
    explicit PublishScheduleWindow(tamsel::Dictionary& dict, QWidget* parent = nullptr);
    static QString procedureName() { return QStringLiteral("PublishSchedule"); }

    QCheckBox* html() const { return html_; }
    QCheckBox* ics() const { return ics_; }
    QCheckBox* csv() const { return csv_; }
    QCheckBox* xlsx() const { return xlsx_; }
    QLineEdit* folder() const { return folder_; }
    QCheckBox* period() const { return period_; }
    QDateEdit* from() const { return from_; }
    QDateEdit* to() const { return to_; }
    /// Publishes with what the window shows; true when everything was written.
    bool publish();

private:
    tamsel::Dictionary& dict_;
    QCheckBox *html_, *ics_, *csv_, *xlsx_, *period_;
    QLineEdit* folder_;
    QDateEdit *from_, *to_;
};

} // namespace hestor
