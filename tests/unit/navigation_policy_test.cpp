// The navigation rule over addresses as the web engine reports them.
#include <gtest/gtest.h>

#include "ui/navigation_policy.h"

namespace tessary {
namespace {

using platform::Address;

std::optional<Address> at(std::optional<std::string> scheme, std::optional<std::string> host) {
  return Address{std::move(scheme), std::move(host)};
}

TEST(NavigationPolicy, FollowsTheDecisionTable) {
  struct Case {
    const char* what;
    std::optional<Address> address;
    bool allowed;
  } cases[] = {
      {"no address", std::nullopt, false},
      {"about:blank", at("about", std::nullopt), true},
      {"blob", at("blob", std::nullopt), true},
      {"data", at("data", std::nullopt), true},
      {"file anywhere", at("file", ""), true},
      {"file with a host", at("file", "example.com"), true},
      {"the panel", at("http", "127.0.0.1"), true},
      {"another port or scheme on the loopback", at("ws", "127.0.0.1"), true},
      {"https on localhost", at("https", "localhost"), true},
      {"a public site", at("https", "example.com"), false},
      {"IPv6 loopback", at("http", "[::1]"), false},
      {"IPv6 loopback without brackets", at("http", "::1"), false},
      {"localhost with a dot", at("http", "localhost."), false},
      {"mail address", at("mailto", std::nullopt), false},
      {"no scheme", at(std::nullopt, "127.0.0.1"), true},
      {"nothing at all", at(std::nullopt, std::nullopt), false},
      {"another loopback address", at("http", "127.0.0.2"), false},
      {"loopback as a subdomain", at("http", "127.0.0.1.example.com"), false},
      {"localhost as a subdomain", at("http", "localhost.example.com"), false},
      {"upper case", at("http", "LOCALHOST"), false},
      {"upper-case scheme", at("FILE", ""), false},
      {"short IPv4", at("http", "127.1"), false},
      {"hex IPv4", at("http", "0x7f.0.0.1"), false},
      {"percent-encoded", at("http", "%31%32%37.0.0.1"), false},
      {"padded host", at("http", " localhost"), false},
  };
  for (const auto& c : cases) EXPECT_EQ(allowNavigation(c.address), c.allowed) << c.what;
}

}  // namespace
}  // namespace tessary
