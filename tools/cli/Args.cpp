#include "Args.h"

#include "pivrel/engine/Engine.h"

namespace cli {

QString Args::taskScope(short* kind, qint64* code) {
    *kind = pivrel::TaskKind::All;
    *code = 0;
    int chosen = 0;
    QString problem;
    for (auto [opt, k] : {std::pair{QStringLiteral("teacher"), pivrel::TaskKind::Teacher},
                          std::pair{QStringLiteral("group"), pivrel::TaskKind::Group},
                          std::pair{QStringLiteral("subject"), pivrel::TaskKind::Science}}) {
        if (!has(opt)) continue;
        ++chosen;
        *kind = k;
        if (problem.isEmpty() && !integer(opt, 0, 1, 32767, code)) problem = error();
    }
    if (problem.isEmpty() && chosen > 1)
        problem = QString::fromUtf8("укажите не больше одного из --teacher, --group, --subject");
    return problem;
}

Args::Args(const QStringList& args, const QStringList& valueOptions, const QStringList& switches) {
    for (int i = 0; i < args.size() && error_.isEmpty(); ++i) {
        const QString& a = args[i];
        if (a == QStringLiteral("--")) {
            positional += args.mid(i + 1);
            break;
        }
        if (!a.startsWith(QStringLiteral("--"))) {
            if (a.startsWith(QLatin1Char('-')) && a.size() > 1)
                error_ = QString::fromUtf8("неизвестный параметр «%1»").arg(a);
            else
                positional << a;
            continue;
        }
        QString name = a.mid(2), value;
        const bool inlineValue = name.contains(QLatin1Char('='));
        if (inlineValue) {
            value = name.section(QLatin1Char('='), 1);
            name = name.section(QLatin1Char('='), 0, 0);
        }
        if (switches.contains(name)) {
            if (inlineValue)
                error_ = QString::fromUtf8("у параметра «--%1» не бывает значения").arg(name);
            else
                values_[name] = QStringLiteral("1");
        } else if (!valueOptions.contains(name)) {
            error_ = QString::fromUtf8("неизвестный параметр «--%1»").arg(name);
        } else if (!inlineValue && i + 1 >= args.size()) {
            error_ = QString::fromUtf8("у параметра «--%1» нет значения").arg(name);
        } else {
            values_[name] = inlineValue ? value : args[++i];
        }
    }
}

bool Args::integer(const QString& option, qint64 fallback, qint64 min, qint64 max, qint64* out) {
    if (!has(option)) {
        *out = fallback;
        return true;
    }
    bool ok = false;
    const qint64 v = value(option).toLongLong(&ok);
    if (!ok || v < min || v > max) {
        error_ =
            QString::fromUtf8("значение «--%1» должно быть целым числом от %2 до %3, а не «%4»")
                .arg(option)
                .arg(min)
                .arg(max)
                .arg(value(option));
        return false;
    }
    *out = v;
    return true;
}

QString Args::oneFolder() const {
    if (positional.size() == 1) return {};
    return positional.isEmpty() ? QString::fromUtf8("не указана папка")
                                : QString::fromUtf8("указано больше одной папки");
}

} // namespace cli
