// Store test helpers: sealed files by hand, the store opened with its messages caught, and a
// saved game whose every field follows from one number, so a torn or mixed one shows.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/json.h"
#include "core/storage.h"

namespace testsupport {

bool writeSealed(const std::string& path, const std::string& text);
json::Value readSealedDoc(const std::string& path);  // Null when missing or unreadable
// Opens the store on dir and returns what it printed.
inline std::string openCapturing(const std::string& dir) {
    testing::internal::CaptureStderr();
    store::openAt(dir);
    return testing::internal::GetCapturedStderr();
}

store::SavedGame gameFor(int n);
// True when g is exactly gameFor(g.score), savedAt aside.
bool isGameFor(const store::SavedGame& g);

}  // namespace testsupport
