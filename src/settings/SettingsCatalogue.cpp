#include "SettingsCatalogue.h"

#include "AppError.h"
#include "IniValue.h"
#include "basInitEntry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace SettingsCatalogue {

const char *const MatchSpecSection = "Match_Parameter_Items";
const char *const ListNumberKey = "Number";

namespace {

using S = Settings;
const char *const StartPathSection = "Start_Path_Items";
const char *const CurrentKey = "Current";

// In the order they are written; `readFirst` picks the view settings that are read first.
const std::array<Setting, 41> table{{
    {"Scan", "Match_Parameters", Form::Text, Rule::DefaultIfEmpty, &S::Match_Parameters},
    {"Scan", "Recurse_Subfolders", Form::Bool, Rule::None, &S::Recurse_Subfolders},
    {"Scan", "Collapse_Root_Nodes_B4_Scan", Form::Bool, Rule::None,
     &S::Collapse_Root_Nodes_B4_Scan},
    {"Scan", "Clear_Nodes_B4_Scan", Form::Bool, Rule::None, &S::Clear_Nodes_B4_Scan},
    {"Scan", "Imm_Scan_On_Path_Selection", Form::Bool, Rule::None, &S::Imm_Scan_On_Path_Selection},
    {"Scan", "Redraw_Scan_Progress", Form::Int16, Rule::ZeroOutside, &S::Redraw_Scan_Progress, 2},
    {"Scan", "Size_Basis", Form::Int16, Rule::ZeroOutside, &S::Size_Basis, 1},
    {"Scan", "Kept_Files", Form::Count, Rule::None, &S::Kept_Files, Settings::MaxKeptFiles},
    {"Scan", "Stay_On_File_System", Form::Bool, Rule::None, &S::Stay_On_File_System},
    {"Scan", "Exclude_Folders", Form::Text, Rule::Trimmed, &S::Exclude_Folders},
    {"Scan", "Largest_Files_In_Reports", Form::Bool, Rule::None, &S::Largest_Files_In_Reports},

    {"History", "Keep_History", Form::Bool, Rule::None, &S::Keep_History},
    {"History", "History_Count", Form::Int16, Rule::DefaultOutside, &S::History_Count, 1000},
    {"History", "History_Max_MB", Form::Int16, Rule::DefaultOutside, &S::History_Max_MB, 32767},

    {"Appearance", "Object_Size", Form::Int16, Rule::ZeroOutside, &S::Object_Size, 3},
    {"Appearance", "Object_Size_Format", Form::Text, Rule::DefaultIfEmpty, &S::Object_Size_Format},
    {"Appearance", "Display_Wallpaper", Form::Bool, Rule::None, &S::Display_Wallpaper},
    {"Appearance", "Display_Gridlines", Form::Bool, Rule::None, &S::Display_Gridlines},
    {"Appearance", "Root_Font_Color", Form::Color, Rule::None, &S::Root_Font_Color},
    {"Appearance", "HighLight_Border_Color", Form::Color, Rule::None, &S::HighLight_Border_Color},
    {"Appearance", "HighLight_Fill_Color", Form::Color, Rule::None, &S::HighLight_Fill_Color},
    {"Appearance", "HighLight_Fill_Transparent", Form::Bool, Rule::None,
     &S::HighLight_Fill_Transparent},

    {"Chart", "Chart_Type", Form::Int16, Rule::ZeroOutside, &S::Chart_Type, 3},
    {"Chart", "3D_Effects", Form::Bool, Rule::None, &S::ThreeD_Effects},
    {"Chart", "Chart_In_PDF_Output", Form::Bool, Rule::None, &S::Chart_In_PDF_Output},
    {"Chart", "Chart_In_HTML_Output", Form::Bool, Rule::None, &S::Chart_In_HTML_Output},
    {"Chart", "Other_Label", Form::Text, Rule::DefaultIfEmpty, &S::Other_Label, 0, true},
    {"Chart", "Treemap_Cushions", Form::Bool, Rule::None, &S::Treemap_Cushions},

    {"Main", "Col0Width", Form::ColumnWidth, Rule::DefaultOutside, 0, MaxColumnWidth},
    {"Main", "Col1Width", Form::ColumnWidth, Rule::DefaultOutside, 1, MaxColumnWidth},
    {"Main", "Col2Width", Form::ColumnWidth, Rule::DefaultOutside, 2, MaxColumnWidth},
    {"Main", "Col3Width", Form::ColumnWidth, Rule::DefaultOutside, 3, MaxColumnWidth},
    {"Main", "Col4Width", Form::ColumnWidth, Rule::DefaultOutside, 4, MaxColumnWidth},
    {"Main", "Col5Width", Form::ColumnWidth, Rule::DefaultOutside, 5, MaxColumnWidth},
    {"Main", "fgTree_Width", Form::Length, Rule::DefaultIfNegative, &S::fgTree_Width},
    {"Main", "chMain_Width", Form::Length, Rule::DefaultIfNegative, &S::chMain_Width},
    {"Main", "chMain_Left", Form::WholeLength, Rule::None, &S::chMain_Left},
    {"Main", "Disp_Chart", Form::Bool, Rule::None, &S::Disp_Chart, 0, false, true},
    {"Main", "OnTop", Form::Bool, Rule::None, &S::OnTop, 0, false, true},
    {"Main", "Opacity", Form::Text, Rule::Trimmed, &S::Opacity, 0, false, true},
    {"Main", "Sort", Form::Int16Strict, Rule::None, &S::Sort, 0, false, true},
}};
static_assert(Settings::ColumnCount == 6, "one ColNWidth row per column of the scan tree");

const Settings &defaults() {
    static const Settings d;
    return d;
}

template <typename V> auto &columnWidth(V &values, int column) {
    return values.ColWidth.at(static_cast<std::size_t>(column));
}

// A lenient 16-bit value: out of range is an overflow, as storing it would be.
std::int16_t lenient16(const QString &text) {
    const double v = std::nearbyint(IniValue::Val(text));
    if (v < -32768 || v > 32767)
        throw AppError::overflow();
    return static_cast<std::int16_t>(v);
}

template <typename T, typename V> auto &member(const Setting &setting, V &values) {
    return values.*std::get<T Settings::*>(setting.field);
}

void applyRule(const Setting &setting, Settings &values) {
    switch (setting.rule) {
    case Rule::None:
        return;
    case Rule::ZeroOutside: {
        std::int16_t &v = member<std::int16_t>(setting, values);
        if (v < 0 || v > setting.max)
            v = 0;
        return;
    }
    case Rule::DefaultIfNegative: {
        float &v = member<float>(setting, values);
        if (v < 0)
            v = defaults().*std::get<float Settings::*>(setting.field);
        return;
    }
    case Rule::DefaultIfEmpty:
    case Rule::Trimmed: {
        QString &v = member<QString>(setting, values);
        v = v.trimmed();
        if (v.isEmpty() && setting.rule == Rule::DefaultIfEmpty)
            v = defaults().*std::get<QString Settings::*>(setting.field);
        return;
    }
    case Rule::DefaultOutside: {
        if (const auto *m = std::get_if<std::int16_t Settings::*>(&setting.field)) {
            std::int16_t &n = values.**m;
            if (n < 0 || n > setting.max)
                n = defaults().**m;
            return;
        }
        std::int32_t &v = columnWidth(values, setting.column());
        if (v < 0 || v > setting.max)
            v = Settings::DefaultColWidths.at(static_cast<std::size_t>(setting.column()));
        return;
    }
    }
}

QString lengthText(float twips) {
    // Single precision, without needless decimals ("5500", "5400.5").
    return QString::number(static_cast<double>(twips), 'g', 7);
}

void trimList(QStringList &items) {
    QStringList kept;
    for (const QString &item : items) {
        const QString t = item.trimmed();
        if (!t.isEmpty())
            kept.append(t);
    }
    items = kept;
}

QString readEntry(const char *section, const QString &key, const QString &def, const QString &ini) {
    return basInitEntry::ReadIniEntry(QString::fromLatin1(section), key, def, ini);
}

} // namespace

