#pragma once
// News items and named links of the signed manifest, for whichever owner shows them.
#include <string>
#include <unordered_map>
#include <vector>

#include "patch/engine.h"
#include "support/json.h"

// The items of a manifest's "news" value, in order: objects with a non-empty title only;
// empty if the value is not an array.
std::vector<NewsItem> ReadNews(const JsonValue& news);
// The string members of a manifest's "links" value, name to text; empty if it is not an object.
std::unordered_map<std::string, std::wstring> ReadLinks(const JsonValue& links);
