// Opening sealed files from arbitrary bytes: never Ok for a forgery, never a crash, and
// sealing any bytes opens back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/save_crypt.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string out = "stale";
    const platform::SaveReadResult r = platform::saveDecrypt(bytes, &out);
    if (r != platform::SaveReadResult::Ok && !out.empty()) std::abort();
    if (bytes.empty() != (r == platform::SaveReadResult::NotFound)) std::abort();
    (void)platform::looksSealed(bytes);

    const std::string sealed = platform::saveEncrypt(bytes);
    if (sealed.size() != bytes.size() + platform::kHeader) std::abort();
    if (platform::saveDecrypt(sealed, &out) != platform::SaveReadResult::Ok || out != bytes)
        std::abort();
    return 0;
}
