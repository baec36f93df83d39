#pragma once

#include <QList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;

namespace tamsel {
class IniFile;
}

namespace korvel {

/// The user guide: our own Russian HTML pages with their contents and a search over them.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    struct Page {
        QString topic; ///< "FirstSteps"; the frame's topic "~FirstSteps" names the same page
        QString title;
        QString text; ///< plain text, for the search
    };

    HelpWindow(tamsel::IniFile& ini, QWidget* frame);

    /// Shows a page by topic ("~FirstSteps" or "FirstSteps"); false when there is none.
    bool showTopic(const QString& topic);
    void showContents();
    /// Switches to the search tab, searching `words` when given.
    void showSearch(const QString& words = QString());
    /// Topics of the pages that hold every word of `words` (any case), in contents order.
    QStringList search(const QString& words) const;

    const QList<Page>& pages() const { return pages_; }
    QString currentTopic() const;
    QTextBrowser* browser() const { return browser_; }
    QListWidget* contentsList() const { return contents_; }
    QListWidget* resultList() const { return results_; }
    QLineEdit* searchEdit() const { return searchEdit_; }
    QTabWidget* tabs() const { return tabs_; }

private:
    void runSearch();
    QList<Page> pages_;
    QTabWidget* tabs_;
    QListWidget* contents_;
    QLineEdit* searchEdit_;
    QListWidget* results_;
    QTextBrowser* browser_;
};

} // namespace korvel
