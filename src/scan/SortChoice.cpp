#include "SortChoice.h"

#include <QByteArray>

namespace {

constexpr std::array<SortChoice, 12> choices{{
    {"By Name (Ascending)", "100", TreeCol::Name, GridSort::GenericAscending},
    {"By Name (Descending)", "101", TreeCol::Name, GridSort::GenericDescending},
    {"-", "", -1, GridSort::None},
    {"By Size (Ascending)", "200", TreeCol::Bytes, GridSort::NumericAscending},
    {"By Size (Descending)", "201", TreeCol::Bytes, GridSort::NumericDescending},
    {"-", "", -1, GridSort::None},
    {"By # of Files (Ascending)", "300", TreeCol::Files, GridSort::NumericAscending},
    {"By # of Files (Descending)", "301", TreeCol::Files, GridSort::NumericDescending},
    {"-", "", -1, GridSort::None},
    {"None", "-1", -1, GridSort::None},
    {"-", "", -1, GridSort::None},
    // The change since an earlier scan, largest growth first; rows not compared keep their order.
    {"By Change (Largest Growth First)", "401", TreeCol::ChangeBytes, GridSort::NumericDescending},
}};

} // namespace

const std::array<SortChoice, 12> &SortChoice::all() {
    return choices;
}

int SortChoice::indexOfStored(int sortValue) {
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (choices[i].column >= 0 && QByteArray(choices[i].tag).toInt() == sortValue)
            return static_cast<int>(i);
    return NoneIndex;
}
