#pragma once

#include <array>

// The columns of the call list, in order: their captions and the fields of the saved query
// [Calls Extended] they show. Exports and copies of the list use the same captions.
namespace CallColumns {

constexpr int kCount = 12;
extern const std::array<const char*, kCount> kCaptions;
extern const std::array<const char*, kCount> kFields;
// The columns that show dates (0-based).
constexpr bool isDate(int column) {
    return column == 7 || column == 8 || column == 10;
}

// The extra column of exports: the call's comments.
constexpr const char* kCommentsField = "Comments";
// The last column of the export of every call: the names of the call's attachments, one a line.
constexpr const char* kAttachmentsField = "Attachments";

} // namespace CallColumns
