// MD5, RC4 and SHA-256 on their published vectors: RFC 1321's test suite, RFC 6229's
// keystreams and the FIPS 180 examples, whole and fed in pieces across block boundaries.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Setup/protect/Md5.h"
#include "Setup/protect/Rc4.h"
#include "Setup/protect/Sha256.h"

namespace {

std::string Hex(const uint8_t* bytes, size_t size) {
    std::string out;
    char two[3];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        out += two;
    }
    return out;
}

std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> out;
    std::string digits;
    for (char c : hex) {
        if (c != ' ')
            digits += c;
    }
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// |pieces| splits the message: each entry is the length of the next Update.
template <typename Hash>
std::string Digest(const std::string& message, const std::vector<size_t>& pieces = {}) {
    Hash hash;
    size_t at = 0;
    for (size_t piece : pieces) {
        hash.Update(message.data() + at, piece);
        at += piece;
    }
    hash.Update(message.data() + at, message.size() - at);
    uint8_t digest[Hash::kDigestSize];
    hash.Final(digest);
    return Hex(digest, sizeof digest);
}

const std::string kEighty =
    "1234567890123456789012345678901234567890"
    "1234567890123456789012345678901234567890";

TEST(ProtectCryptoTest, Md5OnTheRfc1321Suite) {
    struct Case {
        std::string message;
        const char* digest;
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {kEighty, "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(Digest<CMd5>(c.message), c.digest);
    }
    // The 80-character message in pieces that end inside, at and across the 64-byte block.
    EXPECT_EQ(Digest<CMd5>(kEighty, {1, 54, 1, 8, 15}), "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(Digest<CMd5>(kEighty, {64, 0, 16}), "57edf4a22be3c955ac49da2e2107b67a");
    // Final starts a new message.
    CMd5 md5;
    uint8_t digest[CMd5::kDigestSize];
    md5.Update("junk", 4);
    md5.Final(digest);
    md5.Update("abc", 3);
    md5.Final(digest);
    EXPECT_EQ(Hex(digest, sizeof digest), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(ProtectCryptoTest, Sha256OnTheFips180Examples) {
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const std::string longer =
        "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
        "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu";
    struct Case {
        std::string message;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {twoBlocks, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {longer, "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.substr(0, 20));
        EXPECT_EQ(Digest<CSha256>(c.message), c.digest);
    }
    EXPECT_EQ(Digest<CSha256>(twoBlocks, {55, 1}),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Digest<CSha256>(longer, {63, 2, 40}),
              "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
}

TEST(ProtectCryptoTest, Rc4KeystreamsOfRfc6229) {
    struct Case {
        const char* key;
        size_t offset;
        const char* keystream;  // 16 bytes at |offset|
    };
    const Case cases[] = {
        // 40-bit key.
        {"0102030405", 0, "b2 39 63 05 f0 3d c0 27 cc c3 52 4a 0a 11 18 a8"},
        {"0102030405", 16, "69 82 94 4f 18 fc 82 d5 89 c4 03 a4 7a 0d 09 19"},
        {"0102030405", 240, "28 cb 11 32 c9 6c e2 86 42 1d ca ad b8 b6 9e ae"},
        {"0102030405", 1536, "d8 72 9d b4 18 82 25 9b ee 4f 82 53 25 f5 a1 30"},
        {"0102030405", 4096, "ff 25 b5 89 95 99 67 07 e5 1f bd f0 8b 34 d8 75"},
        // 64-bit key: the size of the volume header's own key.
        {"0102030405060708", 0, "97 ab 8a 1b f0 af b9 61 32 f2 f6 72 58 da 15 a8"},
        {"0102030405060708", 16, "82 63 ef db 45 c4 a1 86 84 ef 87 e6 b1 9e 5b 09"},
        {"0102030405060708", 240, "96 36 eb c9 84 19 26 f4 f7 d1 f3 62 bd df 6e 18"},
        {"0102030405060708", 256, "d0 a9 90 ff 2c 05 fe f5 b9 03 73 c9 ff 4b 87 0a"},
        {"0102030405060708", 496, "73 23 9f 1d b7 f4 1d 80 b6 43 c0 c5 25 18 ec 63"},
        {"0102030405060708", 512, "16 3b 31 99 23 a6 bd b4 52 7c 62 61 26 70 3c 0f"},
        {"0102030405060708", 2048, "c2 cd ad c6 40 2e 8e e8 66 e1 f3 7b db 47 e4 2c"},
        {"0102030405060708", 4096, "3f b4 6e 2c 8f 0f 06 8e dc e8 cd cd 7d fc 58 62"},
        // 128- and 256-bit keys.
        {"0102030405060708090a0b0c0d0e0f10", 0, "9a c7 cc 9a 60 9d 1e f7 b2 93 28 99 cd e4 1b 97"},
        {"0102030405060708090a0b0c0d0e0f10", 4080,
         "ff 38 26 5c 16 42 c1 ab e8 d3 c2 fe 5e 57 2b f8"},
        {"0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20", 0,
         "ea a6 bd 25 88 0b f9 3d 3f 5d 1e 4c a2 61 1d 91"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.key << " at " << c.offset);
        const std::vector<uint8_t> key = FromHex(c.key);
        CRc4 rc4(key.data(), key.size());
        // Enciphering zeros gives the keystream itself; the stream is drawn in two uneven
        // pieces so that Apply keeps its place between calls.
        std::vector<uint8_t> zeros(c.offset + 16, 0);
        const size_t first = zeros.size() / 3;
        rc4.Apply(zeros.data(), first);
        rc4.Apply(zeros.data() + first, zeros.size() - first);
        EXPECT_EQ(Hex(zeros.data() + c.offset, 16), Hex(FromHex(c.keystream).data(), 16));
    }

    // The same key deciphers.
    const std::vector<uint8_t> key = FromHex("0102030405060708");
    std::vector<uint8_t> text(504);
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> enciphered = text;
    CRc4(key.data(), key.size()).Apply(enciphered.data(), enciphered.size());
    EXPECT_NE(enciphered, text);
    CRc4(key.data(), key.size()).Apply(enciphered.data(), enciphered.size());
    EXPECT_EQ(enciphered, text);
}

}  // namespace
