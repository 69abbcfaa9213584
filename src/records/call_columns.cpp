#include "records/call_columns.h"

namespace CallColumns {

const std::array<const char*, kCount> kCaptions = {
    "ID",       "Title",    "Caller",      "Assigned To", "Priority",      "Status",
    "Category", "Due Date", "Opened Date", "Resolved By", "Resolved Time", "Opened By"};

const std::array<const char*, kCount> kFields = {
    "ID",       "Title",    "Customer Name", "Assigned to Name", "Priority",      "Status",
    "Category", "Due Date", "Opened Date",   "Resolved by Name", "Resolved Date", "Opened by Name"};

} // namespace CallColumns