std::span<const Setting> all() {
    return table;
}

QString storedText(const Setting &setting, const Settings &values) {
    const Settings &v = values;
    switch (setting.form) {
    case Form::Bool:
        return QString::number(basInitEntry::BoolToIniValue(member<bool>(setting, v)));
    case Form::Int16:
    case Form::Int16Strict:
        return QString::number(member<std::int16_t>(setting, v));
    case Form::Color:
    case Form::Count:
        return QString::number(member<std::uint32_t>(setting, v));
    case Form::Text: {
        const QString &t = member<QString>(setting, v);
        return setting.writeTrimmed ? t.trimmed() : t;
    }
    case Form::Length:
    case Form::WholeLength:
        return lengthText(member<float>(setting, v));
    case Form::ColumnWidth:
        return QString::number(columnWidth(v, setting.column()));
    }
    return QString();
}

QString defaultText(const Setting &setting) {
    return storedText(setting, defaults());
}

void setFromText(const Setting &setting, Settings &values, const QString &text) {
    switch (setting.form) {
    case Form::Bool:
        member<bool>(setting, values) = IniValue::ToBool(text);
        break;
    case Form::Int16:
        member<std::int16_t>(setting, values) = lenient16(text);
        break;
    case Form::Int16Strict:
        member<std::int16_t>(setting, values) = IniValue::ToInt16(text);
        break;
    case Form::Color:
        member<std::uint32_t>(setting, values) = IniValue::ToColor(text);
        break;
    case Form::Count: {
        const double n = std::nearbyint(IniValue::Val(text));
        member<std::uint32_t>(setting, values) =
            n >= 0 && n <= setting.max
                ? static_cast<std::uint32_t>(n)
                : defaults().*std::get<std::uint32_t Settings::*>(setting.field);
        break;
    }
    case Form::Text:
        member<QString>(setting, values) = text;
        break;
    case Form::Length:
        member<float>(setting, values) = static_cast<float>(IniValue::Val(text));
        break;
    case Form::WholeLength:
        member<float>(setting, values) = static_cast<float>(IniValue::ToInt32(text));
        break;
    case Form::ColumnWidth: {
        // Whatever does not fit becomes -1, which the range rule then repairs.
        const double w = std::nearbyint(IniValue::Val(text));
        columnWidth(values, setting.column()) =
            w >= 0 && w <= std::numeric_limits<std::int32_t>::max() ? static_cast<std::int32_t>(w)
                                                                    : -1;
        break;
    }
    }
    applyRule(setting, values);
}

