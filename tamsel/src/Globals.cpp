#include "tamsel/Globals.h"

#include "tamsel/IniFile.h"
#include "tamsel/Schema.h"

#include <QStringDecoder>
#include <algorithm>
#include <limits>
#include <variant>

namespace tamsel {

namespace {

const QString Preserved = QStringLiteral("Preserved");

using Member = std::variant<QString Globals::*, Short Globals::*, Long Globals::*>;
struct Saved {
    const char* key;
    Member member;
};

/// Saved variables after the file names, in the order they are loaded and saved.
const std::vector<Saved>& savedVariables() {
    static const std::vector<Saved> v{
        {"FN:LessonGrid", &Globals::FN_LessonGrid},
        {"LodraDataDir", &Globals::LodraDataDir},
        {"GLO:WeeksInCycle", &Globals::WeeksInCycle},
        {"GLO:CommonTypeRoomCode", &Globals::CommonTypeRoomCode},
        {"GLO:SubGroupSep", &Globals::SubGroupSep},
        {"GLO:SubGroupId", &Globals::SubGroupId},
        {"GLO:NoRestrictionColor", &Globals::NoRestrictionColor},
        {"GLO:WeakRestrictionColor", &Globals::WeakRestrictionColor},
        {"GLO:HeavyRestrictionColor", &Globals::HeavyRestrictionColor},
        {"GLO:DontUseRestrictionColor", &Globals::DontUseRestrictionColor},
        {"GLO:DebugProc", &Globals::DebugProc},
        {"Glo:AllWeeksShow", &Globals::AllWeeksShow},
        {"GLO:GoToSelectedObject", &Globals::GoToSelectedObject},
        {"GLO:SmallSellWidth", &Globals::SmallSellWidth},
        {"GLO:SmallSellHeight", &Globals::SmallSellHeight},
        {"GLO:LargeSellWidth", &Globals::LargeSellWidth},
        {"GLO:LargeSellHeight", &Globals::LargeSellHeight},
        {"GLO:SchFontTypeface", &Globals::SchFontTypeface},
        {"GLO:SchFontSize", &Globals::SchFontSize},
        {"GLO:SchFontColor", &Globals::SchFontColor},
        {"GLO:SchFontStyle", &Globals::SchFontStyle},
        {"GLO:SchFontCharset", &Globals::SchFontCharset},
        {"SmallFlag", &Globals::SmallFlag},
        {"GLO:UseTextOverview", &Globals::UseTextOverview},
    };
    return v;
}

/// Disk-name settings in the order they are saved.
constexpr std::array<FileId, 20> FileNameOrder{
    FileId::TrainingCourse, FileId::Days,         FileId::RoomType,    FileId::Stream,
    FileId::ScienceCycle,   FileId::Science,      FileId::Room,        FileId::Restriction,
    FileId::LessonBell,     FileId::Schedule,     FileId::Group,       FileId::Course,
    FileId::SubGroupType,   FileId::Speciality,   FileId::Teacher,     FileId::LsnLinkComp,
    FileId::LsnLink,        FileId::RoomList,     FileId::Archive,     FileId::Substitution};

const QString ExportKey = QStringLiteral("FN:ExportSchedule");

} // namespace

QString fileNameKey(FileId id) { return QStringLiteral("FN:") + fileDef(baseOf(id)).settingsName; }

QStringList Globals::load(const IniFile& ini) {
    for (FileId id : FileNameOrder)
        FN[static_cast<size_t>(index(id))] =
            ini.value(Preserved, fileNameKey(id), FN[static_cast<size_t>(index(id))]);
    FN_ExportSchedule = ini.value(Preserved, ExportKey, FN_ExportSchedule);
    for (const Saved& s : savedVariables()) {
        const QString key = QString::fromLatin1(s.key);
        if (!ini.contains(Preserved, key)) continue; // keeps the variable's value
        std::visit(
            [&](auto m) {
                using T = std::remove_cvref_t<decltype(this->*m)>;
                if constexpr (std::is_same_v<T, QString>)
                    this->*m = ini.value(Preserved, key);
                else
                    this->*m = static_cast<T>(std::clamp<long long>(
                        ini.number(Preserved, key, this->*m), std::numeric_limits<T>::min(),
                        std::numeric_limits<T>::max()));
            },
            s.member);
    }
    // Without stored colours and sizes a first start would show black, unusable grids.
    auto standard = [&](const char* key, auto& var, auto value) {
        if (ini.value(Preserved, QString::fromLatin1(key)).trimmed().isEmpty()) var = value;
    };
    standard("GLO:NoRestrictionColor", NoRestrictionColor, StandardColor::NoRestriction);
    standard("GLO:WeakRestrictionColor", WeakRestrictionColor, StandardColor::WeakRestriction);
    standard("GLO:HeavyRestrictionColor", HeavyRestrictionColor, StandardColor::HeavyRestriction);
    standard("GLO:DontUseRestrictionColor", DontUseRestrictionColor,
             StandardColor::DontUseRestriction);
    standard("GLO:SmallSellWidth", SmallSellWidth, Short(60));
    standard("GLO:SmallSellHeight", SmallSellHeight, Short(20));
    standard("GLO:LargeSellWidth", LargeSellWidth, Short(90));
    standard("GLO:LargeSellHeight", LargeSellHeight, Short(44));

    // Values no window could have written (a hand-edited or damaged file) would make weeks
    // that do not exist or cells nobody can see.
    QStringList adjusted;
    auto range = [&](const char* key, Short& var, Short low, Short high) {
        const Short v = std::clamp(var, low, high);
        if (v == var) return;
        adjusted << QStringLiteral("%1 = %2 вне пределов %3–%4, принято %5")
                        .arg(QLatin1String(key))
                        .arg(ini.value(Preserved, QLatin1String(key)))
                        .arg(low)
                        .arg(high)
                        .arg(v);
        var = v;
    };
    range("GLO:WeeksInCycle", WeeksInCycle, 0, 20);
    range("GLO:SmallSellWidth", SmallSellWidth, 40, 100);
    range("GLO:SmallSellHeight", SmallSellHeight, 20, 84);
    range("GLO:LargeSellWidth", LargeSellWidth, 50, 150);
    range("GLO:LargeSellHeight", LargeSellHeight, 12, 60);
    return adjusted;
}

void Globals::save(IniFile& ini) const {
    for (FileId id : FileNameOrder)
        ini.setValue(Preserved, fileNameKey(id), FN[static_cast<size_t>(index(id))]);
    ini.setValue(Preserved, ExportKey, FN_ExportSchedule);
    for (const Saved& s : savedVariables()) {
        const QString key = QString::fromLatin1(s.key);
        std::visit(
            [&](auto m) {
                using T = std::remove_cvref_t<decltype(this->*m)>;
                if constexpr (std::is_same_v<T, QString>)
                    ini.setValue(Preserved, key, this->*m);
                else
                    ini.setNumber(Preserved, key, this->*m);
            },
            s.member);
    }
    QStringList sections = ini.sections();
    sections.removeIf([](const QString& s) {
        return s.compare(QLatin1String("__Dont_Touch_Me__"), Qt::CaseInsensitive) == 0;
    });
    ini.setValue(QStringLiteral("__Dont_Touch_Me__"), QStringLiteral("Sectors"),
                 sections.join(QLatin1Char(',')));
}

bool Globals::loggingEnabled(const IniFile& ini) {
    return ini.number(Preserved, QStringLiteral("Logging"), 0) != 0;
}

bool Globals::debugProcEnabled(const QString& procedure) const {
    QString name = procedure.toUpper();
    while (!name.isEmpty() && name.back().isSpace()) name.chop(1);
    return !name.isEmpty() && DebugProc.toUpper().contains(name);
}

namespace {
constexpr qint64 MaxCoordinate = 100000;
}

WindowPlace loadWindowPlace(const IniFile& ini, const QString& procedure) {
    WindowPlace p;
    p.found = ini.contains(procedure, QStringLiteral("Width")) &&
              ini.contains(procedure, QStringLiteral("Height"));
    // Numbers beyond any screen would wrap or overflow geometry; the window code fits the
    // place to the screen afterwards.
    auto coordinate = [&](const char* key) {
        return static_cast<int>(std::clamp<qint64>(ini.number(procedure, QLatin1String(key)),
                                                   -MaxCoordinate, MaxCoordinate));
    };
    p.x = coordinate("XPos");
    p.y = coordinate("YPos");
    p.width = coordinate("Width");
    p.height = coordinate("Height");
    p.maximize = ini.number(procedure, QStringLiteral("Maximize")) != 0;
    return p;
}

void saveWindowPlace(IniFile& ini, const QString& procedure, const WindowPlace& p) {
    ini.setNumber(procedure, QStringLiteral("XPos"), p.x);
    ini.setNumber(procedure, QStringLiteral("YPos"), p.y);
    ini.setNumber(procedure, QStringLiteral("Width"), p.width);
    ini.setNumber(procedure, QStringLiteral("Height"), p.height);
    ini.setNumber(procedure, QStringLiteral("Maximize"), p.maximize ? 1 : 0);
}

QString FormatSubGroup(Short SubGroupNum, const QString& prefix, const QString& subGroupId) {
    if (SubGroupNum == 0 || subGroupId.isEmpty()) return QString();
    const QChar c = subGroupId.at(0);
    if (c == QLatin1Char('1')) return prefix + QString::number(SubGroupNum);
    static const QChar cyrA(0x0410), cyra(0x0430);
    int code = -1;
    if (c == cyrA)
        code = 0xC0;
    else if (c == cyra)
        code = 0xE0;
    else if (c == QLatin1Char('A'))
        code = 'A';
    else if (c == QLatin1Char('a'))
        code = 'a';
    if (code < 0) return QString();
    // The letter is counted in the Cyrillic code page, as the stored data is.
    const char byte = static_cast<char>((code + SubGroupNum - 1) & 0xFF);
    QStringDecoder cp1251("windows-1251");
    return prefix + cp1251.decode(QByteArray(1, byte));
}

QString FormatSubGroup(const Globals& glo, Short SubGroupNum) {
    return FormatSubGroup(SubGroupNum, glo.SubGroupSep, glo.SubGroupId);
}

} // namespace tamsel
