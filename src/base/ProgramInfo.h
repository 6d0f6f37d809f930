// The program's name and web addresses, as titles, reports and logs show them.
#pragma once

namespace quarnel {

inline constexpr const char* kProgramTitle = "Quarnel 4.40";
/// The maker's and the forum's web addresses shown in titles and reports.
inline constexpr const char* kMakerUrl = "https://www.zelmora.example/";
inline constexpr const char* kForumUrl = "https://forum.zelmora.example/";

}  // namespace quarnel
