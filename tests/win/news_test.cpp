// News items and links of the manifest.
#include <gtest/gtest.h>

#include <string>

#include "patch/news.h"

namespace {

JsonValue Parse(const std::string& json) {
  JsonValue v;
  std::string error;
  EXPECT_TRUE(JsonParse(json, v, &error)) << error;
  return v;
}

}  // namespace

TEST(News, FieldsDefaultsAndOrder) {
  auto news = ReadNews(Parse(R"([
    {"date": "2024-06-01", "title": "Season two", "text": "Body", "url": "https://q/2",
     "type": "evento", "author": "Team", "image": "img/s2.jpg"},
    {"title": "Plain"},
    {"title": "Acentua\u00e7\u00e3o \u00e9 \ud83d\ude00", "date": 5, "type": null}
  ])"));
  ASSERT_EQ(news.size(), 3u);
  EXPECT_EQ(news[0].date, L"2024-06-01");
  EXPECT_EQ(news[0].title, L"Season two");
  EXPECT_EQ(news[0].text, L"Body");
  EXPECT_EQ(news[0].url, L"https://q/2");
  EXPECT_EQ(news[0].type, L"evento");
  EXPECT_EQ(news[0].author, L"Team");
  EXPECT_EQ(news[0].image, L"img/s2.jpg");
  EXPECT_EQ(news[1].title, L"Plain");
  EXPECT_EQ(news[1].type, L"noticia");
  EXPECT_EQ(news[1].date, L"");
  EXPECT_EQ(news[1].image, L"");
  EXPECT_TRUE(news[1].titles.empty());
  EXPECT_EQ(news[2].title, L"Acentua\u00e7\u00e3o \u00e9 \U0001F600");
  EXPECT_EQ(news[2].date, L"");          // not a string
  EXPECT_EQ(news[2].type, L"noticia");   // null is not a string either
}

TEST(News, ItemsWithoutTitleAndNonObjectsAreDropped) {
  auto news = ReadNews(Parse(R"([{"text": "no title"}, {"title": ""}, {"title": 7}, "x", 3, null, [],
                                  {"title": "kept"}])"));
  ASSERT_EQ(news.size(), 1u);
  EXPECT_EQ(news[0].title, L"kept");
  EXPECT_TRUE(ReadNews(Parse(R"({"title": "not in an array"})")).empty());
  EXPECT_TRUE(ReadNews(Parse("null")).empty());
}

TEST(News, ImagePassesThePathRuleAndKeepsSlashes) {
  auto news = ReadNews(Parse(R"([
    {"title": "a", "image": "../secret.jpg"},
    {"title": "b", "image": "news\\2024\\b.png"},
    {"title": "c", "image": "C:/x.png"},
    {"title": "d", "image": "https://cdn/x.png"},
    {"title": "e", "image": 12}
  ])"));
  ASSERT_EQ(news.size(), 5u);
  EXPECT_EQ(news[0].image, L"");  // refused, the item stays
  EXPECT_EQ(news[1].image, L"news/2024/b.png");
  EXPECT_EQ(news[2].image, L"");
  EXPECT_EQ(news[3].image, L"");  // a URL holds a colon and a double slash
  EXPECT_EQ(news[4].image, L"");
}

TEST(News, TranslatedTitlesAndTexts) {
  auto news = ReadNews(Parse(R"([{"title": "Hello", "title_pt": "Ol\u00e1", "text_pt": "Texto",
    "title_": "empty code", "text_": "empty code text", "title_fr": 3, "text_de": null,
    "titles": "not a translation", "text": "base"}])"));
  ASSERT_EQ(news.size(), 1u);
  const NewsItem& item = news[0];
  EXPECT_EQ(item.titles.size(), 2u);
  EXPECT_EQ(item.titles.at("pt"), L"Ol\u00e1");
  EXPECT_EQ(item.titles.at(""), L"empty code");
  EXPECT_EQ(item.texts.size(), 2u);
  EXPECT_EQ(item.texts.at("pt"), L"Texto");
  EXPECT_EQ(item.texts.at(""), L"empty code text");
  EXPECT_EQ(item.titles.count("fr"), 0u);
  EXPECT_EQ(item.texts.count("de"), 0u);
  EXPECT_EQ(item.text, L"base");
}

TEST(Links, OnlyStringMembersOfAnObject) {
  auto links = ReadLinks(Parse(R"({"site": "https://quorvel.net", "forum": 3, "discord": null,
                                   "shop": "https://shop/\u00e9", "": "empty name"})"));
  EXPECT_EQ(links.size(), 3u);
  EXPECT_EQ(links.at("site"), L"https://quorvel.net");
  EXPECT_EQ(links.at("shop"), L"https://shop/\u00e9");
  EXPECT_EQ(links.at(""), L"empty name");
  EXPECT_TRUE(ReadLinks(Parse(R"(["https://a", "https://b"])")).empty());
  EXPECT_TRUE(ReadLinks(Parse(R"("https://a")")).empty());
}
