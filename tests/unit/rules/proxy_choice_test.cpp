#include "net/rules/proxy_choice.hpp"

#include <gtest/gtest.h>

namespace cv {
namespace {

UserProxySettings fixedProxy() {
  UserProxySettings settings;
  settings.proxy = L"proxy.example:8080";
  settings.bypass = L"<local>";
  return settings;
}

DiscoveredProxy foundProxy(const wchar_t* proxy) {
  DiscoveredProxy found;
  found.proxy = proxy;
  found.bypass = L"*.lan";
  return found;
}

TEST(ProxyChoice, NoSettingsLeaveWinHttpsOwnDefault) {
  const ProxyChoice choice = chooseProxy(UserProxySettings(), std::nullopt);
  EXPECT_EQ(choice.route, ProxyRoute::SessionDefault);
  EXPECT_FALSE(wantsProxyDiscovery(UserProxySettings()));
}

TEST(ProxyChoice, AFixedProxyServerIsUsedWithItsExceptions) {
  const ProxyChoice choice = chooseProxy(fixedProxy(), std::nullopt);
  EXPECT_EQ(choice.route, ProxyRoute::Named);
  EXPECT_EQ(choice.proxy, L"proxy.example:8080");
  EXPECT_EQ(choice.bypass, L"<local>");
  EXPECT_FALSE(wantsProxyDiscovery(fixedProxy()));
}

TEST(ProxyChoice, DetectionOrAScriptIsAskedFirst) {
  UserProxySettings detect = fixedProxy();
  detect.autoDetect = true;
  UserProxySettings script = fixedProxy();
  script.autoConfigUrl = L"http://wpad.example/proxy.pac";
  for (const UserProxySettings& settings : {detect, script}) {
    EXPECT_TRUE(wantsProxyDiscovery(settings));
    const ProxyChoice choice = chooseProxy(settings, foundProxy(L"found.example:3128"));
    EXPECT_EQ(choice.route, ProxyRoute::Named);
    EXPECT_EQ(choice.proxy, L"found.example:3128");
    EXPECT_EQ(choice.bypass, L"*.lan");
  }
}

TEST(ProxyChoice, AScriptThatSaysDirectWinsOverTheFixedServer) {
  UserProxySettings settings = fixedProxy();
  settings.autoConfigUrl = L"http://wpad.example/proxy.pac";
  DiscoveredProxy direct;
  direct.direct = true;
  EXPECT_EQ(chooseProxy(settings, direct).route, ProxyRoute::Direct);
  // A named answer without a server is no proxy either.
  EXPECT_EQ(chooseProxy(settings, foundProxy(L"")).route, ProxyRoute::Direct);
}

TEST(ProxyChoice, AFailedSearchFallsBackToTheFixedServerThenTheDefault) {
  UserProxySettings settings = fixedProxy();
  settings.autoDetect = true;
  const ProxyChoice fallback = chooseProxy(settings, std::nullopt);
  EXPECT_EQ(fallback.route, ProxyRoute::Named);
  EXPECT_EQ(fallback.proxy, L"proxy.example:8080");

  UserProxySettings detectOnly;
  detectOnly.autoDetect = true;
  EXPECT_EQ(chooseProxy(detectOnly, std::nullopt).route, ProxyRoute::SessionDefault);
}

TEST(ProxyChoice, AnAnswerNobodyAskedForIsIgnored) {
  EXPECT_EQ(chooseProxy(fixedProxy(), foundProxy(L"found.example:3128")).proxy,
            L"proxy.example:8080");
}

// For the life of the process: one search per host, whatever the requests.
TEST(ProxyRoutes, EachHostIsDecidedOnceWhateverItsLetterCase) {
  ProxyRoutes routes;
  int decisions = 0;
  const auto through = [&decisions](const wchar_t* proxy) {
    return [&decisions, proxy] {
      ++decisions;
      ProxyChoice choice;
      choice.route = ProxyRoute::Named;
      choice.proxy = proxy;
      return choice;
    };
  };
  EXPECT_EQ(routes.routeFor(L"files.zrq.test", through(L"a:1")).proxy, L"a:1");
  EXPECT_EQ(routes.routeFor(L"Files.ZRQ.test", through(L"b:2")).proxy, L"a:1");
  EXPECT_EQ(routes.routeFor(L"check.zrq.test", through(L"b:2")).proxy, L"b:2");
  EXPECT_EQ(routes.routeFor(L"check.zrq.test", through(L"c:3")).proxy, L"b:2");
  EXPECT_EQ(decisions, 2);
}

}  // namespace
}  // namespace cv