void resetToDefault(const Setting &setting, Settings &values) {
    if (setting.column() >= 0) {
        columnWidth(values, setting.column()) =
            Settings::DefaultColWidths[static_cast<std::size_t>(setting.column())];
        return;
    }
    std::visit(
        [&](auto &&field) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(field)>, int>)
                values.*field = defaults().*field;
        },
        setting.field);
}

void resetAllToDefaults(Settings &values) {
    for (const Setting &s : all())
        resetToDefault(s, values);
}

void repair(Settings &values) {
    for (const Setting &s : all())
        applyRule(s, values);

    values.Start_Path_Number = std::clamp(values.Start_Path_Number, 1, Settings::MaxListItems);
    values.Start_Path_Current = values.Start_Path_Current.trimmed();
    trimList(values.Start_Path_Items);
    if (values.Start_Path_Items.size() > Settings::MaxListItems)
        values.Start_Path_Items = values.Start_Path_Items.mid(0, Settings::MaxListItems);

    if (values.Match_Parameter_Number <= 0) {
        values.Match_Parameter_Number = 0;
        values.Match_Parameter_Items = QStringList{FilePattern::AllFiles};
    } else {
        values.Match_Parameter_Number =
            std::min(values.Match_Parameter_Number, Settings::MaxListItems);
        trimList(values.Match_Parameter_Items);
        if (values.Match_Parameter_Items.size() > Settings::MaxListItems)
            values.Match_Parameter_Items =
                values.Match_Parameter_Items.mid(0, Settings::MaxListItems);
    }
}

void loadOne(const Setting &setting, Settings &values, const QString &iniPath) {
    try {
        setFromText(setting, values,
                    readEntry(setting.section, QString::fromLatin1(setting.key),
                              defaultText(setting), iniPath));
    } catch (const AppError &e) {
        // "Type mismatch" alone leaves the user to guess which of thirty values is wrong.
        throw AppError(e.number(), e.description() + QStringLiteral(": the value of ") +
                                       QString::fromLatin1(setting.key) +
                                       QStringLiteral(" in section [") +
                                       QString::fromLatin1(setting.section) +
                                       QStringLiteral("] of ") + iniPath);
    }
}

