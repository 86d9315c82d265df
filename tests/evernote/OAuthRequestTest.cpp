#include "evernote/OAuthRequest.h"

#include <gtest/gtest.h>

namespace {

using Parameters = OAuthRequest::Parameters;

// The worked examples of RFC 5849, section 1.2 (client "dpf43f3p2l4k3l03" of photos.example.net).
TEST(OAuthRequest, SignaturesMatchTheRfcWorkedExamples) {
    struct Case {
        const char *method, *scheme, *path;
        Parameters parameters;
        const char *tokenSecret, *signature;
    };
    const Parameters common{{"oauth_consumer_key", "dpf43f3p2l4k3l03"},
                            {"oauth_signature_method", "HMAC-SHA1"}};
    const Case cases[] = {
        {"POST", "https", "/initiate",
         common + Parameters{{"oauth_timestamp", "137131200"},
                             {"oauth_nonce", "wIjqoS"},
                             {"oauth_callback", "http://printer.example.com/ready"}},
         "", "74KNZJeDHnMBp0EMJ9ZHt/XKycU="},
        {"POST", "https", "/token",
         common + Parameters{{"oauth_token", "hh5s93j4hdidpola"},
                             {"oauth_timestamp", "137131201"},
                             {"oauth_nonce", "walatlh"},
                             {"oauth_verifier", "hfdp7dh39dks9884"}},
         "hdhd0244k9j7ao03", "gKgrFCywp7rO0OXSjdot/IHF7IU="},
        {"GET", "http", "/photos",
         common + Parameters{{"oauth_token", "nnch734d00sl2jdk"},
                             {"oauth_timestamp", "137131202"},
                             {"oauth_nonce", "chapoH"},
                             {"file", "vacation.jpg"},
                             {"size", "original"}},
         "pfkkdhi9sl3r4s00", "MdpQcU8iPSUjWoN/UDMsK2sui9I="},
    };
    for (const Case &c : cases) {
        const OAuthRequest::Signing signing{c.method,     c.scheme,           "photos.example.net", c.path,
                                            c.parameters, "kd94hf93k423kf44", c.tokenSecret};
        EXPECT_EQ(OAuthRequest::signature(signing), c.signature) << c.path;
    }
    const OAuthRequest::Signing resource{"GET",
                                         "http",
                                         "Photos.Example.NET",
                                         "/photos",
                                         cases[2].parameters,
                                         "kd94hf93k423kf44",
                                         "pfkkdhi9sl3r4s00"};
    EXPECT_EQ(OAuthRequest::signatureBaseString(resource),
              "GET&http%3A%2F%2Fphotos.example.net%2Fphotos&file%3Dvacation.jpg%26oauth_consumer_key%"
              "3Ddpf43f3p2l4k3l"
              "03%26oauth_nonce%3DchapoH%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D137131202%"
              "26oauth_"
              "token%3Dnnch734d00sl2jdk%26size%3Doriginal");
}

TEST(OAuthRequest, SignedGetPutsExtrasInTheQueryAndSignsEverythingInTheHeader) {
    const auto request = OAuthRequest::signedGet("https", "service.example:8443", "/oauth",
                                                 {{"oauth_callback", "en-orb://response"}},
                                                 {"key", "secret", "", ""}, "nonce-1", 1700000000);
    EXPECT_EQ(request.url.toString(QUrl::FullyEncoded),
              "https://service.example:8443/oauth?oauth_callback=en-orb%3A%2F%2Fresponse");
    const OAuthRequest::Signing signing{"GET",
                                        "https",
                                        "service.example:8443",
                                        "/oauth",
                                        {{"oauth_consumer_key", "key"},
                                         {"oauth_nonce", "nonce-1"},
                                         {"oauth_timestamp", "1700000000"},
                                         {"oauth_version", "1.0"},
                                         {"oauth_signature_method", "HMAC-SHA1"},
                                         {"oauth_callback", "en-orb://response"}},
                                        "secret",
                                        ""};
    EXPECT_EQ(request.authorization,
              "OAuth oauth_consumer_key=\"key\",oauth_nonce=\"nonce-1\",oauth_timestamp=\"1700000000\","
              "oauth_version=\"1.0\",oauth_signature_method=\"HMAC-SHA1\",oauth_signature=\"" +
                  OAuthRequest::percentEncode(OAuthRequest::signature(signing)).toUtf8() + "\"");

    const auto withToken =
        OAuthRequest::signedGet("https", "h", "/oauth", {}, {"key", "secret", "t/1", "ts"}, "n", 1);
    EXPECT_TRUE(withToken.authorization.contains(",oauth_token=\"t%2F1\",oauth_signature="));
    EXPECT_FALSE(withToken.url.hasQuery());
}

TEST(OAuthRequest, QueryStringsEncodeAndDecode) {
    EXPECT_EQ(OAuthRequest::queryStringFromParameters({{"b", "x y"}, {"a", "!*'();:@&=+$,/?%#[]~-._é"}}),
              "b=x%20y&a=%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D~-._%C3%A9");

    const struct {
        const char *query;
        QMap<QString, QString> expected;
    } cases[] = {
        {"a=1&b&c=2=3&d=%41", {{"a", "1"}, {"d", "A"}}},
        {"a=1&a=2", {{"a", "2"}}},
        {"k=%ZZ&x=%C3%A9&y=%FF&z=%4", {{"x", "é"}}},
        {"plus=a+b&empty=", {{"plus", "a+b"}, {"empty", ""}}},
        {"", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(OAuthRequest::parametersFromQueryString(c.query), c.expected) << c.query;
}

} // namespace
