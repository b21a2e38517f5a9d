#pragma once

#include "contacts/ContactRecord.h"

#include <QLatin1StringView>
#include <QStringView>

#include <array>

// The fields of a contact that no common address-book property holds travel
// as properties of our own in vCards and as custom fields in Google's CSV, so
// that an export read back gives every field again. The vCard readers and
// writers and the CSV readers and writers all name them from this one table.
namespace FieldMap {

constexpr int Affiliation1Field = 3; // ORG company
constexpr int Affiliation2Field = 4; // ORG department
constexpr int AddressField = 5;
constexpr int TitleField = 8;
constexpr int Mail1Field = 2;
constexpr int Mail2Field = 11;
constexpr int FaxField = 12;
constexpr int UrlField = 13;
constexpr int PhotoField = 14;
constexpr int CommentField = 19;

struct OwnProperty {
    int field;
    QLatin1StringView vcardName;   // the vCard property
    QStringView customLabel;       // the label of a Google CSV custom field
};

inline constexpr std::array<OwnProperty, 6> ownProperties = {{
    {6, QLatin1StringView("X-TESSALINE-STATION"), u"最寄駅"},
    {7, QLatin1StringView("X-TESSALINE-APPEAL"), u"アピール文"},
    {15, QLatin1StringView("X-TESSALINE-MAP"), u"地図"},
    {16, QLatin1StringView("X-TESSALINE-EVENT"), u"イベント名"},
    {17, QLatin1StringView("X-TESSALINE-DATE"), u"日付"},
    {18, QLatin1StringView("X-TESSALINE-PLACE"), u"場所"},
}};

} // namespace FieldMap
