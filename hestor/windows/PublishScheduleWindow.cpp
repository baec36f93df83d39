#include "hestor/windows/PublishScheduleWindow.h"

#include "hestor/PublishSchedule.h"
#include "hestor/PublishUpload.h"
#include "tamsel/SchoolCalendar.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QFileInfo>
#include <QUrl>
#include <QDesktopServices>
#include <QVBoxLayout>

namespace hestor {

using namespace tamsel;

namespace {
const QString Section = QStringLiteral("PublishSchedule");
} // namespace

PublishScheduleWindow::PublishScheduleWindow(Dictionary& dict, QWidget* parent)
    : QWidget(parent), dict_(dict) {
    setWindowTitle(PublishCaption());
    auto* layout = new QVBoxLayout(this);

    auto* formats = new QGroupBox(QStringLiteral("Что опубликовать"), this);
    auto* f = new QVBoxLayout(formats);
    html_ = new QCheckBox(QStringLiteral("Веб-страницы (HTML) для сайта школы"), formats);
    ics_ = new QCheckBox(QStringLiteral("Календари (.ics) для телефонов"), formats);
    xlsx_ = new QCheckBox(QStringLiteral("Книга Excel (.xlsx) со сводным расписанием"), formats);
    csv_ = new QCheckBox(QStringLiteral("Таблица CSV"), formats);
    const QString chosen =
        dict.settings().value(Section, QStringLiteral("Formats"), QStringLiteral("html,ics,xlsx,csv"));
    for (auto [box, key] : {std::pair{html_, "html"}, std::pair{ics_, "ics"},
                            std::pair{xlsx_, "xlsx"}, std::pair{csv_, "csv"}}) {
        box->setChecked(chosen.split(QLatin1Char(',')).contains(QLatin1String(key)));
        f->addWidget(box);
    }
    layout->addWidget(formats);

    auto* form = new QFormLayout;
    auto* folderRow = new QHBoxLayout;
    folder_ = new QLineEdit(dict.settings().value(Section, QStringLiteral("Folder")), this);
    folder_->setAccessibleName(QStringLiteral("Папка"));
    auto* browse = new QPushButton(QStringLiteral("Обзор…"), this);
    browse->setAccessibleName(QStringLiteral("Выбрать папку"));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Папка для публикации"), folder_->text());
        if (!dir.isEmpty()) folder_->setText(QDir::toNativeSeparators(dir));
    });
    folderRow->addWidget(folder_);
    folderRow->addWidget(browse);
    auto* folderLabel = new QLabel(QStringLiteral("&Папка:"), this);
    folderLabel->setBuddy(folder_);
    form->addRow(folderLabel, folderRow);

    const SchoolCalendar calendar = SchoolCalendar::load(dict.settings());
    period_ = new QCheckBox(QStringLiteral("Только за период (иначе — весь учебный год)"), this);
    from_ = new QDateEdit(calendar.first.isValid() ? calendar.first : QDate::currentDate(), this);
    to_ = new QDateEdit(calendar.last.isValid() ? calendar.last : QDate::currentDate(), this);
    for (QDateEdit* e : {from_, to_}) {
        e->setCalendarPopup(true);
        e->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        e->setEnabled(false);
        connect(period_, &QCheckBox::toggled, e, &QWidget::setEnabled);
    }
    from_->setAccessibleName(QStringLiteral("Начало периода"));
    to_->setAccessibleName(QStringLiteral("Конец периода"));
    auto* periodRow = new QHBoxLayout;
    periodRow->addWidget(new QLabel(QStringLiteral("с"), this));
    periodRow->addWidget(from_);
    periodRow->addWidget(new QLabel(QStringLiteral("по"), this));
    periodRow->addWidget(to_);
    periodRow->addStretch();
    form->addRow(period_);
    form->addRow(periodRow);
    layout->addLayout(form);
    if (!calendar.isSet())
        layout->addWidget(new QLabel(QStringLiteral("Календарь учебного года не задан: календари "
                                                    "(.ics) можно записать только за период."),
                                     this));

    auto* site = new QGroupBox(QStringLiteral("Отправить на сайт"), this);
    auto* siteForm = new QFormLayout(site);
    url_ = new QLineEdit(dict.settings().value(Section, QStringLiteral("UploadUrl")), site);
    url_->setPlaceholderText(QStringLiteral("ftps://school.example.ru/www/raspisanie/"));
    url_->setToolTip(QStringLiteral("ftp://, ftps:// (FTP с шифрованием), sftp://, https:// или "
                                    "http:// (запрос PUT, как WebDAV или Nextcloud)"));
    user_ = new QLineEdit(dict.settings().value(Section, QStringLiteral("UploadUser")), site);
    password_ = new QLineEdit(site);
    password_->setEchoMode(QLineEdit::Password);
    // Korvel.ini is a plain file anyone at the computer can read: the password stays in memory.
    password_->setToolTip(QStringLiteral("Пароль не сохраняется в Korvel.ini: он помнится, пока "
                                         "открыто это окно."));
    for (auto [edit, caption] : {std::pair{url_, "&Адрес:"}, std::pair{user_, "&Логин:"},
                                 std::pair{password_, "Па&роль:"}}) {
        auto* label = new QLabel(QString::fromUtf8(caption), site);
        label->setBuddy(edit);
        edit->setAccessibleName(QString::fromUtf8(caption).remove(QLatin1Char('&')).chopped(1));
        siteForm->addRow(label, edit);
    }
    uploadAfter_ = new QCheckBox(QStringLiteral("Отправлять на сайт после публикации"), site);
    uploadAfter_->setChecked(
        dict.settings().value(Section, QStringLiteral("UploadAfterPublish")) == QStringLiteral("1"));
    auto* send = new QPushButton(QStringLiteral("Отправить на сайт"), site);
    connect(send, &QPushButton::clicked, this, [this] { upload(); });
    auto* sendRow = new QHBoxLayout;
    sendRow->addWidget(uploadAfter_);
    sendRow->addStretch();
    sendRow->addWidget(send);
    siteForm->addRow(sendRow);
    layout->addWidget(site);

    result_ = new QPlainTextEdit(this);
    result_->setReadOnly(true);
    result_->setAccessibleName(QStringLiteral("Результат"));
    result_->setMaximumBlockCount(200);
    result_->setMinimumHeight(fontMetrics().lineSpacing() * 4);
    layout->addWidget(result_);

    auto* buttons = new QHBoxLayout;
    auto* go = new QPushButton(QStringLiteral("&Опубликовать"), this);
    go->setDefault(true);
    auto* closeButton = new QPushButton(QStringLiteral("&Закрыть"), this);
    connect(go, &QPushButton::clicked, this, [this] { publish(); });
    connect(closeButton, &QPushButton::clicked, this, [this] {
        close(); // the frame closes the child window around it too
    });
    // To look at the pages as a visitor will before sending them to the site.
    auto* view = new QPushButton(QStringLiteral("&Просмотреть"), this);
    view->setAccessibleDescription(QStringLiteral("Открыть опубликованные страницы в браузере"));
    connect(view, &QPushButton::clicked, this, [this] {
        const QString index = QDir(QDir(dict_.workDir()).absoluteFilePath(folder_->text().trimmed()))
                                  .filePath(QStringLiteral("index.html"));
        if (folder_->text().trimmed().isEmpty() || !QFileInfo::exists(index))
            dict_.ui().tell(PublishCaption(), QStringLiteral("В папке нет опубликованных страниц: "
                                                             "сначала нажмите «Опубликовать»."));
        else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(index)))
            dict_.ui().tell(PublishCaption(), QStringLiteral("Браузер не открылся. Страницы лежат в %1.")
                                                  .arg(QDir::toNativeSeparators(index)));
    });
    buttons->addWidget(view);
    buttons->addStretch();
    buttons->addWidget(go);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
}

