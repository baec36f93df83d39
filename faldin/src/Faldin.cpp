#include "faldin/Faldin.h"

#include "faldin/ClearSchedule.h"
#include "faldin/windows/DayList.h"
#include "faldin/windows/GroupList.h"
#include "faldin/windows/LessonBellList.h"
#include "faldin/windows/RoomList.h"
#include "faldin/windows/ScienceList.h"
#include "faldin/windows/SubGroupTypeList.h"
#include "faldin/windows/TeacherList.h"
#include "tamsel/Dictionary.h"

namespace faldin {

namespace {

/// Offers a list window to the frame: one at a time, refreshed on 1024.
template <class W> void offerWindow(tamsel::Dictionary& dict) {
    tamsel::Procedure p;
    p.kind = tamsel::Procedure::Window;
    p.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall&) -> QObject* {
        return new W(d);
    };
    dict.procedures.add(W::procedureName(), std::move(p));
}

} // namespace

void Init(tamsel::Dictionary& dict, tamsel::ErrorReporter*, tamsel::IniFile*) {
    offerWindow<DayList>(dict);
    offerWindow<LessonBellList>(dict);
    offerWindow<GroupList>(dict);
    offerWindow<RoomList>(dict);
    offerWindow<ScienceList>(dict);
    offerWindow<SubGroupTypeList>(dict);
    offerWindow<TeacherList>(dict);
    dict.libraryLog << QStringLiteral("init:faldin");
    // The two clearing items of the menu: mode "0" keeps the teachers, "1" clears them too.
    tamsel::Procedure clear;
    clear.kind = tamsel::Procedure::Direct;
    clear.singleInstance = false;
    clear.wantsRefresh = false;
    clear.start = [](tamsel::Dictionary& d, const tamsel::ProcedureCall& call) -> QObject* {
        ClearSchedule(d, call.mode == QStringLiteral("1") ? 1 : 0,
                      [&d](int type) { d.windows.postToFrame(type); });
        return nullptr;
    };
    dict.procedures.add(QStringLiteral("ClearSchedule"), std::move(clear));
}

void Kill(tamsel::Dictionary& dict) {
    dict.libraryLog << QStringLiteral("kill:faldin");
}

} // namespace faldin
