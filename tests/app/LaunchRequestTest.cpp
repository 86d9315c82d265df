// A later launch started by the browser with the end of a sign-in hands that URL to the running program.
#include "app/LaunchRequest.h"

#include <gtest/gtest.h>

#include "app/CommandLine.h"

TEST(LaunchRequest, TheCallbackAndTheTokenCrossTheChannelIntactOnOneLine) {
    const struct {
        QByteArray token;
        const char *url;
    } cases[] = {
        {"", ""},
        {"tok=en&x y\n", ""},
        {"t", "en-orb://response?oauth_token=a%2Bb&oauth_verifier=v%20w"},
        {"", "en-orb://response?oauth_token=only"},
    };
    for (const auto &c : cases) {
        const LaunchRequest sent{c.token, QUrl(QString::fromLatin1(c.url))};
        const QByteArray line = sent.encode();
        EXPECT_FALSE(line.contains('\n'));
        const LaunchRequest got = LaunchRequest::decode(line);
        EXPECT_EQ(got.activationToken, c.token);
        EXPECT_EQ(got.url.toEncoded(), sent.url.toEncoded()) << c.url;
    }
    EXPECT_FALSE(LaunchRequest::decode("open=%%%zz").url.isValid());
}

TEST(LaunchRequest, TheCommandLineTakesOneCallbackUrl) {
    const auto parse = [](QStringList words) {
        return CommandLine::parse(QStringList{"korva-lectern"} + words);
    };
    const CommandLine one = parse({"en-orb://response?oauth_token=t&oauth_verifier=v"});
    EXPECT_TRUE(one.error.isEmpty());
    EXPECT_EQ(one.callbackUrl.scheme(), QStringLiteral("en-orb"));
    EXPECT_FALSE(parse({"en-orb://a", "en-orb://b"}).error.isEmpty());
    EXPECT_FALSE(parse({"https://example.org"}).error.isEmpty());
}
