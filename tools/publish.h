#pragma once
// The commands of quorvel-publish. Each returns the process exit code: 0 success, 1 failure
// (with messages already printed), 2 wrong usage.
#include <cstdint>
#include <string>
#include <vector>

struct BuildOptions {
  std::string gameDir;
  std::string releaseDir;
  std::string keyFile;
  int32_t version = -1;
  std::string gameExe;                   // empty: leave the installer's default
  std::string launcher;                  // empty: no launcher entry
  std::vector<std::string> keep;         // files an update never replaces once installed
  std::vector<std::string> deletePaths;  // files removed from installations
  std::string newsFile;
  std::string linksFile;
  int level = 9;       // zlib compression level
  unsigned jobs = 0;   // worker threads; 0 picks one per processor, at most four
  uint64_t chunkThreshold = 4ull << 20;  // files larger than this are also published in pieces; 0 never
  int validDays = 0;   // the manifest expires this many days after publishing; 0 never
};

// Installers refuse a release this long after its expiry (their clock may run ahead).
constexpr int64_t kExpirySkewSeconds = 86400;
// verify warns about a release that expires within this time.
constexpr int64_t kExpiryWarnSeconds = 7 * 86400;
// Seconds since 1970-01-01 UTC as "YYYY-MM-DDTHH:MM:SSZ", the form of the manifest's "expires".
std::string UtcTimeText(int64_t seconds);
// Reads that form (and nothing else, no impossible date); false otherwise.
bool ReadUtcTime(const std::string& text, int64_t& seconds);

// Creates a key file and prints the public key.
int RunKeygen(const std::string& keyFile);
// Prints the public key of a key file.
int RunPublicKey(const std::string& keyFile);
// Publishes GAME_DIR as a signed release in RELEASE_DIR.
int RunBuild(const BuildOptions& options);
// Checks a published release against a public key given as 64 hexadecimal characters.
int RunVerify(const std::string& releaseDir, const std::string& publicKeyHex);
// Signs the release in RELEASE_DIR again with a new "expires" (expiresAt, seconds since 1970),
// changing nothing else in manifest.json; only a release the key signed is re-signed.
int RunResign(const std::string& releaseDir, const std::string& keyFile, int64_t expiresAt);