std::size_t indexOf(const Setting &setting) {
    return static_cast<std::size_t>(&setting - all().data());
}

void load(Settings &values, const QString &iniPath,
          const std::function<void(const Setting &)> &loaded,
          const std::function<void(const Setting &)> &reading) {
    for (const bool first : {true, false}) {
        for (const Setting &s : all()) {
            if (s.readFirst != first)
                continue;
            if (reading)
                reading(s);
            loadOne(s, values, iniPath);
            if (loaded)
                loaded(s);
        }
    }
}

void save(const Settings &values, const QString &iniPath,
          const std::function<bool(const Setting &)> &skip) {
    for (const Setting &s : all())
        if (!skip || !skip(s))
            basInitEntry::WriteIniEntry(QString::fromLatin1(s.section), QString::fromLatin1(s.key),
                                        storedText(s, values), iniPath);
}

void loadStartPaths(Settings &values, const QString &iniPath, const QString &currentDefault) {
    values.Start_Path_Current =
        readEntry(StartPathSection, QString::fromLatin1(CurrentKey), currentDefault, iniPath);
    const double number =
        IniValue::Val(readEntry(StartPathSection, QString::fromLatin1(ListNumberKey),
                                QString::number(defaults().Start_Path_Number), iniPath));
    values.Start_Path_Number =
        std::clamp(static_cast<int>(std::lround(number)), 1, Settings::MaxListItems);
    values.Start_Path_Items.clear();
    for (int i = 0; i <= values.Start_Path_Number; ++i) {
        const QString item =
            readEntry(StartPathSection, QString::number(i), QString(), iniPath).trimmed();
        if (!item.isEmpty())
            values.Start_Path_Items.append(item);
    }
}

void saveStartPaths(const Settings &values, const QString &iniPath) {
    const QString section = QString::fromLatin1(StartPathSection);
    basInitEntry::WriteIniEntry(section, QString(), QString(), iniPath);
    const int number =
        std::min(static_cast<int>(values.Start_Path_Items.size()), Settings::MaxListItems);
    basInitEntry::WriteIniEntry(section, QString::fromLatin1(ListNumberKey),
                                QString::number(number), iniPath);
    basInitEntry::WriteIniEntry(section, QString::fromLatin1(CurrentKey),
                                values.Start_Path_Current.trimmed(), iniPath);
    for (int i = 0; i < number; ++i)
        basInitEntry::WriteIniEntry(section, QString::number(i),
                                    values.Start_Path_Items[i].trimmed(), iniPath);
}

void loadMatchSpecs(Settings &values, const QString &iniPath) {
    const double number = std::nearbyint(
        IniValue::Val(readEntry(MatchSpecSection, QString::fromLatin1(ListNumberKey),
                                QString::number(defaults().Match_Parameter_Number), iniPath)));
    values.Match_Parameter_Items.clear();
    if (!(number > 0)) {
        values.Match_Parameter_Number = 0;
        values.Match_Parameter_Items.append(FilePattern::AllFiles);
        return;
    }
    values.Match_Parameter_Number =
        number > Settings::MaxListItems ? Settings::MaxListItems : static_cast<int>(number);
    // Keys "0" up to and including `Number`, as the start-path list reads them.
    for (int i = 0; i <= values.Match_Parameter_Number; ++i) {
        const QString item =
            readEntry(MatchSpecSection, QString::number(i), QString(), iniPath).trimmed();
        if (!item.isEmpty() && values.Match_Parameter_Items.size() < Settings::MaxListItems)
            values.Match_Parameter_Items.append(item);
    }
}

void saveMatchSpecs(const QStringList &items, const QString &iniPath) {
    // One replacement of the file: a crash half-way never leaves a list cut short.
    basInitEntry::Batch batch;
    const QString section = QString::fromLatin1(MatchSpecSection);
    basInitEntry::WriteIniEntry(section, QString(), QString(), iniPath);
    const int number = std::min(static_cast<int>(items.size()), Settings::MaxListItems);
    basInitEntry::WriteIniEntry(section, QString::fromLatin1(ListNumberKey),
                                QString::number(number), iniPath);
    for (int i = 0; i < number; ++i)
        basInitEntry::WriteIniEntry(section, QString::number(i), items[i].trimmed(), iniPath);
}

} // namespace SettingsCatalogue
