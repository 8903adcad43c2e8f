// The licences screen's table: every component the game links or ships, with its licence,
// rights holders and home page. The screen itself is built by makeLicensesScreen
// (ui/app.h).
#pragma once

#include <span>
#include <string>

namespace ui {

struct LicenseRow {
    const char* name;
    const char* version;  // empty: no version is shown
    const char* license;
    const char* copyright;
    const char* homepage;  // empty: no link line
};

// The 21 rows in the order they are shown.
std::span<const LicenseRow> licenseRows();
// The row's licence line: "v<version>  ·  <license>" when it has a version, else the licence.
std::string licenseLine(const LicenseRow& row);

}  // namespace ui
