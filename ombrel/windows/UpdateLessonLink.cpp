#include "ombrel/windows/UpdateLessonLink.h"

#include "ombrel/Links.h"

#include "tamsel/Relations.h"
#include "tamsel/widgets/LessonColumns.h"
#include "tamsel/widgets/RecordList.h"
#include "tamsel/widgets/WindowPlaceKeeper.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

using namespace tamsel;

namespace ombrel {

UpdateLessonLink::UpdateLessonLink(Dictionary& dict, LsnLink link, QWidget* parent)
    : QDialog(parent), dict_(dict), link_(std::move(link)), isNew_(link_.rowId == 0) {
    setObjectName(procedureName());
    setWindowTitle(QStringLiteral("Группа одновременных уроков"));
    status_ = new QLabel(isNew_ ? QStringLiteral("Запись будет добавлена")
                                : QStringLiteral("Запись будет изменена"),
                         this);
    auto* nameLabel = new QLabel(QStringLiteral("Название группы одновременных уроков:"), this);
    name_ = new QLineEdit(link_.LinkName, this);
    name_->setMaxLength(225);
    nameLabel->setBuddy(name_);
    lecture_ = new QCheckBox(QStringLiteral("Это лекция"), this);
    lecture_->setChecked(link_.IsLecture != 0);

    ListDeclaration member;
    member.file = FileId::LsnLinkComp;
    member.name = QStringLiteral("Состав группы:");
    member.canInsert = member.canChange = member.canDelete = false;
    ListColumn subject;
    subject.title = QStringLiteral("Предмет");
    subject.text = [&dict](const Row& r) {
        TrainingCourse k;
        k.TrainingCourseItemCode = fromRow<LsnLinkComp>(r).TrainingCourseItemCode;
        Science s;
        s.ScienceCode =
            dict.access<TrainingCourse>(false).fetch(TrainingCourse::ItemCodeKey, k).ScienceCode;
        return dict.access<Science>(false).fetch(Science::ScienceCodeKey, s).Science;
    };
    ListColumn group;
    group.title = QStringLiteral("Группа");
    group.text = [&dict](const Row& r) {
        Group g;
        g.GroupCode = fromRow<LsnLinkComp>(r).GroupCode;
        return dict.access<Group>(false).fetch(Group::GroupCodeKey, g).GroupId();
    };
    ListColumn sub;
    sub.title = QStringLiteral("п/гр.");
    sub.text = [&dict](const Row& r) {
        return FormatSubGroup(fromRow<LsnLinkComp>(r).SubGroupNum, QString(), dict.glo.SubGroupId);
    };
    member.columns = {subject, group, sub};
    member.view.key = LsnLinkComp::LinkCodeKey;
    member.view.leading = 1;
    member.view.position = [this](Row& from) {
        if (link_.LinkCode == 0) return false;
        from.set(fieldIndex(FileId::LsnLinkComp, "LinkCode"), qint64(link_.LinkCode));
        return true;
    };
    member.dropsAnywhere = true;
    member.drops.push_back({QStringLiteral("AddToLinkList"), [this](const Row&, RowId dragged) {
                                // After the drag: a refusal's message must not open inside it.
                                QTimer::singleShot(0, this,
                                                   [this, dragged] { addLesson(dragged); });
                            }});
    members_ = new RecordList(dict_, std::move(member), this);
    auto* remove = new QPushButton(QStringLiteral("&Удалить"), this);
    connect(remove, &QPushButton::clicked, this, &UpdateLessonLink::removeMember);
    members_->buttonRow()->addWidget(remove);
    members_->buttonRow()->addStretch(1);

    auto* hint =
        new QLabel(QStringLiteral("Для составления списка одновремен- ных уроков, откройте "
                                  "окно учебных групп или окно учителей или окно "
                                  "распределения нагрузки и перетащите мышкой урок из "
                                  "одного из этих окон в список членов группы."),
                   this);
    hint->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &UpdateLessonLink::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &UpdateLessonLink::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(nameLabel);
    layout->addWidget(name_);
    layout->addWidget(lecture_);
    layout->addWidget(members_, 1);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    resize(520, 420);
    WindowPlaceKeeper::attach(this, dict_.settings(), procedureName());
    members_->reload();
}

void UpdateLessonLink::addLesson(RowId lesson) {
    const Schedule s = dict_.access<Schedule>().byRowId(lesson);
    if (s.rowId == 0) return;
    link_.LinkName = name_->text();
    link_.IsLecture = lecture_->isChecked() ? 1 : 0;
    if (!AddToLinkList(dict_, link_, s)) return;
    name_->setText(link_.LinkName);
    members_->reload();
    dict_.windows.postToFrame(1024);
}

void UpdateLessonLink::removeMember() {
    const Row* r = members_->current();
    if (!r) return;
    if (dict_.errors().report(Msg::ConfirmDelete) != Yes) return;
    if (RemoveLinkMember(dict_, fromRow<LsnLinkComp>(*r))) {
        members_->reload();
        dict_.windows.postToFrame(1024);
    }
}

void UpdateLessonLink::accept() {
    LsnLink l = link_.rowId ? dict_.access<LsnLink>().byRowId(link_.rowId) : link_;
    l.LinkName = name_->text().trimmed();
    l.IsLecture = lecture_->isChecked() ? 1 : 0;
    if (!SaveLink(dict_, l)) return; // the message was shown; the form stays for a correction
    link_ = l;
    dict_.windows.postToFrame(1024);
    QDialog::accept();
}

void UpdateLessonLink::reject() {
    // A new link that lessons were dragged into is not kept: the relations take its members
    // with it and give its entries back.
    if (isNew_ && link_.rowId != 0) {
        Relations rel(dict_);
        rel.remove(link_);
        dict_.windows.postToFrame(1024);
    }
    QDialog::reject();
}

} // namespace ombrel
