#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// The order in which lists and reports sort texts: as the person's language sorts them (a
// locale-aware collation: accents next to their letter, capitals beside small letters), and
// texts that differ only in letter case with the capital first, so that only identical texts
// compare equal. Safe to use from any thread.
int CompareText(const QString& a, const QString& b);

// The positions 0..count-1 in that order of the texts `textAt` answers for them. Each text is
// turned into its collation key once, so that many texts sort at about the speed of bytes.
std::vector<uint32_t> SortedByText(uint32_t count, const std::function<QString(uint32_t)>& textAt);
