#include "tools/signing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <gcrypt.h>
#include <sodium.h>

static const char kCurve[] = "(ecc(curve Ed25519)(flags eddsa)";

bool CryptoInit() {
  static const bool ok = [] {
    if (!gcry_check_version(GCRYPT_VERSION)) return false;
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return sodium_init() >= 0;
  }();
  return ok;
}

std::string HexEncode(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

static int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool HexDecode(const std::string& hex, size_t length, std::string& bytes) {
  if (hex.size() != length * 2) return false;
  std::string out(length, '\0');
  for (size_t i = 0; i < length; ++i) {
    int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    out[i] = static_cast<char>(hi << 4 | lo);
  }
  bytes = std::move(out);
  return true;
}

// Copies the data of the first element after the token `name` inside sexp.
static bool SexpBytes(gcry_sexp_t sexp, const char* name, std::string& out) {
  gcry_sexp_t item = gcry_sexp_find_token(sexp, name, 0);
  if (!item) return false;
  size_t n = 0;
  const char* data = gcry_sexp_nth_data(item, 1, &n);
  if (data) out.assign(data, n);
  gcry_sexp_release(item);
  return data != nullptr;
}

bool PublicKeyFromSeed(const std::string& seed, std::string& publicKey) {
  if (seed.size() != crypto_sign_SEEDBYTES || !CryptoInit()) return false;
  unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
  bool ok = crypto_sign_seed_keypair(pk, sk, reinterpret_cast<const unsigned char*>(seed.data())) == 0;
  sodium_memzero(sk, sizeof sk);
  if (ok) publicKey.assign(reinterpret_cast<const char*>(pk), sizeof pk);
  return ok;
}

bool GenerateKey(std::string& seed, std::string& publicKey) {
  if (!CryptoInit()) return false;
  gcry_sexp_t params = nullptr, key = nullptr;
  std::string format = std::string("(genkey") + kCurve + "))";
  if (gcry_sexp_build(&params, nullptr, format.c_str())) return false;
  bool ok = !gcry_pk_genkey(&key, params);
  gcry_sexp_release(params);
  std::string d, q;
  if (ok) {
    gcry_sexp_t priv = gcry_sexp_find_token(key, "private-key", 0);
    ok = priv && SexpBytes(priv, "d", d) && SexpBytes(priv, "q", q);
    gcry_sexp_release(priv);
    gcry_sexp_release(key);
  }
  // The seed is kept as 32 bytes; a shorter d would be a number with its leading zeros dropped.
  if (ok && d.size() < 32) d.insert(0, 32 - d.size(), '\0');
  // Deriving the public key again, with the other library, proves that the stored seed
  // reproduces this key pair.
  std::string derived;
  ok = ok && d.size() == 32 && PublicKeyFromSeed(d, derived) && derived == q;
  if (ok) {
    seed = d;
    publicKey = q;
  }
  explicit_bzero(d.data(), d.size());
  return ok;
}

bool SignMessage(const std::string& seed, const std::string& message, std::string& signature) {
  if (seed.size() != crypto_sign_SEEDBYTES || !CryptoInit()) return false;
  unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES], sig[crypto_sign_BYTES];
  bool ok = crypto_sign_seed_keypair(pk, sk, reinterpret_cast<const unsigned char*>(seed.data())) == 0 &&
            crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                                 message.size(), sk) == 0;
  sodium_memzero(sk, sizeof sk);
  if (ok) signature.assign(reinterpret_cast<const char*>(sig), sizeof sig);
  return ok;
}

bool VerifySignature(const std::string& publicKey, const std::string& message,
                     const std::string& signature) {
  if (publicKey.size() != crypto_sign_PUBLICKEYBYTES || signature.size() != crypto_sign_BYTES || !CryptoInit())
    return false;
  return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                     reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                                     reinterpret_cast<const unsigned char*>(publicKey.data())) == 0;
}

bool WriteKeyFile(const std::string& path, const std::string& seed, std::string& error) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = errno == EEXIST ? path + " already exists; a key file is never overwritten"
                            : path + ": " + std::strerror(errno);
    return false;
  }
  std::string text = HexEncode(seed) + "\n";
  // The umask can only narrow the mode; fchmod pins it to owner-only whatever it was.
  bool ok = fchmod(fd, 0600) == 0 &&
            write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(fd) == 0;
  int saved = errno;
  explicit_bzero(text.data(), text.size());
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    unlink(path.c_str());
    error = path + ": " + std::strerror(saved);
  }
  return ok;
}

bool ReadKeyFile(const std::string& path, std::string& seed, std::string& error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  char buf[80];
  ssize_t n = read(fd, buf, sizeof buf);
  close(fd);
  std::string text(buf, n > 0 ? static_cast<size_t>(n) : 0);
  explicit_bzero(buf, sizeof buf);
  bool ok = text.size() == 65 && text[64] == '\n' &&
            text.find_first_not_of("0123456789abcdef") == 64 && HexDecode(text.substr(0, 64), 32, seed);
  explicit_bzero(text.data(), text.size());
  if (!ok) error = path + " is not a key file (64 lowercase hexadecimal characters and a line feed)";
  return ok;
}

bool Sha256Begin(Sha256& hash) {
  gcry_md_hd_t h = nullptr;
  if (!CryptoInit() || gcry_md_open(&h, GCRY_MD_SHA256, 0)) return false;
  hash.handle = h;
  return true;
}

void Sha256Update(Sha256& hash, const void* data, size_t size) {
  if (hash.handle && size) gcry_md_write(static_cast<gcry_md_hd_t>(hash.handle), data, size);
}

std::string Sha256Finish(Sha256& hash) {
  if (!hash.handle) return {};
  auto h = static_cast<gcry_md_hd_t>(hash.handle);
  const unsigned char* digest = gcry_md_read(h, GCRY_MD_SHA256);
  std::string hex = HexEncode(std::string(reinterpret_cast<const char*>(digest), 32));
  gcry_md_close(h);
  hash.handle = nullptr;
  return hex;
}
