// quorvel-publish: the operator's release tool. Creates the signing key, publishes a game
// folder as a signed release for the patch server and checks a published release.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <string>
#include <vector>

#include "tools/publish.h"
#include "tools/signing.h"

static const char kUsage[] =
    "usage:\n"
    "  quorvel-publish keygen --out KEYFILE\n"
    "  quorvel-publish pubkey --key KEYFILE\n"
    "  quorvel-publish build GAME_DIR RELEASE_DIR --key KEYFILE --version N\n"
    "        [--game-exe PATH] [--launcher PATH] [--keep PATH]... [--delete PATH]...\n"
    "        [--news FILE.json] [--links FILE.json] [--level 0-9] [--jobs N]\n"
    "        [--chunk-threshold MIB]   (files above it also go out in 1 MiB pieces; default 4, 0 never)\n"
    "        [--valid-days N]          (installers refuse the release N days from now; default never)\n"
    "  quorvel-publish verify RELEASE_DIR --public-key HEX\n"
    "  quorvel-publish resign RELEASE_DIR --key KEYFILE (--valid-days N | --expires YYYY-MM-DDTHH:MM:SSZ)\n";

static int Usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "quorvel-publish: %s\n", problem.c_str());
  std::fprintf(stderr, "%s", kUsage);
  return 2;
}

struct Arguments {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // name without dashes, value
};

// Splits "--name value" and "--name=value"; every option takes a value.
static bool SplitArguments(int argc, char** argv, Arguments& out, std::string& problem) {
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0) {
      out.positional.push_back(arg);
      continue;
    }
    std::string name = arg.substr(2), value;
    size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      problem = arg + " needs a value";
      return false;
    }
    out.options.emplace_back(name, value);
  }
  return true;
}

// Parses a whole decimal number in [low, high]; false otherwise.
static bool ParseNumber(const std::string& text, long long low, long long high, long long& out) {
  if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  out = std::strtoll(text.c_str(), nullptr, 10);
  return out >= low && out <= high;
}

static constexpr long long kMaxValidDays = 3650;
static const char kValidDaysProblem[] = "--valid-days takes a whole number of days from 1 to 3650";

int RunKeygen(const std::string& keyFile) {
  std::string seed, publicKey, error;
  if (!GenerateKey(seed, publicKey)) {
    std::fprintf(stderr, "quorvel-publish: key generation failed\n");
    return 1;
  }
  bool ok = WriteKeyFile(keyFile, seed, error);
  explicit_bzero(seed.data(), seed.size());
  if (!ok) {
    std::fprintf(stderr, "quorvel-publish: %s\n", error.c_str());
    return 1;
  }
  std::fprintf(stderr, "Private key written to %s (keep it secret). Public key for QUORVEL_PUBLIC_KEY:\n",
               keyFile.c_str());
  std::printf("%s\n", HexEncode(publicKey).c_str());
  return 0;
}

int RunPublicKey(const std::string& keyFile) {
  std::string seed, publicKey, error;
  if (!ReadKeyFile(keyFile, seed, error) || !PublicKeyFromSeed(seed, publicKey)) {
    std::fprintf(stderr, "quorvel-publish: %s\n", error.empty() ? "the key cannot be used" : error.c_str());
    return 1;
  }
  explicit_bzero(seed.data(), seed.size());
  std::printf("%s\n", HexEncode(publicKey).c_str());
  return 0;
}

// The last value given for option name, if any, into value.
static void Single(const Arguments& args, const char* name, std::string& value) {
  for (const auto& [n, v] : args.options)
    if (n == name) value = v;
}

// False, with the problem, if an option other than names was given to command.
static bool AllowOnly(const Arguments& args, const std::string& command, std::initializer_list<const char*> names,
                      std::string& problem) {
  for (const auto& option : args.options) {
    bool known = false;
    for (const char* n : names) known = known || option.first == n;
    if (!known) {
      problem = "unknown option --" + option.first + " for " + command;
      return false;
    }
  }
  return true;
}

