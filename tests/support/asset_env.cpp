// Points the asset lookup, worked out once per process on first use, at the source tree
// before any test runs; a PLUMBRIX_ASSET_DIR from outside still wins.
#include <cstdlib>

static const bool kAssetDirSet = setenv("PLUMBRIX_ASSET_DIR", TARNWICK_SOURCE_DIR, 0) == 0;
