// The window's behaviour without a window: the form presenter driven through
// a stand-in view and stand-in actions.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Startup/CommandLine.h"
#include "Startup/FormDescription.h"
#include "Startup/StartupFormPresenter.h"

namespace {

class FakeView : public StartupFormView {
  public:
    std::string FieldText(ControlId field) override { return fields[field]; }
    void SetFieldText(ControlId field, const std::string& text) override { fields[field] = text; }
    void SetControlEnabled(ControlId control, bool enabled) override {
        disabled[control] = !enabled;
    }
    void ShowStatus(const std::string& text) override { status = text; }

    // The inputs that are off, by name, in the form's order.
    std::string Disabled() const {
        std::string names;
        for (const auto& [id, off] : disabled) {
            if (off) names += std::string(names.empty() ? "" : " ") + Name(id);
        }
        return names;
    }
    std::string Fields() {
        return fields[ControlId::edCompileFolder] + "|" + fields[ControlId::edCompileDestination] +
               "|" + fields[ControlId::edBrowseArchive];
    }

    std::map<ControlId, std::string> fields;
    std::map<ControlId, bool> disabled;
    std::string status;

  private:
    static std::string Name(ControlId id) {
        for (const ControlDescription& row : StartupFormControls()) {
            if (row.id == id) return row.name;
        }
        return "?";
    }
};

// Records what was started, with which fields; a start fails while
// `failure` is set.
class FakeActions : public FormActions {
  public:
    std::string Compile(const StartupFields& fields) override {
        log += "compile(" + fields.CompileFolder + "," + fields.CompileDestination + "," +
               std::to_string(fields.CompileThreads) + ");";
        return failure;
    }
    std::string BrowseAndOpenStartPage(const StartupFields& fields) override {
        log += "browse(" + fields.BrowseArchive + ");";
        return failure;
    }
    std::string StatusLine() const override { return "the status"; }

    std::string log;
    std::string failure;
};

TEST(StartupForm, MakesClicksAndTicksAsTheWindowDoes) {
    const std::string inputs =
        "lbCompile lbBrowse edCompileFolder edCompileDestination edBrowseArchive";
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        std::string failure;              // what every start answers
        std::vector<std::string> events;  // "type", "compile", "browse", "tick"
        std::string started;
        std::string disabled;
        std::string fields;
        std::string status;
        bool minimized;
    } cases[] = {
        {"nothing to do", {}, "", {}, "", "", "||", "", false},
        {"the clock shows the status line", {}, "", {"tick"}, "", "", "||", "the status", false},
        {"a compile takes the fields as they stood, the fields show the last values",
         {"--compile-source", "s", "--compile-archive", "a.pel", "--compile-threads", "3",
          "--compile", "--compile-source", "later"},
         "",
         {},
         "compile(s,a.pel,3);",
         inputs,
         "later|a.pel|",
         "",
         false},
        {"a browse starts minimized",
         {"--browse-archive", "x.pel", "--browse"},
         "",
         {},
         "browse(x.pel);",
         inputs,
         "||x.pel",
         "",
         true},
        {"a browse that cannot start gives the inputs back and says why",
         {"--browse"},
         "cannot start",
         {},
         "browse();",
         "",
         "||",
         "cannot start",
         true},
        {"a click takes the fields as typed and the command line's threads",
         {"--compile-threads", "2"},
         "",
         {"type", "compile"},
         "compile(f,d,2);",
         inputs,
         "f|d|b",
         "",
         false},
        {"a browse click", {}, "", {"type", "browse"}, "browse(b);", inputs, "f|d|b", "", false},
        {"a compile click that cannot start, then the clock",
         {},
         "no thread",
         {"compile", "tick"},
         "compile(,,0);",
         "",
         "||",
         "the status",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeView view;
        FakeActions actions;
        actions.failure = c.failure;
        StartupFormPresenter presenter(view, actions);
        presenter.FormCreate(ReadCommandLine(c.arguments).Walk);
        for (const std::string& event : c.events) {
            if (event == "type") {
                view.fields[ControlId::edCompileFolder] = "f";
                view.fields[ControlId::edCompileDestination] = "d";
                view.fields[ControlId::edBrowseArchive] = "b";
            }
            if (event == "compile") presenter.lbCompileClick();
            if (event == "browse") presenter.lbBrowseClick();
            if (event == "tick") presenter.tmrClockTimer();
        }
        EXPECT_EQ(actions.log, c.started);
        EXPECT_EQ(view.Disabled(), c.disabled);
        EXPECT_EQ(view.Fields(), c.fields);
        EXPECT_EQ(view.status, c.status);
        EXPECT_EQ(presenter.StartsMinimized(), c.minimized);
    }
}

}  // namespace
