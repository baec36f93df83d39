#pragma once

// Stand-ins for the windows of the libraries: they record the events they receive.

#include "tamsel/Dictionary.h"
#include "tamsel/Events.h"

#include <QCloseEvent>
#include <QList>
#include <QString>
#include <QWidget>
#include <memory>

namespace korvel::test {

struct Received {
    QString window;
    int type;
    int navigation = -1;
    bool operator==(const Received&) const = default;
};

class Probe : public QWidget {
public:
    Probe(QString name, QList<Received>* log) : name_(std::move(name)), log_(log) {
        setWindowTitle(name_);
        setObjectName(name_);
        resize(240, 160);
    }
    bool refuseClose = false;

protected:
    void customEvent(QEvent* e) override {
        Received r{name_, e->type()};
        if (e->type() == tamsel::NavigationEvent::Type)
            r.navigation = static_cast<int>(static_cast<tamsel::NavigationEvent*>(e)->button);
        log_->append(r);
    }
    void closeEvent(QCloseEvent* e) override {
        if (refuseClose) e->ignore();
    }

private:
    QString name_;
    QList<Received>* log_;
};

/// Registers a window procedure whose windows are probes named "<procedure><n>".
struct ProbeFactory {
    QList<Received> log;
    QList<QPair<QString, QString>> starts; ///< procedure and mode of each start
    int made = 0;

    void add(tamsel::Dictionary& dict, const QString& procedure, bool singleInstance = true,
             bool wantsRefresh = true) {
        tamsel::Procedure p;
        p.kind = tamsel::Procedure::Window;
        p.singleInstance = singleInstance;
        p.wantsRefresh = wantsRefresh;
        p.start = [this, procedure](tamsel::Dictionary&, const tamsel::ProcedureCall& call) {
            starts.append({procedure, call.mode});
            return new Probe(procedure + QString::number(++made), &log);
        };
        dict.procedures.add(procedure, p);
    }
    void addDirect(tamsel::Dictionary& dict, const QString& procedure) {
        tamsel::Procedure p;
        p.kind = tamsel::Procedure::Direct;
        p.start = [this, procedure](tamsel::Dictionary&, const tamsel::ProcedureCall& call) {
            starts.append({procedure, call.mode});
            return nullptr;
        };
        dict.procedures.add(procedure, p);
    }
};

} // namespace korvel::test
