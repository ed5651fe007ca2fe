// The publisher's web pages the launcher shows and hands over to. One base address; the
// paths are fixed by the pages themselves.
#pragma once

#include <string>

namespace PublisherSite {

inline constexpr const char* Base = "http://www.tarnwick.example/";
inline constexpr const char* StartPagePath = "splash/tarnwick/pads.php";
inline constexpr const char* StatisticsPagePath = "stats/tarnwick.html";

inline std::string StartPage() { return std::string(Base) + StartPagePath; }
inline std::string StatisticsPage() { return std::string(Base) + StatisticsPagePath; }

}  // namespace PublisherSite
