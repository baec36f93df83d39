#include "HelpWindow.h"

#include "Artwork.h"

#include "tamsel/widgets/WindowPlaceKeeper.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QVBoxLayout>

namespace korvel {

namespace {
/// The guide's pages in the order of its contents.
const char* const PageOrder[] = {"FirstSteps", "SourceData", "Requirements", "Placing",
                                 "Printing",   "Service",    "MainWindow",   "HelpOnHelp"};

QUrl pageUrl(const QString& topic) {
    return QUrl(QStringLiteral("qrc:/help/%1.html").arg(topic));
}
} // namespace

HelpWindow::HelpWindow(tamsel::IniFile& ini, QWidget* frame) : QWidget(frame, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Help"));
    setWindowTitle(QString::fromUtf8("Справка Korvel"));
    setWindowIcon(icon(QStringLiteral("nav-help")));

    for (const char* topic : PageOrder) {
        QFile f(QStringLiteral(":/help/%1.html").arg(QLatin1String(topic)));
        if (!f.open(QIODevice::ReadOnly)) continue;
        QTextDocument doc;
        doc.setHtml(QString::fromUtf8(f.readAll()));
        pages_.append({QString::fromLatin1(topic),
                       doc.metaInformation(QTextDocument::DocumentTitle), doc.toPlainText()});
    }

    tabs_ = new QTabWidget(this);
    contents_ = new QListWidget(tabs_);
    for (const Page& p : pages_) {
        auto* item = new QListWidgetItem(p.title, contents_);
        item->setData(Qt::UserRole, p.topic);
    }
    tabs_->addTab(contents_, QString::fromUtf8("Содержание"));

    auto* searchPage = new QWidget(tabs_);
    auto* sl = new QVBoxLayout(searchPage);
    sl->setContentsMargins(4, 4, 4, 4);
    auto* prompt = new QLabel(QString::fromUtf8("&Искать слова:"), searchPage);
    searchEdit_ = new QLineEdit(searchPage);
    searchEdit_->setClearButtonEnabled(true);
    prompt->setBuddy(searchEdit_);
    results_ = new QListWidget(searchPage);
    sl->addWidget(prompt);
    sl->addWidget(searchEdit_);
    sl->addWidget(results_);
    tabs_->addTab(searchPage, QString::fromUtf8("Поиск"));

    auto* right = new QWidget(this);
    auto* rl = new QVBoxLayout(right);
    rl->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QToolBar(right);
    browser_ = new QTextBrowser(right);
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(false);
    QAction* back = bar->addAction(icon(QStringLiteral("nav-previous")), QString::fromUtf8("Назад"),
                                   browser_, &QTextBrowser::backward);
    back->setShortcut(QKeySequence::Back);
    QAction* forward = bar->addAction(icon(QStringLiteral("nav-next")), QString::fromUtf8("Вперёд"),
                                      browser_, &QTextBrowser::forward);
    forward->setShortcut(QKeySequence::Forward);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    bar->addAction(icon(QStringLiteral("days")), QString::fromUtf8("Первые шаги"), this,
                   [this] { showTopic(QStringLiteral("FirstSteps")); });
    rl->addWidget(bar);
    rl->addWidget(browser_);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(tabs_);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 560});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);

    auto open = [this](QListWidgetItem* item) {
        if (item) showTopic(item->data(Qt::UserRole).toString());
    };
    connect(contents_, &QListWidget::itemActivated, this, open);
    connect(contents_, &QListWidget::itemClicked, this, open);
    connect(results_, &QListWidget::itemActivated, this, open);
    connect(results_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (!item) return;
        showTopic(item->data(Qt::UserRole).toString());
        const QStringList words = searchEdit_->text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!words.isEmpty()) browser_->find(words.first());
    });
    connect(searchEdit_, &QLineEdit::textChanged, this, &HelpWindow::runSearch);
    connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
        const QString topic = currentTopic();
        for (int i = 0; i < contents_->count(); ++i)
            if (contents_->item(i)->data(Qt::UserRole).toString() == topic)
                contents_->setCurrentRow(i);
    });

    resize(820, 560);
    tamsel::WindowPlaceKeeper::attach(this, ini, QStringLiteral("Help"));
    showTopic(QStringLiteral("FirstSteps"));
}

bool HelpWindow::showTopic(const QString& topic) {
    QString t = topic;
    if (t.startsWith(QLatin1Char('~'))) t.remove(0, 1);
    for (const Page& p : pages_) {
        if (p.topic.compare(t, Qt::CaseInsensitive) == 0) {
            browser_->setSource(pageUrl(p.topic));
            return true;
        }
    }
    return false;
}

void HelpWindow::showContents() {
    tabs_->setCurrentWidget(contents_);
    contents_->setFocus();
}

void HelpWindow::showSearch(const QString& words) {
    tabs_->setCurrentIndex(1);
    if (!words.isNull()) searchEdit_->setText(words);
    searchEdit_->setFocus();
    searchEdit_->selectAll();
}

QStringList HelpWindow::search(const QString& words) const {
    const QStringList list = words.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList found;
    if (list.isEmpty()) return found;
    for (const Page& p : pages_) {
        const QString hay = p.title + QLatin1Char('\n') + p.text;
        bool all = true;
        for (const QString& w : list)
            if (!hay.contains(w, Qt::CaseInsensitive)) all = false;
        if (all) found << p.topic;
    }
    return found;
}

void HelpWindow::runSearch() {
    results_->clear();
    for (const QString& topic : search(searchEdit_->text())) {
        for (const Page& p : pages_) {
            if (p.topic != topic) continue;
            auto* item = new QListWidgetItem(p.title, results_);
            item->setData(Qt::UserRole, p.topic);
        }
    }
}

QString HelpWindow::currentTopic() const {
    const QString name = browser_->source().fileName();
    return name.endsWith(QLatin1String(".html")) ? name.chopped(5) : name;
}

} // namespace korvel
