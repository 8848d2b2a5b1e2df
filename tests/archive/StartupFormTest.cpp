// The window's behaviour without a window: the form presenter driven through
// a stand-in view and stand-in actions.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <sstream>
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

    // "on" or "off" when all five inputs are, else the names of those off.
    std::string Inputs() const {
        std::string off;
        for (const auto& [id, isOff] : disabled) {
            if (isOff) off += std::string(off.empty() ? "" : " ") + Name(id);
        }
        if (off.empty()) return "on";
        return off == "lbCompile lbBrowse edCompileFolder edCompileDestination edBrowseArchive"
                   ? "off"
                   : off;
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
               std::to_string(fields.CompileThreads) + "); ";
        return failure;
    }
    std::string BrowseAndOpenStartPage(const StartupFields& fields) override {
        log += "browse(" + fields.BrowseArchive + "); ";
        return failure;
    }
    std::string StatusLine() const override { return "the status"; }

    std::string log;
    std::string failure;
};

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

TEST(StartupForm, MakesClicksAndTicksAsTheWindowDoes) {
    const struct {
        const char* name;
        const char* arguments;
        const char* failure;  // what every start answers
        const char* events;   // type, compile, browse, tick
        // What was started; the inputs on, off or those off; the fields;
        // the status line; whether the window starts minimized.
        const char* outcome;
    } cases[] = {
        {"nothing to do", "", "", "", "| on | || | '' |"},
        {"the clock shows the status line", "", "", "tick", "| on | || | 'the status' |"},
        {"a compile takes the fields as they stood, the fields show the last values",
         "--compile-source s --compile-archive a.pel --compile-threads 3 --compile "
         "--compile-source later",
         "", "", "compile(s,a.pel,3); | off | later|a.pel| | '' |"},
        {"a browse starts minimized", "--browse-archive x.pel --browse", "", "",
         "browse(x.pel); | off | ||x.pel | '' | minimized"},
        {"a browse that cannot start gives the inputs back and says why", "--browse",
         "cannot start", "", "browse(); | on | || | 'cannot start' | minimized"},
        {"a click takes the fields as typed and the command line's threads", "--compile-threads 2",
         "", "type compile", "compile(f,d,2); | off | f|d|b | '' |"},
        {"a browse click", "", "", "type browse", "browse(b); | off | f|d|b | '' |"},
        {"a compile click that cannot start, then the clock", "", "no thread", "compile tick",
         "compile(,,0); | on | || | 'the status' |"},
    };
    for (const auto& c : cases) {
        FakeView view;
        FakeActions actions;
        actions.failure = c.failure;
        StartupFormPresenter presenter(view, actions);
        presenter.FormCreate(ReadCommandLine(Words(c.arguments)).Walk);
        for (const std::string& event : Words(c.events)) {
            if (event == "type") {
                view.fields[ControlId::edCompileFolder] = "f";
                view.fields[ControlId::edCompileDestination] = "d";
                view.fields[ControlId::edBrowseArchive] = "b";
            }
            if (event == "compile") presenter.lbCompileClick();
            if (event == "browse") presenter.lbBrowseClick();
            if (event == "tick") presenter.tmrClockTimer();
        }
        const std::string outcome = actions.log + "| " + view.Inputs() + " | " + view.Fields() +
                                    " | '" + view.status + "' |" +
                                    (presenter.StartsMinimized() ? " minimized" : "");
        EXPECT_EQ(outcome, c.outcome) << c.name;
    }
}

}  // namespace
