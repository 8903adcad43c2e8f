// The program's identification, shown by --version, --help, the window title and crash
// reports.
#pragma once

namespace version {

inline constexpr const char* kDisplayName = "Tarnwick";
inline constexpr const char* kVersion = "1.0.0";
inline constexpr int kBuild = 1034;
// The release this build was ported from, named in crash reports.
inline constexpr const char* kPortedFrom = "1.0";

}  // namespace version