static int MainResign(const Arguments& args) {
  std::string key, days, expires, problem;
  Single(args, "key", key);
  Single(args, "valid-days", days);
  Single(args, "expires", expires);
  if (!AllowOnly(args, "resign", {"key", "valid-days", "expires"}, problem)) return Usage(problem);
  if (args.positional.size() != 1 || key.empty()) return Usage("resign takes RELEASE_DIR and --key KEYFILE");
  long long number = 0;
  int64_t at = 0;
  if (days.empty() == expires.empty()) return Usage("resign takes either --valid-days N or --expires TIME");
  if (!days.empty()) {
    if (!ParseNumber(days, 1, kMaxValidDays, number)) return Usage(kValidDaysProblem);
    at = static_cast<int64_t>(std::time(nullptr)) + number * 86400;
  } else if (!ReadUtcTime(expires, at)) {
    return Usage("--expires takes a UTC time such as 2027-01-31T12:00:00Z");
  }
  return RunResign(args.positional[0], key, at);
}

static int MainBuild(const Arguments& args) {
  std::string problem;
  if (!AllowOnly(args, "build",
                 {"key", "version", "game-exe", "launcher", "keep", "delete", "news", "links", "level", "jobs",
                  "chunk-threshold", "valid-days"},
                 problem))
    return Usage(problem);
  if (args.positional.size() != 2) return Usage("build takes GAME_DIR and RELEASE_DIR");
  BuildOptions options;
  options.gameDir = args.positional[0];
  options.releaseDir = args.positional[1];
  std::string version, level, jobs, threshold, days;
  Single(args, "key", options.keyFile);
  Single(args, "version", version);
  Single(args, "game-exe", options.gameExe);
  Single(args, "launcher", options.launcher);
  Single(args, "news", options.newsFile);
  Single(args, "links", options.linksFile);
  Single(args, "level", level);
  Single(args, "jobs", jobs);
  Single(args, "chunk-threshold", threshold);
  Single(args, "valid-days", days);
  for (const auto& [n, v] : args.options) {
    if (n == "keep") options.keep.push_back(v);
    if (n == "delete") options.deletePaths.push_back(v);
  }
  long long number = 0;
  if (options.keyFile.empty()) return Usage("build needs --key KEYFILE");
  if (!ParseNumber(version, 0, 2147483647, number))
    return Usage("build needs --version N, a whole number from 0 to 2147483647");
  options.version = static_cast<int32_t>(number);
  if (!level.empty()) {
    if (!ParseNumber(level, 0, 9, number)) return Usage("--level takes 0 to 9");
    options.level = static_cast<int>(number);
  }
  if (!jobs.empty()) {
    if (!ParseNumber(jobs, 1, 64, number)) return Usage("--jobs takes 1 to 64");
    options.jobs = static_cast<unsigned>(number);
  }
  if (!threshold.empty()) {
    if (!ParseNumber(threshold, 0, 1048576, number)) return Usage("--chunk-threshold takes a whole number of MiB");
    options.chunkThreshold = static_cast<uint64_t>(number) << 20;
  }
  if (!days.empty()) {
    if (!ParseNumber(days, 1, kMaxValidDays, number)) return Usage(kValidDaysProblem);
    options.validDays = static_cast<int>(number);
  }
  return RunBuild(options);
}

int main(int argc, char** argv) {
  if (argc < 2) return Usage("");
  std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::printf("%s", kUsage);
    return 0;
  }
  Arguments args;
  std::string problem;
  if (!SplitArguments(argc, argv, args, problem)) return Usage(problem);
  if (command == "keygen" || command == "pubkey") {
    const char* name = command == "keygen" ? "out" : "key";
    std::string file;
    Single(args, name, file);
    if (!AllowOnly(args, command, {name}, problem)) return Usage(problem);
    if (file.empty() || !args.positional.empty()) return Usage(command + " takes --" + name + " KEYFILE");
    return command == "keygen" ? RunKeygen(file) : RunPublicKey(file);
  }
  if (command == "verify") {
    std::string key;
    Single(args, "public-key", key);
    if (!AllowOnly(args, command, {"public-key"}, problem)) return Usage(problem);
    if (args.positional.size() != 1 || key.empty()) return Usage("verify takes RELEASE_DIR and --public-key HEX");
    return RunVerify(args.positional[0], key);
  }
  if (command == "resign") return MainResign(args);
  if (command == "build") return MainBuild(args);
  return Usage("unknown command " + command);
}
