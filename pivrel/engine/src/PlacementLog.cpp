#include "pivrel/engine/PlacementLog.h"

#include "tamsel/Dictionary.h"
#include "tamsel/OutputPath.h"

#include <QDir>
#include <QFileInfo>

using namespace tamsel;

namespace pivrel {

namespace {
const char* const Header =
    "VariantQueue.VQ:LinkCode     VQ:Week         VQ:DaySeqNumber VQ:LessonNo     "
    "VQ:MainEstimate VQ:AddEstimate  | TaskQueue.LinkCode        NumberOfSuchLes NumberOfVars "
    "   Freedom         ScienceCode     TeacherCode     GroupCode       SubGroupNum     RoomCode "
    "       Week            DaySeqNumber    LessonNo        TrCourseItmCode CoupledLesson   Done "
    "           | ErrorCode() = ";

QString num8(long v) { return QString::number(v).rightJustified(8, QLatin1Char(' ')); }
QString col(long v) { return num8(v) + QString(8, QLatin1Char(' ')); }
QString lessonCol(const QString& l) {
    return QString(5, QLatin1Char(' ')) + l.leftJustified(3, QLatin1Char(' '), true) +
           QString(8, QLatin1Char(' '));
}
} // namespace

PlacementLog::PlacementLog(Dictionary& dict) : dict_(dict) {}

PlacementLog::~PlacementLog() { close(); }

QString PlacementLog::path() const { return QDir(dict_.workDir()).filePath(fileName()); }

bool PlacementLog::OpenLog() {
    if (file_.isOpen()) file_.close();
    if (givenUp_) return false;
    file_.setFileName(path());
    // The log is rewritten on every run: a link in its place is replaced by a file of its
    // own, so that the run never truncates a file elsewhere.
    if (QFileInfo(path()).isSymLink() && !QFile::remove(path())) {
        givenUp_ = true;
        dict_.stopPrompt(QStringLiteral("Create(Log) - Error() = ") +
                         LinkRefusal(path(), QStringLiteral("Протокол расстановки")));
        return false;
    }
    if (!file_.open(QIODevice::ReadWrite)) {
        givenUp_ = true;
        dict_.stopPrompt(QStringLiteral("Create(Log) - Error() = ") + file_.errorString());
        return false;
    }
    if (!file_.resize(0)) {
        givenUp_ = true;
        dict_.stopPrompt(QStringLiteral("Empty(Log) - Error() = ") + file_.errorString());
        file_.close();
        return false;
    }
    for (const QString& line : top_)
        if (!append(line)) return false;
    return true;
}

void PlacementLog::close() {
    if (file_.isOpen()) file_.close();
}

bool PlacementLog::append(const QString& line) {
    if (givenUp_) return false;
    if (!file_.isOpen() && !OpenLog()) return false;
    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    if (file_.write(bytes) != bytes.size() || !file_.flush()) {
        givenUp_ = true;
        file_.close();
        dict_.stopPrompt(QStringLiteral("Add(Log): Errorcode() = 5, Error() = ") +
                              file_.errorString());
        return false;
    }
    return true;
}

void PlacementLog::AddLog(const QString& message, bool dump) {
    if (!Globals::loggingEnabled(dict_.settings())) return;
    if (!dump) {
        append(message.left(1024));
        return;
    }
    const auto& vq = dict_.glo.VariantQueue;
    const auto& tq = dict_.glo.TaskQueue;
    const bool hasV = vq.pointer >= 0 && vq.pointer < static_cast<int>(vq.items.size());
    const bool hasT = tq.pointer >= 0 && tq.pointer < static_cast<int>(tq.items.size());
    AddDump(hasV ? vq.items[static_cast<size_t>(vq.pointer)] : VariantQueueEntry{},
            hasV ? vq.pointer + 1 : 0,
            hasT ? tq.items[static_cast<size_t>(tq.pointer)] : TaskQueueEntry{},
            hasT ? tq.pointer + 1 : 0);
}

void PlacementLog::AddDump(const VariantQueueEntry& v, int vPos, const TaskQueueEntry& t,
                           int tPos) {
    if (!Globals::loggingEnabled(dict_.settings())) return;
    if (append(dumpHeader(0, QString()))) append(dumpLine(v, vPos, t, tPos));
}

QString PlacementLog::dumpHeader(int errorCode, const QString& errorText) {
    return QString::fromLatin1(Header) + QString::number(errorCode) +
           QStringLiteral(", Error() = ") + errorText;
}

QString PlacementLog::dumpLine(const VariantQueueEntry& v, int vPos, const TaskQueueEntry& t,
                               int tPos) {
    QString s = num8(vPos) + QString(5, QLatin1Char(' '));
    s += col(v.LinkCode) + col(v.Week) + col(v.DaySeqNumber) + lessonCol(v.LessonNo);
    s += col(v.MainEstimate) + col(v.AdditionalEstimate) + QStringLiteral("| ");
    QString pos = QString::number(tPos < 0 ? -tPos : tPos);
    for (qsizetype i = pos.size() - 3; i > 0; i -= 3) pos.insert(i, QLatin1Char(','));
    if (tPos < 0) pos.prepend(QLatin1Char('-'));
    s += pos.rightJustified(7, QLatin1Char(' ')) + QStringLiteral(":  ");
    const Schedule& l = t.lesson;
    for (long x : {long(l.LinkCode), long(t.NumberOfSuchLessons), long(t.NumberOfVariants),
                   long(t.Freedom), long(l.ScienceCode), long(l.TeacherCode), long(l.GroupCode),
                   long(l.SubGroupNum), long(l.RoomCode), long(l.Week), long(l.DaySeqNumber)})
        s += col(x);
    s += lessonCol(l.LessonNo);
    for (long x : {long(l.TrainingCourseItemCode), long(l.CoupledLesson), long(t.Done)}) s += col(x);
    s += QStringLiteral("| ");
    return s;
}

bool DebugProcEnabled(const Dictionary& dict, const QString& procedure) {
    return dict.glo.debugProcEnabled(procedure);
}

} // namespace pivrel
