#pragma once

#include "tamsel/Dictionary.h"

#include <QWidget>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace hestor {

/// "Публикация расписания": the formats, the folder and optionally a period; the work is
/// PublishSchedule's, with the dictionary's progress window, and a message says what was
/// written (or why nothing was). "Отправить на сайт" sends the folder to the school's site
/// (UploadPublication) by hand or after each publication; its lines go to the result area.
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
    QLineEdit* url() const { return url_; }
    QLineEdit* user() const { return user_; }
    QLineEdit* password() const { return password_; }
    QCheckBox* uploadAfterPublish() const { return uploadAfter_; }
    QPlainTextEdit* result() const { return result_; }
    /// Publishes with what the window shows, then sends to the site when the box says so;
    /// true when everything was written (and sent).
    bool publish();
    /// Sends the folder to the site; true when every changed file was sent.
    bool upload();

private:
    tamsel::Dictionary& dict_;
    QString sendToSite(bool* ok);
    void keepUploadSettings();

    QCheckBox *html_, *ics_, *csv_, *xlsx_, *period_, *uploadAfter_;
    QLineEdit *folder_, *url_, *user_, *password_;
    QPlainTextEdit* result_;
    QDateEdit *from_, *to_;
};

} // namespace hestor
