#pragma once
// Constants built into the program from the CMake cache (QUORVEL_PATCH_BASE_URL,
// QUORVEL_PUBLIC_KEY, QUORVEL_WEBSITE_URL). Tests may point them elsewhere before
// starting work; the program itself never changes them.
#include <string>

extern std::wstring g_patchBaseUrl;     // plain http:// URL ending in /patch/; mirrors separated by ";"
extern unsigned char g_publicKey[32];   // Ed25519 public key; all zero means "not configured"
extern std::wstring g_websiteUrl;       // https URL of the project website
extern const wchar_t g_programVersion[];  // this program's version, for the log
// The fixed part of every HTTP request's deadline, in ms: 30 s in the product, shorter in the
// end-to-end variant so that its tests of servers that never finish take seconds.
extern const unsigned g_requestDeadlineFloorMs;
