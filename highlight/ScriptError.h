// The script compiler's error: a message placed at the scanner's line and column.
#pragma once

#include "platform/Errors.h"
#include "resources/Strings.h"

#include <string>

namespace quillet {

class ECM_COMP_ERROR : public EQuilletError {
public:
    ECM_COMP_ERROR(int line, int column, const std::string& message)
        : EQuilletError(FmtLoadStr(4122, line, column, message)), FLine(line), FColumn(column),
          FDetail(message) {}
    int Line() const { return FLine; }
    int Column() const { return FColumn; }
    const std::string& Detail() const { return FDetail; }

private:
    int FLine;
    int FColumn;
    std::string FDetail;
};

// A bad value found where no position is known yet; the scanner re-raises it placed.
class EScriptValueError : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

} // namespace quillet
