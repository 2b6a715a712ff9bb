// One editor control on the headless platform, driven by play-script lines: the engine of
// `quillet-tool play`, also used by tests that generate scripts.
#pragma once

#include "editor/CodeMemo.h"

#include <iosfwd>
#include <memory>
#include <string>

namespace quillet::cli {

class IPlayer {
public:
    virtual ~IPlayer() = default;
    virtual TCodeMemo& Memo() = 0;
    // Runs the script's actions one by one; an action's error is printed and the script goes on.
    virtual void Run(std::istream& script) = 0;
};

// A window of width x height pixels with the fixed-pitch cell scripts count in (7 x 17), and
// the definition `lang` names (css, html, none, a file) active in the control.
std::unique_ptr<IPlayer> MakePlayer(int width, int height, const std::string& lang,
                                    std::ostream& out);

} // namespace quillet::cli
