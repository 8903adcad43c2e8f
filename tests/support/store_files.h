// Helpers for store tests: sealed files written and read back by hand, and a saved game
// whose every field follows from one number, so a torn or mixed document is recognisable.
#pragma once

#include <string>

#include "core/json.h"
#include "core/storage.h"

namespace testsupport {

// Seals text and writes it as the whole file.
bool writeSealed(const std::string& path, const std::string& text);
// The document inside a sealed file; Null when it is missing, does not open or parse.
json::Value readSealedDoc(const std::string& path);

// A saved game derived from n alone (board, queue, orbs, colours, counters).
store::SavedGame gameFor(int n);
// True when g is exactly gameFor(g.score), savedAt aside.
bool isGameFor(const store::SavedGame& g);

}  // namespace testsupport
