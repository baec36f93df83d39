#include "tamsel/widgets/RecordForm.h"

#include "tamsel/Dictionary.h"
#include "tamsel/Relations.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>

namespace tamsel {

RecordForm::RecordForm(Dictionary& dict, const ListDeclaration& decl, Row row, bool isNew,
                       QWidget* parent)
    : QDialog(parent), dict_(dict), decl_(decl), row_(std::move(row)), isNew_(isNew) {
    setWindowTitle(decl_.name +
                   (isNew_ ? QStringLiteral(" — добавление") : QStringLiteral(" — изменение")));
    auto* form = new QFormLayout;
    const FileDef& def = fileDef(decl_.file);
    for (const ListColumn& c : decl_.columns) {
        QWidget* editor = nullptr;
        if (c.field >= 0 && c.editor != ListColumn::Editor::None) {
            const FieldDef& f = def.fields[static_cast<size_t>(c.field)];
            const Value& v = row_.values[static_cast<size_t>(c.field)];
            switch (c.editor) {
            case ListColumn::Editor::Number: {
                auto* spin = new QSpinBox(this);
                spin->setRange(c.minimum, c.maximum);
                spin->setValue(static_cast<int>(std::get<qint64>(v)));
                editor = spin;
                break;
            }
            case ListColumn::Editor::Choice: {
                auto* combo = new QComboBox(this);
                if (c.choices)
                    for (const auto& [text, value] : c.choices()) {
                        combo->addItem(text, std::holds_alternative<QString>(value)
                                                 ? QVariant(std::get<QString>(value))
                                                 : QVariant(std::get<qint64>(value)));
                        if (value == v) combo->setCurrentIndex(combo->count() - 1);
                    }
                editor = combo;
                break;
            }
            case ListColumn::Editor::Time: {
                auto* time = new QTimeEdit(this);
                time->setDisplayFormat(QStringLiteral("H:mm"));
                time->setTime(
                    QTime::fromString(timeText(std::get<qint64>(v)), QStringLiteral("H:mm")));
                editor = time;
                break;
            }
            default: {
                auto* line = new QLineEdit(this);
                if (f.isText()) {
                    line->setMaxLength(f.width);
                    line->setText(std::get<QString>(v));
                } else {
                    line->setText(QString::number(std::get<qint64>(v)));
                }
                editor = line;
                break;
            }
            }
            editor->setAccessibleName(c.title);
            form->addRow(c.title + QLatin1Char(':'), editor);
        }
        editors_.push_back(editor);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("ОК"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &RecordForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RecordForm::reject);
    form->addRow(buttons);
    setLayout(form);
}

bool RecordForm::collect() {
    const FileDef& def = fileDef(decl_.file);
    for (size_t i = 0; i < decl_.columns.size(); ++i) {
        QWidget* e = editors_[i];
        if (!e) continue;
        const int field = decl_.columns[i].field;
        const FieldDef& f = def.fields[static_cast<size_t>(field)];
        if (auto* spin = qobject_cast<QSpinBox*>(e)) {
            row_.set(field, qint64(spin->value()));
        } else if (auto* combo = qobject_cast<QComboBox*>(e)) {
            const QVariant d = combo->currentData();
            if (f.isText())
                row_.set(field, d.toString());
            else
                row_.set(field, d.toLongLong());
        } else if (auto* time = qobject_cast<QTimeEdit*>(e)) {
            row_.set(field, qint64(timeOf(time->time().hour(), time->time().minute())));
        } else if (auto* line = qobject_cast<QLineEdit*>(e)) {
            if (f.isText()) {
                row_.set(field, fitText(line->text(), f.width));
            } else {
                bool ok = false;
                const qint64 n = line->text().trimmed().toLongLong(&ok);
                if (!ok) {
                    line->setFocus();
                    return false;
                }
                row_.set(field, n);
            }
        }
    }
    return true;
}

void RecordForm::accept() {
    if (!collect()) return;
    if (!isNew_ && decl_.beforeChange) {
        Row stored;
        dict_.store().file(decl_.file).table().fetchRowId(row_.rowId, stored);
        if (!decl_.beforeChange(stored, row_)) return; // the form stays for a correction
    }
    Relations rel(dict_);
    if (!rel.validateRow(decl_.file, row_, -1).ok()) return;
    const Outcome o = isNew_ ? rel.insertRow(decl_.file, row_) : rel.updateRow(decl_.file, row_);
    if (!o.ok()) return; // the message was shown; the form stays for a correction
    QDialog::accept();
}

} // namespace tamsel
