// The root the server answers under, and what falls below it.
#include <gtest/gtest.h>

#include "WebServer/UrlRoot.h"

namespace {

TEST(UrlRoot, TakesPlainPrefixesAndRefusesEveryOtherValue) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"/docs", "/docs"},
        {"/docs/", "/docs"},
        {"/docs///", "/docs"},
        {"/a/b-c_d.e~f", "/a/b-c_d.e~f"},
        {"/", ""},
        {"//", ""},
        {"", std::nullopt},
        {"docs", std::nullopt},
        {"/a//b", std::nullopt},
        {"/a/./b", std::nullopt},
        {"/..", std::nullopt},
        {"/docs/../etc", std::nullopt},
        {"/%2e%2e", std::nullopt},
        {"/%2E%2E/docs", std::nullopt},
        {"/a b", std::nullopt},
        {"/a?b", std::nullopt},
        {"/a#b", std::nullopt},
        {"/a\\b", std::nullopt},
        {std::string("/a\0b", 4), std::nullopt},
        {"/a\tb", std::nullopt},
        {"/" + std::string(kMaxUrlRootLength, 'a'), std::nullopt},
        {"/...", "/..."},
    };
    for (const auto& [value, root] : cases) {
        EXPECT_EQ(UrlRootOf(value), root) << value;
    }
}

TEST(UrlRoot, PathsBelowTheRootLoseItAndOthersFindNothing) {
    const std::tuple<std::string, std::string, std::optional<std::string>> cases[] = {
        {"/docs", "/docs/a.html", "/a.html"},
        {"/docs", "/docs/", "/"},
        {"/docs", "/docs//a", "//a"},
        {"/docs", "/docs/../a", "/../a"},
        {"/docs", "/docs", std::nullopt},
        {"/docs", "/docsx/a", std::nullopt},
        {"/docs", "/Docs/a", std::nullopt},
        {"/docs", "/other/docs/a", std::nullopt},
        {"/docs", "/%64ocs/a", std::nullopt},
        {"/docs", "", std::nullopt},
        {"/a/b", "/a/b/c", "/c"},
        {"/a/b", "/a/c", std::nullopt},
        {"", "/anything", "/anything"},
        {"", "", ""},
    };
    for (const auto& [root, path, under] : cases) {
        EXPECT_EQ(PathUnderRoot(path, root), under) << root << " " << path;
    }
}

}  // namespace
