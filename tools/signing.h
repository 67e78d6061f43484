#pragma once
// Ed25519 keys and signatures (RFC 8032) and SHA-256. Keys are generated and files hashed by
// libgcrypt; signatures are made and checked by libsodium, because libgcrypt's S-expressions
// cannot carry a message longer than 65,535 bytes and manifests are far longer.
#include <cstddef>
#include <string>

// Initialises libgcrypt and libsodium once; false if either fails to start.
bool CryptoInit();

// Lowercase hexadecimal text of the bytes.
std::string HexEncode(const std::string& bytes);
// Decodes exactly `length` bytes from hex text of either case; false on any other input.
bool HexDecode(const std::string& hex, size_t length, std::string& bytes);

// A fresh random key: the 32-byte seed (private half) and the 32-byte public key. libgcrypt
// makes it and libsodium must derive the same public key from the seed.
bool GenerateKey(std::string& seed, std::string& publicKey);
// The 32-byte public key that belongs to a 32-byte seed; false on failure.
bool PublicKeyFromSeed(const std::string& seed, std::string& publicKey);
// The 64-byte signature (R then S) of the exact message bytes; false on failure.
bool SignMessage(const std::string& seed, const std::string& message, std::string& signature);
// True only if signature is 64 bytes and verifies over message with the 32-byte public key.
bool VerifySignature(const std::string& publicKey, const std::string& message,
                     const std::string& signature);

// Creates KEYFILE (never replacing one) with mode 0600 holding the seed as 64 lowercase hex
// characters and a line feed. False with a message in error.
bool WriteKeyFile(const std::string& path, const std::string& seed, std::string& error);
// Reads a key file in that format into the 32-byte seed. False with a message in error.
bool ReadKeyFile(const std::string& path, std::string& seed, std::string& error);

// Incremental SHA-256.
struct Sha256 {
  void* handle = nullptr;
};
// Starts a hash; false if libgcrypt cannot open one.
bool Sha256Begin(Sha256& hash);
// Feeds bytes.
void Sha256Update(Sha256& hash, const void* data, size_t size);
// Ends the hash and returns 64 lowercase hex characters (empty if it was never begun).
std::string Sha256Finish(Sha256& hash);
