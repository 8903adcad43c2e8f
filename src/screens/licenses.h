// The licences screen's table: the game itself, then every component it links or ships,
// with its licence, rights holders and home page. The screen itself is built by
// makeLicensesScreen (ui/app.h).
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
    // The game's own work: name and copyright are catalogue keys, shown in the player's
    // language through licenseName and licenseHolder.
    bool own = false;
};

// The 22 rows in the order they are shown, the game's own block first.
std::span<const LicenseRow> licenseRows();
// The row's name and copyright line as shown: translated for the game's own work, else as
// they stand.
std::string licenseName(const LicenseRow& row);
std::string licenseHolder(const LicenseRow& row);
// The row's licence line: "v<version>  ·  <license>" when it has a version, else the licence.
std::string licenseLine(const LicenseRow& row);

}  // namespace ui
