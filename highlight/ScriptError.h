// The script compiler's error: a message placed at the scanner's line and column.
#pragma once

#include "platform/Errors.h"
#include "resources/Strings.h"

#include <string>
#include <utility>

namespace quillet {

class ECM_COMP_ERROR : public EQuilletError {
public:
    ECM_COMP_ERROR(int line, int column, const std::string& message, std::string source = {})
        : EQuilletError(FmtLoadStr(4122, line, column, message)), FLine(line), FColumn(column),
          FDetail(message), FSource(std::move(source)) {}
    int Line() const { return FLine; }
    int Column() const { return FColumn; }
    const std::string& Detail() const { return FDetail; }
    // The file the error is in; empty for script text given directly.
    const std::string& Source() const { return FSource; }

private:
    int FLine;
    int FColumn;
    std::string FDetail;
    std::string FSource;
};

// A bad value found where no position is known yet; the scanner re-raises it placed.
class EScriptValueError : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

} // namespace quillet
