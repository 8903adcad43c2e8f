// Where the read-only assets are and where the user's files go. Each answer is worked out
// once and kept for the run.
#pragma once

#include <string>

namespace paths {

// Directory of the running executable ("." when unknown).
std::string exeDir();
// Root that holds "assets/fonts" and "assets/audio"; exeDir() when no candidate fits.
const std::string& assetDir();
// assetDir() + "/" + rel.
std::string asset(const std::string& rel);
// Directory for the settings and save files; created on first call.
const std::string& dataDir();
// Directory for cached files; created on first call.
const std::string& cacheDir();
// Creates path with all parents; true when it exists as a directory afterwards.
bool ensureDir(const std::string& path);
// Nothing to prepare: the bundled fonts are registered by the text module.
void prepareFontconfig();

}  // namespace paths
