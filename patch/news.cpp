#include "patch/news.h"

#include "support/text.h"

static std::wstring MemberText(const JsonValue& item, const char* key, const char* fallback = "") {
  return Utf8ToWide(JsonAsString(JsonGetMember(item, key), fallback));
}

std::vector<NewsItem> ReadNews(const JsonValue& news) {
  std::vector<NewsItem> items;
  if (news.type != JsonType::Array) return items;
  for (const JsonValue& element : news.array) {
    if (element.type != JsonType::Object) continue;
    NewsItem item;
    item.date = MemberText(element, "date");
    item.title = MemberText(element, "title");
    item.text = MemberText(element, "text");
    item.url = MemberText(element, "url");
    item.type = MemberText(element, "type", "noticia");
    item.author = MemberText(element, "author");
    // The image is a path relative to wherever the owner fetches images from; it passes the
    // same rule as every other path and is kept with forward slashes.
    std::wstring image;
    if (ToSafeRelativePath(JsonAsString(JsonGetMember(element, "image"), ""), image)) {
      for (wchar_t& c : image)
        if (c == L'\\') c = L'/';
      item.image = image;
    }
    for (const auto& [key, value] : element.object) {
      if (value.type != JsonType::String) continue;
      if (key.rfind("title_", 0) == 0) {
        item.titles[key.substr(6)] = Utf8ToWide(value.string);
      } else if (key.rfind("text_", 0) == 0) {
        item.texts[key.substr(5)] = Utf8ToWide(value.string);
      }
    }
    if (!item.title.empty()) items.push_back(std::move(item));
  }
  return items;
}

std::unordered_map<std::string, std::wstring> ReadLinks(const JsonValue& links) {
  std::unordered_map<std::string, std::wstring> out;
  if (links.type != JsonType::Object) return out;
  for (const auto& [name, value] : links.object) {
    if (value.type == JsonType::String) out[name] = Utf8ToWide(value.string);
  }
  return out;
}
