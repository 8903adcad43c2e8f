#include "platform/save_crypt.h"

#include <sodium.h>

#include <chrono>
#include <cstring>

namespace platform {

namespace {

// The key material. These 48 bytes decide which files the game can open: changing any of
// them makes every save written so far unreadable, so they stay as they are for good.
constexpr std::uint8_t kSeeds[16] = {0x5b, 0x1e, 0xa7, 0x33, 0xc2, 0x90, 0x4f, 0x6d,
                                     0x18, 0xe5, 0x7a, 0x02, 0xbb, 0x64, 0xd9, 0x3c};
constexpr std::uint8_t kMoreSeeds[16] = {0x81, 0x2f, 0x46, 0xdc, 0x0b, 0x97, 0x75, 0xe8,
                                         0x3a, 0xc1, 0x5e, 0x29, 0xf0, 0x6b, 0x14, 0xa3};
constexpr char kLabel[17] = "Tarnwick save v1";

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

void deriveKey(std::uint8_t* key32) {
    std::uint8_t material[48];
    std::memcpy(material, kSeeds, 16);
    std::memcpy(material + 16, kMoreSeeds, 16);
    std::memcpy(material + 32, kLabel, 16);
    crypto_generichash(key32, 32, material, sizeof material, nullptr, 0);
    sodium_memzero(material, sizeof material);
}

void makeNonce(std::uint8_t* nonce24) {
    randombytes_buf(nonce24, kNonce);
    // Mixing in the clock costs nothing and keeps two writes apart even if the random
    // source were ever to repeat itself.
    const auto ticks =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int i = 0; i < 8; ++i) nonce24[i] ^= static_cast<std::uint8_t>(ticks >> (8 * i));
}

const unsigned char* bytes(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

}  // namespace

std::string aeadSeal(const std::uint8_t* key32, const std::uint8_t* nonce24, std::string_view ad,
                     std::string_view plain, std::uint8_t* tag16) {
    std::string cipher(plain.size(), '\0');
    if (!sodiumReady()) return {};
    unsigned long long tagLen = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt_detached(
        reinterpret_cast<unsigned char*>(cipher.data()), tag16, &tagLen, bytes(plain), plain.size(),
        ad.empty() ? nullptr : bytes(ad), ad.size(), nullptr, nonce24, key32);
    return cipher;
}

bool aeadOpen(const std::uint8_t* key32, const std::uint8_t* nonce24, std::string_view ad,
              std::string_view cipher, const std::uint8_t* tag16, std::string* plain) {
    plain->clear();
    if (!sodiumReady()) return false;
    std::string buf(cipher.size(), '\0');
    const int rc = crypto_aead_xchacha20poly1305_ietf_decrypt_detached(
        reinterpret_cast<unsigned char*>(buf.data()), nullptr, bytes(cipher), cipher.size(), tag16,
        ad.empty() ? nullptr : bytes(ad), ad.size(), nonce24, key32);
    if (rc != 0) {
        sodium_memzero(buf.data(), buf.size());
        return false;
    }
    *plain = std::move(buf);
    return true;
}

std::string saveEncrypt(const std::string& plain) {
    if (!sodiumReady()) return {};
    std::uint8_t key[32];
    std::uint8_t nonce[kNonce];
    std::uint8_t tag[kMac];
    deriveKey(key);
    makeNonce(nonce);
    const std::string cipher = aeadSeal(key, nonce, {}, plain, tag);
    sodium_memzero(key, sizeof key);
    std::string out;
    out.reserve(kHeader + cipher.size());
    out.append(kMagic, 4);
    out.push_back(static_cast<char>(kVersion));
    out.append(reinterpret_cast<const char*>(nonce), kNonce);
    out.append(reinterpret_cast<const char*>(tag), kMac);
    out.append(cipher);
    return out;
}

SaveReadResult saveDecrypt(const std::string& data, std::string* out) {
    if (out) out->clear();
    if (data.empty()) return SaveReadResult::NotFound;
    if (data.size() < kHeader) return SaveReadResult::Tampered;
    if (std::memcmp(data.data(), kMagic, 4) != 0 || static_cast<std::uint8_t>(data[4]) != kVersion)
        return SaveReadResult::Tampered;
    const auto* raw = reinterpret_cast<const std::uint8_t*>(data.data());
    std::uint8_t key[32];
    deriveKey(key);
    std::string plain;
    const bool ok = aeadOpen(key, raw + 5, {}, std::string_view(data).substr(kHeader),
                             raw + 5 + kNonce, &plain);
    sodium_memzero(key, sizeof key);
    if (!ok) return SaveReadResult::Tampered;
    if (out) *out = plain;
    sodium_memzero(plain.data(), plain.size());
    return SaveReadResult::Ok;
}

bool looksSealed(const std::string& data) {
    return data.size() >= kHeader && std::memcmp(data.data(), kMagic, 4) == 0;
}

}  // namespace platform
