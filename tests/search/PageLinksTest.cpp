#include <gtest/gtest.h>

#include "Search/PageLinks.h"

TEST(PageLinks, ALinkNamesTheEntryItGoesToInsideTheArchive) {
    struct Case {
        const char* page;
        const char* href;
        const char* entry;
    };
    const Case cases[] = {
        {"std/fs/fn.read.html", "../io/struct.Error.html#method.kind", "std/io/struct.Error.html"},
        {"std/fs/fn.read.html", "./fn.write.html?x=1", "std/fs/fn.write.html"},
        {"index.html", "library/os.path.html", "library/os.path.html"},
        {"book/ch01.html", "../std/", "std/index.html"},
        {"book/ch01.html", "..", "index.html"},
        {"a/b.html", "/c/d.html", "c/d.html"},
        {"a/b.html", "x//y/../z.html", "a/x/z.html"},
        {"a/b.html", "#section", ""},
        {"a/b.html", "", ""},
        {"a/b.html", "../../up.html", ""},
        {"a/b.html", "https://example.org/a/b.html", ""},
        {"a/b.html", "//example.org/b.html", ""},
        {"a/b.html", "mailto:someone@example.org", ""},
        {"a/b.html", "javascript:void(0)", ""},
        {"a/b.html", "x/y:z.html", "a/x/y:z.html"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LinkedName(c.page, c.href), c.entry) << c.page << " " << c.href;
    }
}
