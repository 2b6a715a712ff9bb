// The modeless replace dialog on Qt: the find dialog with a replacement and two buttons more.
#pragma once

#include "dialogs/FindDialog.h"

namespace quillet {

class TReplaceDialog : public TFindDialog {
    Q_OBJECT
public:
    explicit TReplaceDialog(QWidget* parent = nullptr);

    TFindDialogKind Kind() const override { return fdkReplace; }
    std::string ReplaceText() const override;
    void SetReplaceText(const std::string& text);

    QLineEdit* ReplaceEdit() const { return FReplaceEdit; }
    QPushButton* ReplaceButton() const { return FReplace; }
    QPushButton* ReplaceAllButton() const { return FReplaceAll; }

protected:
    void UpdateButtons() override;

private:
    QLineEdit* FReplaceEdit = nullptr;
    QPushButton* FReplace = nullptr;
    QPushButton* FReplaceAll = nullptr;
};

} // namespace quillet
