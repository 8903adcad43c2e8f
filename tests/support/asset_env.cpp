// Points the asset lookup at the source tree for the whole test program. The asset
// directory is worked out once per process, on first use, so the variable must be set
// before any test runs; an explicit PLUMBRIX_ASSET_DIR from outside still wins.
#include <cstdlib>

namespace {

const bool kAssetDirSet = [] {
    setenv("PLUMBRIX_ASSET_DIR", TARNWICK_SOURCE_DIR, 0);
    return true;
}();

}  // namespace
