// The error a language definition raises for bad tables or bad input.
#pragma once

#include "platform/Errors.h"

namespace quillet {

class EDefinitionError : public EQuilletError {
public:
    using EQuilletError::EQuilletError;
};

} // namespace quillet
