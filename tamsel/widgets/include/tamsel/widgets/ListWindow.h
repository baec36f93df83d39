#pragma once

#include "tamsel/widgets/RecordList.h"

#include <QWidget>
#include <vector>

namespace tamsel {

class Dictionary;

/// A window made of lists: the frame's navigation buttons go to the list that had the
/// focus last, the refresh event 1024 reads every list again, and a store in any list posts
/// 1024 to the frame so that every other window follows.
class ListWindow : public QWidget {
    Q_OBJECT
public:
    ListWindow(Dictionary& dict, const QString& procedure, const QString& title,
               QWidget* parent = nullptr);
    ~ListWindow() override;

    /// Adds a list of the window (owned by the caller's layout); its file and the related
    /// files stay open while the window is.
    RecordList* addList(ListDeclaration decl);
    const std::vector<RecordList*>& lists() const { return lists_; }
    /// The list that the navigation buttons act on.
    RecordList* activeList() const { return active_; }
    /// Reads every list again (the refresh event does this).
    virtual void refresh();

protected:
    void customEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    Dictionary& dict_;

private:
    std::vector<RecordList*> lists_;
    std::vector<FileId> opened_;
    RecordList* active_ = nullptr;
};

} // namespace tamsel
