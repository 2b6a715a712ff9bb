// The undo stack a text store owns; the undo engine derives its history from this.
#pragma once

namespace quillet {

class TUndoStack {
public:
    virtual ~TUndoStack() = default;
};

} // namespace quillet
