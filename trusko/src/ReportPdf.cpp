#include "trusko/ReportPdf.h"

#include "trusko/ReportBuilders.h"
#include "trusko/ReportRenderer.h"

#include "tamsel/Dictionary.h"
#include "tamsel/OutputPath.h"

namespace trusko {

using namespace tamsel;

std::optional<ReportKind> reportKindFromName(const QString& name) {
    const QString n = name.trimmed().toLower();
    if (n == u"teacher" || n == u"teachers") return ReportKind::Teacher;
    if (n == u"group" || n == u"groups") return ReportKind::Group;
    if (n == u"room" || n == u"rooms") return ReportKind::Room;
    if (n == u"brief") return ReportKind::Brief;
    if (n == u"plan") return ReportKind::Plan;
    if (n == u"load") return ReportKind::Load;
    return std::nullopt;
}

QStringList reportKindNames() {
    return {QStringLiteral("teacher"), QStringLiteral("group"), QStringLiteral("room"),
            QStringLiteral("brief"),   QStringLiteral("plan"),  QStringLiteral("load")};
}

namespace {

Short objectTypeOf(ReportKind kind) {
    switch (kind) {
    case ReportKind::Teacher:
        return ObjectType::Teacher;
    case ReportKind::Group:
        return ObjectType::Group;
    case ReportKind::Room:
        return ObjectType::Room;
    default:
        return 0;
    }
}

} // namespace

bool BuildReportDocuments(Dictionary& dict, ReportKind kind, std::optional<Long> object,
                          std::vector<ReportDocument>* docs, QString* error) {
    auto fail = [&](const QString& text) {
        docs->clear();
        if (error) *error = text;
        return false;
    };
    docs->clear();
    const Short type = objectTypeOf(kind);
    if (type != 0) {
        if (object) {
            const std::vector<Long> codes = BatchObjectCodes(dict, type);
            if (std::find(codes.begin(), codes.end(), *object) == codes.end())
                return fail(QStringLiteral("Объект с кодом %1 не найден").arg(*object));
            docs->push_back(BuildObjectSchedule(dict, type, *object, &dict.progress()));
        } else {
            *docs = BuildAllObjectSchedules(dict, type, &dict.progress());
            if (docs->empty()) return fail(QStringLiteral("Нет объектов для печати"));
        }
    } else {
        if (object) return fail(QStringLiteral("Этот отчёт печатается без --object"));
        switch (kind) {
        case ReportKind::Brief:
            docs->push_back(BuildBriefSchedule(dict, &dict.progress()));
            break;
        case ReportKind::Plan:
            docs->push_back(BuildTrainingCourse(dict, &dict.progress()));
            break;
        default:
            docs->push_back(BuildTeacherLoad(dict, &dict.progress()));
            break;
        }
    }
    for (const ReportDocument& d : *docs) {
        if (d.failed) return fail(QStringLiteral("Не удалось открыть файлы данных"));
        if (d.cancelled) return fail(QStringLiteral("Печать прервана"));
    }
    return true;
}

bool WriteReportPdf(Dictionary& dict, ReportKind kind, std::optional<Long> object,
                    const QString& pdfFile, QString* error) {
    if (const QString refused = OutputPathRefusal(dict, pdfFile); !refused.isEmpty()) {
        if (error) *error = refused;
        return false;
    }
    std::vector<ReportDocument> docs;
    if (!BuildReportDocuments(dict, kind, object, &docs, error)) return false;
    std::vector<const ReportDocument*> pointers;
    for (const ReportDocument& d : docs)
        pointers.push_back(&d);
    return writeReportsPdf(pointers, pdfFile, error);
}

} // namespace trusko
