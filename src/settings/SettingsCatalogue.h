#pragma once

#include "Settings.h"

#include <QString>

#include <cstdlib>
#include <functional>
#include <span>
#include <variant>

/// The one list of the settings the program keeps in its settings file: for each, its section,
/// key, stored form and range rule, and the setting variable that holds it. Loading, saving,
/// repairing and resetting to defaults all go through this table; the defaults themselves are
/// those of a fresh `Settings`.
namespace SettingsCatalogue {

/// How a stored text becomes the variable's value.
enum class Form {
    Bool,        ///< "1"/"0"; a text that is not a number is a type mismatch
    Int16,       ///< the lenient numeric value, rounded; overflow outside 16 bits
    Int16Strict, ///< the whole text must be a 16-bit integer
    Color,       ///< the lenient numeric value as a 32-bit colour
    Text,        ///< the text
    Length,      ///< the lenient numeric value, in twips, single precision
    WholeLength, ///< a strict 32-bit integer, in twips, held in single precision
    ColumnWidth, ///< the lenient numeric value, rounded to whole twips
    Count,       ///< the lenient numeric value, rounded; outside 0 to `max` the default
};

/// What happens to a value outside its range.
enum class Rule {
    None,
    ZeroOutside,       ///< values from 0 to `max` are kept, any other becomes 0
    DefaultIfNegative, ///< a negative value becomes the default
    DefaultIfEmpty,    ///< trimmed; an empty text becomes the default
    Trimmed,           ///< trimmed
    DefaultOutside,    ///< values from 0 to `max` are kept, any other becomes the default
};

/// The widest column width kept, in twips (100 inches): wider than any screen, while a width
/// like 1e15 would leave no room for the grid's other columns.
constexpr int MaxColumnWidth = 144000;

/// Where a setting's value lives in `Settings`.
using Field = std::variant<bool Settings::*, std::int16_t Settings::*, std::uint32_t Settings::*,
                           QString Settings::*, float Settings::*, int>; ///< int: a column width

struct Setting {
    const char *section;
    const char *key;
    Form form;
    Rule rule;
    Field field;
    int max = 0;               ///< for Rule::ZeroOutside and Rule::DefaultOutside
    bool writeTrimmed = false; ///< the text is stored trimmed
    bool readFirst = false;    ///< read before the others: the window's own view settings

    /// True when this setting is held in `member`.
    template <typename T> bool holds(T Settings::*member) const {
        const auto *m = std::get_if<T Settings::*>(&field);
        return m && *m == member;
    }
    /// The column whose width this setting holds, or -1.
    int column() const {
        const int *c = std::get_if<int>(&field);
        return c ? *c : -1;
    }
};

/// Every setting read and written at start-up and exit, in the order they are written.
std::span<const Setting> all();
/// The setting held in `member`; there is exactly one.
template <typename T> const Setting &of(T Settings::*member) {
    for (const Setting &s : all())
        if (s.holds(member))
            return s;
    std::abort();
}

/// The value's text as it is stored.
QString storedText(const Setting &setting, const Settings &values);
/// The default's text as it is stored.
QString defaultText(const Setting &setting);
/// Converts a stored text into the variable and applies the range rule; raises the type
/// mismatch or overflow error the stored form calls for.
void setFromText(const Setting &setting, Settings &values, const QString &text);
/// Gives one setting its default.
void resetToDefault(const Setting &setting, Settings &values);
/// Gives every setting of the table its default.
void resetAllToDefaults(Settings &values);
/// Applies every range rule to the values as they stand, the lists' rules included.
void repair(Settings &values);

/// Reads one setting from the file into `values` (a missing key reads as its default).
void loadOne(const Setting &setting, Settings &values, const QString &iniPath);
/// Where a setting stands in `all()`.
std::size_t indexOf(const Setting &setting);

/// Reads every setting from the file into `values` (missing keys read as their defaults), the
/// `readFirst` ones first; `loaded` is told after each, so that the caller can apply it at
/// once; `reading` is told before each. An error ends the reading there: what was read before
/// it stays in effect. The error's description names the key, its section and the file.
void load(Settings &values, const QString &iniPath,
          const std::function<void(const Setting &)> &loaded = {},
          const std::function<void(const Setting &)> &reading = {});
/// Writes every setting for which `skip` does not say so, in table order.
void save(const Settings &values, const QString &iniPath,
          const std::function<bool(const Setting &)> &skip = {});

/// The start-path list (section "Start_Path_Items"): `Current` (default `currentDefault`),
/// `Number` held between 1 and 15, and the non-empty items of keys "0" to `Number`, trimmed.
void loadStartPaths(Settings &values, const QString &iniPath, const QString &currentDefault);
/// Replaces the section: `Number` (at most 15), `Current` trimmed and the first `Number`
/// items, trimmed.
void saveStartPaths(const Settings &values, const QString &iniPath);

/// The options dialog's list of recent match specs (section "Match_Parameter_Items"):
/// `Number` read leniently; 0 or less gives the single item "*.*", more than 15 reads as 15;
/// then the non-empty items of keys "0" to `Number`, trimmed, at most 15 of them.
void loadMatchSpecs(Settings &values, const QString &iniPath);
/// Replaces the section with the first 15 items (most recent first), trimmed, and their
/// `Number`, in one write of the file.
void saveMatchSpecs(const QStringList &items, const QString &iniPath);

/// The options dialog's list of match specs (section "Match_Parameter_Items").
extern const char *const MatchSpecSection;
/// The key of a list section that holds its item count.
extern const char *const ListNumberKey;

} // namespace SettingsCatalogue
