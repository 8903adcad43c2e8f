// Sealed files: JSON text encrypted and authenticated with XChaCha20-Poly1305 under a key
// built into the game. The container is the magic "QVRK", the version byte 1, a 24-byte
// random nonce, the 16-byte Poly1305 tag and the ciphertext (as long as the text), with
// nothing after it; no associated data is authenticated. Byte strings in, byte strings out:
// reading and writing files is the caller's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char kMagic[4] = {'Q', 'V', 'R', 'K'};
inline constexpr std::uint8_t kVersion = 1;
inline constexpr std::size_t kNonce = 24;
inline constexpr std::size_t kMac = 16;
inline constexpr std::size_t kHeader = 4 + 1 + kNonce + kMac;  // 45

enum class SaveReadResult : std::int32_t { Ok = 0, NotFound = 1, Tampered = 2 };

// The sealed container for plain (45 bytes longer than it), under a fresh random nonce.
// Empty only when the crypto library could not start, which callers treat as a failure.
std::string saveEncrypt(const std::string& plain);
// Opens a container: Ok with the text in *out, NotFound for empty data, Tampered for
// anything short, of another magic or version, or failing authentication. *out (when out
// is not null) is empty on every result but Ok.
SaveReadResult saveDecrypt(const std::string& data, std::string* out);
// True when data is at least a header long and begins with the magic (version unchecked).
bool looksSealed(const std::string& data);

// The cipher underneath, exposed so it can be checked against published vectors:
// XChaCha20-Poly1305 of plain under the 32-byte key and 24-byte nonce with associated data
// ad; returns the ciphertext and writes the 16-byte tag.
std::string aeadSeal(const std::uint8_t* key32, const std::uint8_t* nonce24, std::string_view ad,
                     std::string_view plain, std::uint8_t* tag16);
// The inverse: true and the plaintext in *plain when the tag matches, else false and
// *plain empty.
bool aeadOpen(const std::uint8_t* key32, const std::uint8_t* nonce24, std::string_view ad,
              std::string_view cipher, const std::uint8_t* tag16, std::string* plain);

}  // namespace platform
