// The program's name and web addresses, as titles, reports and logs show them.
#pragma once

// The version is the build's: CMake's project version.
#ifndef QUARNEL_VERSION
#error "QUARNEL_VERSION is set by the build from the CMake project version"
#endif

namespace quarnel {

inline constexpr const char* kProgramVersion = QUARNEL_VERSION;
inline constexpr const char* kProgramTitle = "Quarnel " QUARNEL_VERSION;
/// The maker's and the forum's web addresses shown in titles and reports.
inline constexpr const char* kMakerUrl = "https://www.zelmora.example/";
inline constexpr const char* kForumUrl = "https://forum.zelmora.example/";

}  // namespace quarnel
