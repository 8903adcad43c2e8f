// Where things are: the read-only asset tree (fonts and audio) and the user's data and
// cache directories under the XDG base directories. Each answer is worked out once, on
// first use, and kept for the whole run; the resolve functions work it out afresh.
#pragma once

#include <string>

namespace paths {

// Directory of the running executable; "." when it cannot be found.
std::string exeDir();
// Root directory holding "assets/fonts" and "assets/audio"; found on the first call by
// probing bundle, environment, install and build-tree candidates, else exeDir().
const std::string& assetDir();
// assetDir() + "/" + rel, without normalising anything.
std::string asset(const std::string& rel);
// Directory for "settings.dat" and "saves.dat"; created (with parents) on the first call.
const std::string& dataDir();
// Directory for cached files; created (with parents) on the first call.
const std::string& cacheDir();
// Same as platform::fs::ensureDir: creates path with its parents, true when it is a directory.
bool ensureDir(const std::string& path);
// Nothing to do: the game's fonts are registered with the font system where they are loaded.
void prepareFontconfig();

// The answers of assetDir(), dataDir() and cacheDir() from the environment as it stands
// now, without keeping them and without creating anything.
std::string resolveAssetDir();
std::string resolveDataDir();
std::string resolveCacheDir();

}  // namespace paths
