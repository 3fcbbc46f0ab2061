#include "text/TextRegistration.h"
#include "model/RTMessageHooks.h"
#include "text/RTMessageTextParser.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

TEST(TextRegistration, MessageBodiesAreStyledByTheParser)
{
    registerTextLayerWithModel();
    const auto hooks = RTMessageHooks::current();
    const QString text = hooks->unescapeHTML(u"Hi @bob &amp; &eacute; www.x.com C++"_s);
    EXPECT_EQ(text, u"Hi @bob & é www.x.com C++"_s);

    const RTAttributedString body = hooks->parse(text);
    EXPECT_EQ(body.string(), text);
    const QVariantMap mention = body.attributesAt(4);
    EXPECT_EQ(mention.value(u"link"_s).toString(), RTMessageTextParser::linkForUser(u"bob"_s));
    EXPECT_TRUE(mention.value(u"pointingHandCursor"_s).toBool());
    EXPECT_EQ(body.attributesAt(13).value(u"link"_s).toString(), u"http://www.x.com"_s);
    const QVariantMap plain = body.attributesAt(0);
    EXPECT_FALSE(plain.contains(u"link"_s));
    EXPECT_EQ(plain.value(u"textColor"_s).toUInt(), 0xFF000000u);

    const RTAttributedString marked = hooks->highlightTerms(body, {u"c++"_s, u"x"_s});
    EXPECT_TRUE(marked.attributesAt(text.size() - 1).value(u"bold"_s).toBool());
    EXPECT_TRUE(marked.attributesAt(text.indexOf(u"x.com"_s)).value(u"bold"_s).toBool());
    EXPECT_FALSE(marked.attributesAt(0).value(u"bold"_s).toBool());
    // The link under a bold term stays.
    EXPECT_EQ(marked.attributesAt(text.indexOf(u"x.com"_s)).value(u"link"_s).toString(),
              u"http://www.x.com"_s);
}
