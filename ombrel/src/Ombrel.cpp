#include "ombrel/Ombrel.h"

#include "ombrel/windows/LessonLinks.h"
#include "ombrel/windows/TeacherLessons.h"
#include "ombrel/windows/TimeRestrictions.h"
#include "ombrel/windows/TrainingPlan.h"

#include "tamsel/Dictionary.h"

namespace ombrel {

namespace {

template <class W> void offer(tamsel::Dictionary& dict) {
    tamsel::Procedure p;
    p.kind = tamsel::Procedure::Window;
    p.singleInstance = true;
    p.wantsRefresh = true;
    p.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new W(d);
    };
    dict.procedures.add(W::procedureName(), p);
}

} // namespace

void Init(tamsel::Dictionary& dict, tamsel::ErrorReporter*, tamsel::IniFile*) {
    dict.libraryLog << QStringLiteral("init:ombrel");
    offer<TrainingPlan>(dict);
    offer<TeacherLessons>(dict);
    offer<TimeRestrictions>(dict);
    offer<LessonLinks>(dict);
}

void Kill(tamsel::Dictionary& dict) {
    dict.libraryLog << QStringLiteral("kill:ombrel");
}

} // namespace ombrel
