// Sealed files: the cipher against its published vector, the container layout, and that
// no change to a sealed file goes unnoticed.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

#include "platform/save_crypt.h"

using platform::SaveReadResult;

namespace {

std::string unhex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// A container sealed by an earlier build. It must open in every later build: a change of
// the key material would lock every player out of their saves.
const char* const kOldContainer =
    "5156524b0164598fcf9f384afe9e718341006d79b0b2c90f2a0960645d045e0e105a20e2db3fe8ef4fdb4a1e"
    "e8bee863b9e675f46e673f69e5f9";

}  // namespace

TEST(SaveCrypt, CipherMatchesThePublishedXChaChaVector) {
    // The XChaCha20-Poly1305 AEAD example of the IETF XChaCha draft (appendix A.3.1).
    std::uint8_t key[32];
    std::uint8_t nonce[24];
    for (int i = 0; i < 32; ++i) key[i] = static_cast<std::uint8_t>(0x80 + i);
    for (int i = 0; i < 24; ++i) nonce[i] = static_cast<std::uint8_t>(0x40 + i);
    const std::string ad = unhex("50515253c0c1c2c3c4c5c6c7");
    const std::string plain =
        "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the "
        "future, sunscreen would be it.";
    const std::string wantCipher = unhex(
        "bd6d179d3e83d43b9576579493c0e939572a1700252bfaccbed2902c21396cbb"
        "731c7f1b0b4aa6440bf3a82f4eda7e39ae64c6708c54c216cb96b72e1213b452"
        "2f8c9ba40db5d945b11b69b982c1bb9e3f3fac2bc369488f76b2383565d3fff9"
        "21f9664c97637da9768812f615c68b13b52e");
    std::uint8_t tag[16];
    const std::string cipher = platform::aeadSeal(key, nonce, ad, plain, tag);
    EXPECT_EQ(cipher, wantCipher);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(tag), 16),
              unhex("c0875924c1c7987947deafd8780acf49"));

    std::string opened = "junk";
    ASSERT_TRUE(platform::aeadOpen(key, nonce, ad, cipher, tag, &opened));
    EXPECT_EQ(opened, plain);
    // Other associated data, or none, fails and leaves nothing behind.
    EXPECT_FALSE(platform::aeadOpen(key, nonce, "", cipher, tag, &opened));
    EXPECT_TRUE(opened.empty());
}

TEST(SaveCrypt, RoundTripLayoutAndFreshNonces) {
    std::set<std::string> nonces;
    for (const std::string& text : {std::string(R"({"unlocked_level":7})"), std::string(),
                                   std::string("a\0b\xff\x01", 5)}) {
        for (int i = 0; i < 20; ++i) {
            const std::string sealed = platform::saveEncrypt(text);
            ASSERT_EQ(sealed.size(), text.size() + 45);
            EXPECT_EQ(sealed.substr(0, 5), std::string("QVRK\x01"));
            EXPECT_TRUE(text.empty() ||
                        sealed.find(text) == std::string::npos);  // not in the clear
            nonces.insert(sealed.substr(5, 24));
            std::string out = "x";
            ASSERT_EQ(platform::saveDecrypt(sealed, &out), SaveReadResult::Ok);
            ASSERT_EQ(out, text);
        }
    }
    EXPECT_EQ(nonces.size(), 60u);
}

TEST(SaveCrypt, EveryChangeIsTampered) {
    const std::string sealed = platform::saveEncrypt(R"({"score":1234,"name":"x"})");
    // Every bit of every byte: magic, version, nonce, tag and ciphertext.
    for (std::size_t i = 0; i < sealed.size(); ++i)
        for (int bit = 0; bit < 8; ++bit) {
            std::string bad = sealed;
            bad[i] = static_cast<char>(bad[i] ^ (1 << bit));
            std::string out = "stale";
            ASSERT_EQ(platform::saveDecrypt(bad, &out), SaveReadResult::Tampered)
                << "byte " << i << " bit " << bit;
            ASSERT_TRUE(out.empty());
        }
    // Cut short or lengthened; plain JSON, even a long one, is not a container.
    const std::string plainJson = R"({"unlocked_level":100,"level_stars":{},"solves_list":[]})";
    std::string out;
    for (const std::string& bad : {sealed.substr(0, sealed.size() - 1), sealed + "x",
                                   sealed.substr(0, 44), std::string("QVRK"), plainJson})
        EXPECT_EQ(platform::saveDecrypt(bad, &out), SaveReadResult::Tampered) << bad.size();
    EXPECT_EQ(platform::saveDecrypt("", &out), SaveReadResult::NotFound);
    EXPECT_FALSE(platform::looksSealed(plainJson));

    EXPECT_TRUE(platform::looksSealed(sealed));
}

TEST(SaveCrypt, KeyNeverChanges) {
    std::string out;
    ASSERT_EQ(platform::saveDecrypt(unhex(kOldContainer), &out), SaveReadResult::Ok);
    EXPECT_EQ(out, R"({"kept":true})");
}
