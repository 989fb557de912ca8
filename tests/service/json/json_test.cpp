#include "service/json.h"

#include <gtest/gtest.h>

#include <optional>

namespace orvelle::json {
namespace {

// The text form of the parse of `text`, or none.
std::optional<QString> Reparsed(const QString& text) {
  const std::optional<Value> value = ParseJSONValue(text);
  if (!value) return std::nullopt;
  return ToString(*value);
}

struct Case {
  const char16_t* input;
  std::optional<const char16_t*> textForm;  // none: the parse must fail
};

void PrintTo(const Case& c, std::ostream* os) { *os << QStringView(c.input).toString().toStdString(); }

class ParseTable : public testing::TestWithParam<Case> {};

TEST_P(ParseTable, GivesTheTextFormOrNone) {
  const Case& c = GetParam();
  const std::optional<QString> actual = Reparsed(QStringView(c.input).toString());
  if (c.textForm) {
    ASSERT_TRUE(actual.has_value());
    EXPECT_EQ(*actual, QStringView(*c.textForm).toString());
  } else {
    EXPECT_FALSE(actual.has_value()) << "parsed to " << actual->toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Strings, ParseTable, testing::Values(
    Case{uR"("a\/b")", uR"("a/b")"},
    Case{uR"("say \"hi\"")", uR"("say \"hi\"")"},
    Case{uR"("C:\\x")", uR"("C:\x")"},
    Case{uR"("a\\nb")", uR"("a\nb")"},
    Case{uR"("\b\f\n\r\t")", u"\"\b\f\n\r\t\""},
    Case{uR"("\u4e2d\u6587")", u"\"中文\""},
    Case{uR"("\ud83d\ude00")", u"\"\U0001F600\""},
    Case{uR"("\uD800")", u"\"\xD800\""},   // a lone surrogate is one code unit, kept
    Case{u"\"中文 Ünï\"", u"\"中文 Ünï\""},
    Case{u"\"a\tb\x01\"", u"\"a\tb\x01\""},  // control characters are taken as they are
    Case{u"[\"\uFEFFa\",\"\\n\uFEFF\"]", u"[\"\uFEFFa\",\"\n\uFEFF\"]"},  // U+FEFF inside strings is kept
    Case{uR"("")", uR"("")"},
    Case{uR"("\x")", std::nullopt},
    Case{uR"("\u12")", std::nullopt},
    Case{uR"("\u12G4")", std::nullopt},
    Case{uR"("abc)", std::nullopt},
    Case{uR"("abc\)", std::nullopt},
    Case{uR"('abc')", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(Numbers, ParseTable, testing::Values(
    Case{u"245", u"245"},
    Case{u"-0.5", u"-0.5"},
    Case{u"1.50e+3", u"1.50e+3"},
    Case{u"0", u"0"},
    Case{u"-0", u"-0"},
    Case{u"1E-07", u"1E-07"},
    Case{u"0.0e0", u"0.0e0"},
    Case{u"007", std::nullopt},
    Case{u"-01", std::nullopt},
    Case{u"-", std::nullopt},
    Case{u"+1", std::nullopt},
    Case{u"1.", std::nullopt},
    Case{u".5", std::nullopt},
    Case{u"1e", std::nullopt},
    Case{u"1e+", std::nullopt},
    Case{u"0x10", std::nullopt},
    Case{u"[01]", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(LiteralsAndStructure, ParseTable, testing::Values(
    Case{u"true", u"true"},
    Case{u"false", u"false"},
    Case{u"null", u"null"},
    Case{u"True", std::nullopt},
    Case{u"nul", std::nullopt},
    Case{u"nullx", std::nullopt},
    Case{uR"({"a" : [ 1 , "x" ] })", uR"({"a":[1,"x"]})"},
    Case{u"\t\r\n [ ] \r\n", u"[]"},
    Case{u" { } ", u"{}"},
    Case{uR"({"a":1,"a":2})", uR"({"a":1,"a":2})"},
    Case{uR"({"a\"b":"c/d\\e"})", uR"({"a\"b":"c/d\e"})"},
    Case{uR"([{"k":1},{"k":2}])", uR"([{"k":1},{"k":2}])"},
    Case{uR"({"k":1},{"k":2})", std::nullopt},
    Case{uR"([1,])", std::nullopt},
    Case{uR"({"a":1,})", std::nullopt},
    Case{uR"({,})", std::nullopt},
    Case{uR"({"a"})", std::nullopt},
    Case{uR"({a:1})", std::nullopt},
    Case{uR"([1 2])", std::nullopt},
    Case{uR"([1,2)", std::nullopt},
    Case{uR"({"a":1)", std::nullopt},
    Case{u"[] []", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(WholeText, ParseTable, testing::Values(
    Case{u"", std::nullopt},
    Case{u"  ", std::nullopt},
    Case{u" 1", u"1"},
    Case{u"1 ", std::nullopt},        // nothing may follow a number, string or literal
    Case{uR"("a" )", std::nullopt},
    Case{u"true\n", std::nullopt},
    Case{u"\f{}", std::nullopt},      // form feed is no whitespace
    Case{u"\xFEFF{}", u"{}"},         // a byte-order mark at the very start is skipped
    Case{u"\xFEFF\xFEFF{}", std::nullopt},
    Case{u" \xFEFF{}", std::nullopt}));

TEST(GetValue, FindsTheFirstMemberByExactName) {
  const std::optional<Value> doc = ParseJSONValue(uR"({"a":1,"A":3,"a":2,"b":{"c":true}})"_qs);
  ASSERT_TRUE(doc);
  const Value* a = GetValue(*doc, u"a"_qs);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(ToString(*a), u"1");
  EXPECT_EQ(ToString(*GetValue(*doc, u"A"_qs)), u"3");
  EXPECT_EQ(ToString(*GetValue(*doc, u"b"_qs)), uR"({"c":true})");
  EXPECT_EQ(GetValue(*doc, u"c"_qs), nullptr);  // members of nested objects are not found
  EXPECT_EQ(GetValue(*doc, u""_qs), nullptr);
  EXPECT_EQ(GetValue(*ParseJSONValue(u"[1]"_qs), u"0"_qs), nullptr);  // not an object
}

TEST(TextForm, ReadsBackTheWaySongLoadingUsesIt) {
  // An array of one object, cut of its first and last character, parses to that object.
  const QString answer = uR"([{"url":"http:\/\/x.test\/a.mp3","title":"A \"B\"","length":245}])"_qs;
  const std::optional<Value> array = ParseJSONValue(answer);
  ASSERT_TRUE(array);
  const QString arrayText = ToString(*array);
  EXPECT_FALSE(arrayText.contains(u"\\/"));
  const std::optional<Value> song = ParseJSONValue(arrayText.mid(1, arrayText.size() - 2));
  ASSERT_TRUE(song);
  ASSERT_EQ(song->kind, Kind::Object);
  EXPECT_EQ(GetValue(*song, u"url"_qs)->text, u"http://x.test/a.mp3");
  EXPECT_EQ(GetValue(*song, u"title"_qs)->text, u"A \"B\"");
  EXPECT_EQ(ToString(*GetValue(*song, u"length"_qs)), u"245");

  // Removing every double quote from a string's text form leaves backslashes behind.
  EXPECT_EQ(ToString(*GetValue(*song, u"title"_qs)).remove(u'"'), u"A \\B\\");

  // An empty array cut the same way is the empty text, which does not parse.
  EXPECT_FALSE(ParseJSONValue(u"[]"_qs.mid(1, 0)));
}

TEST(TextForm, EscapesLeftInTheTextFormReadAgainOrFail) {
  // "a\\nb" holds a backslash and an n; its text form reads back as a line feed.
  const std::optional<Value> first = ParseJSONValue(uR"("a\\nb")"_qs);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->text, u"a\\nb");
  const std::optional<Value> second = ParseJSONValue(ToString(*first));
  ASSERT_TRUE(second);
  EXPECT_EQ(second->text, u"a\nb");

  // "C:\\x" holds one backslash; its text form has \x, which is no escape.
  const std::optional<Value> path = ParseJSONValue(uR"("C:\\x")"_qs);
  ASSERT_TRUE(path);
  EXPECT_EQ(path->text, u"C:\\x");
  EXPECT_FALSE(ParseJSONValue(ToString(*path)));
}

TEST(Nesting, StopsAtTheDepthLimitWithoutExhaustingTheStack) {
  auto nested = [](int depth) {
    return QString(depth, u'[') + QString(depth, u']');
  };
  EXPECT_TRUE(ParseJSONValue(nested(kMaxNestingDepth)));
  EXPECT_FALSE(ParseJSONValue(nested(kMaxNestingDepth + 1)));
  EXPECT_FALSE(ParseJSONValue(QString(100000, u'[')));

  QString objects;
  for (int i = 0; i < 100000; ++i) objects += u"{\"a\":";
  EXPECT_FALSE(ParseJSONValue(objects));

  // Objects and arrays count together.
  const int half = kMaxNestingDepth / 2;
  const QString mixed = u"{\"a\":"_qs.repeated(half) + QString(half, u'[') + u'1' + QString(half, u']') +
                        QString(half, u'}');
  EXPECT_TRUE(ParseJSONValue(mixed));
  EXPECT_FALSE(ParseJSONValue(QStringLiteral("[") + mixed + QStringLiteral("]")));
}

}  // namespace
}  // namespace orvelle::json