bool PublishScheduleWindow::publish() {
    PublishOptions o;
    o.outDir = folder_->text().trimmed();
    o.html = html_->isChecked();
    o.ics = ics_->isChecked();
    o.csv = csv_->isChecked();
    o.xlsx = xlsx_->isChecked();
    if (period_->isChecked()) {
        o.from = from_->date();
        o.to = to_->date();
    }
    QStringList formats;
    for (auto [on, key] : {std::pair{o.html, "html"}, std::pair{o.ics, "ics"},
                           std::pair{o.xlsx, "xlsx"}, std::pair{o.csv, "csv"}})
        if (on) formats << QLatin1String(key);
    dict_.settings().setValue(Section, QStringLiteral("Folder"), o.outDir);
    dict_.settings().setValue(Section, QStringLiteral("Formats"), formats.join(QLatin1Char(',')));

    keepUploadSettings();

    dict_.ui().setBusy(true);
    const PublishResult r = PublishSchedule(dict_, o, dict_.progress());
    dict_.ui().setBusy(false);
    QString text = r.ok ? QStringLiteral("Расписание опубликовано:\n") + r.written.join(QLatin1Char('\n'))
                        : r.error;
    bool ok = r.ok;
    if (ok && uploadAfter_->isChecked()) text += QLatin1Char('\n') + sendToSite(&ok);
    result_->setPlainText(text);
    dict_.ui().tell(PublishCaption(), text);
    return ok;
}

bool PublishScheduleWindow::upload() {
    keepUploadSettings();
    bool ok = false;
    const QString text = sendToSite(&ok);
    result_->setPlainText(text);
    // A success is read in the result area; a refusal must not go unnoticed there.
    if (!ok) dict_.ui().tell(UploadCaption(), text);
    return ok;
}

QString PublishScheduleWindow::sendToSite(bool* ok) {
    UploadOptions o;
    o.folder = folder_->text().trimmed();
    o.url = url_->text().trimmed();
    o.user = user_->text().trimmed();
    o.password = password_->text();
    dict_.ui().setBusy(true);
    const UploadResult r = UploadPublication(dict_, o, dict_.progress());
    dict_.ui().setBusy(false);
    *ok = r.ok;
    return r.ok ? r.lines.join(QLatin1Char('\n')) : r.error;
}

void PublishScheduleWindow::keepUploadSettings() {
    // Never the password, and not one written into the address either.
    dict_.settings().setValue(Section, QStringLiteral("UploadUrl"), UploadDisplayUrl(url_->text()));
    dict_.settings().setValue(Section, QStringLiteral("UploadUser"), user_->text().trimmed());
    dict_.settings().setValue(Section, QStringLiteral("UploadAfterPublish"),
                              uploadAfter_->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace hestor
