// A genuine Access database converted in place: offered by the main window,
// run by `import` without paths.
#pragma once

#include <iosfwd>
#include <string>

#include "commands/MainWindowLogic.h"

namespace genuine {
struct ImportProgress;
}  // namespace genuine

namespace commands {

// Where a conversion in place shows itself: the main window's progress bar
// and boxes, or lines on the terminal.
class ConversionView {
  public:
    virtual ~ConversionView() = default;
    // Before the work begins.
    virtual void Begin() = 0;
    // Before the first file changes its name: the genuine file's kept name.
    virtual void KeptNameChosen(const std::string& keptName) = 0;
    virtual void Progress(const genuine::ImportProgress& progress) = 0;
    // What was converted (and left out).
    virtual void Tell(const std::string& summary) = 0;
    // Why the conversion failed; the working name holds the genuine file.
    virtual void Fail(const std::string& why) = 0;
    // After the work, whatever its outcome.
    virtual void Finish() = 0;
};

// The terminal's view: the kept name, a line per table and the summary go
// to `text`, a failure to `err`.
class TerminalConversionView : public ConversionView {
  public:
    TerminalConversionView(std::ostream& text, std::ostream& err) : text_(text), err_(err) {}
    void Begin() override {}
    void KeptNameChosen(const std::string& keptName) override;
    void Progress(const genuine::ImportProgress& progress) override;
    void Tell(const std::string& summary) override;
    void Fail(const std::string& why) override;
    void Finish() override {}

  private:
    std::ostream& text_;
    std::ostream& err_;
};

// import without paths: the logic's database, when it is a genuine Access
// file, converted in place after a question (the genuine file kept beside it
// under a free name the result states), shown in `view`. With `json` the
// report goes to `out`. kExitOk when everything was converted.
int RunConvertInPlace(MainWindowLogic& logic, ConversionView& view, std::ostream& out,
                      std::ostream& err, bool json = false);

}  // namespace commands
