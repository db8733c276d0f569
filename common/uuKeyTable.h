// The key table shared with the print-data server: ten keys of printable
// ASCII. The print program descrambles receipts with it; the browser
// control scrambles the machine identity with it.
#pragma once
#include <array>
#include <string_view>

namespace uuKeyTable {

inline constexpr std::array<std::string_view, 10> CodingKeys = {
    "qWRT47mnBvcxz38k", "52-!Kolbe;Tarns",  "7#.QZu(-)MRPe",    "ukPHre61d/wism*!",
    "h,;-ponteravi@lo", "g!(mulves)tor4inq", "*-.;80315KDo2wy", "pLentrowiaBQZesu",
    "fGKMostavri",      "Rd5!-/;94XWlump"};

}  // namespace uuKeyTable
