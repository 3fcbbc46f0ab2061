#include "foundation/StringAdditions.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

TEST(StringAdditions, EscapingForUrlsAndQueries)
{
    struct Case
    {
        QString in;
        QString url;   // standardScapedOutString
        QString query; // encodeForQueryString
    };
    const Case cases[] = {
        {u"http://a.com/x?y=1&z=2#f"_s, u"http://a.com/x?y=1&z=2#f"_s,
         u"http%3A%2F%2Fa.com%2Fx%3Fy%3D1%26z%3D2%23f"_s},
        {u"a b\"<>{}|\\^`"_s, u"a%20b%22%3C%3E%7B%7D%7C%5C%5E%60"_s,
         u"a%20b%22%3C%3E%7B%7D%7C%5C%5E%60"_s},
        // Existing escapes survive the URL form but not the query form.
        {u"x%20y"_s, u"x%20y"_s, u"x%2520y"_s},
        {u"ä€😀"_s, u"%C3%A4%E2%82%AC%F0%9F%98%80"_s, u"%C3%A4%E2%82%AC%F0%9F%98%80"_s},
        {u";/?:@&=+$,[]#!'()*-._~"_s, u";/?:@&=+$,%5B%5D#!'()*-._~"_s,
         u"%3B%2F%3F%3A%40%26%3D%2B%24%2C%5B%5D%23%21%27%28%29%2A-._~"_s},
        {QString(), QString(), QString()},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(standardScapedOutString(c.in), c.url) << c.in.toStdString();
        EXPECT_EQ(encodeForQueryString(c.in), c.query) << c.in.toStdString();
    }
}

TEST(StringAdditions, UnescapingKeepsWhatDoesNotDecode)
{
    const std::pair<QString, QString> cases[] = {
        {u"%C3%a4%20x"_s, u"ä x"_s}, {u"100%"_s, u"100%"_s},
        {u"%zz%4"_s, u"%zz%4"_s},    {u"%FF%FE"_s, u"%FF%FE"_s}, // not UTF-8: left as it was
        {u"ä%2F"_s, u"ä/"_s},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(standardUnscapedString(in), out) << in.toStdString();

    EXPECT_TRUE(isURLEncoded(u"a%2Fb"_s));
    EXPECT_TRUE(isURLEncoded(u"%aF"_s));
    EXPECT_FALSE(isURLEncoded(u"100%"_s));
    EXPECT_FALSE(isURLEncoded(u"%G1 %1"_s));
}

TEST(StringAdditions, HtmlEntities)
{
    const std::pair<QString, QString> cases[] = {
        {u"&lt;b&gt; &quot;hi&quot; &apos;x&apos;"_s, u"<b> \"hi\" 'x'"_s},
        // One pass: "&amp;lt;" is the text "&lt;", not "<".
        {u"&amp;lt; &amp;"_s, u"&lt; &"_s},
        {u"&#233;&#xE9;&#XE9;&eacute;&nbsp;&hellip;&#128512;"_s, u"éééé\u00a0…😀"_s},
        {u"&bogus; &#0; &#xD800; &#x110000; &#; &; & x &amp"_s,
         u"&bogus; &#0; &#xD800; &#x110000; &#; &; & x &amp"_s},
        {u"&&amp;&"_s, u"&&&"_s},
        {u"plain"_s, u"plain"_s},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(stringByUnescapingHTML(in), out) << in.toStdString();
}
