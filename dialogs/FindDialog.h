// The modeless find dialog on Qt, behind the platform's find-dialog interface.
#pragma once

#include "platform/Dialogs.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace quillet {

class TFindDialog : public QDialog, public IFindDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget* parent = nullptr);

    TFindDialogKind Kind() const override { return fdkFind; }
    void Show() override;
    void Close() override;
    bool Visible() const override { return isVisible(); }
    std::string FindText() const override;
    void SetFindText(const std::string& text) override;
    std::string ReplaceText() const override { return {}; }
    bool MatchCase() const override;
    void SetMatchCase(bool on) override;
    bool WholeWord() const override;
    bool Down() const override;

    QLineEdit* FindEdit() const { return FFindEdit; }
    QCheckBox* MatchCaseBox() const { return FMatchCase; }
    QCheckBox* WholeWordBox() const { return FWholeWord; }
    QRadioButton* UpButton() const { return FUp; }
    QRadioButton* DownButton() const { return FDown; }
    QPushButton* FindNextButton() const { return FFindNext; }
    QPushButton* CancelButton() const { return FCancel; }

protected:
    void reject() override;
    void Request(TFindRequest request);
    virtual void UpdateButtons();
    // Rows of edits on the left, the button column on the right.
    QGridLayout* FEdits = nullptr;
    QVBoxLayout* FButtons = nullptr;

private:
    QLineEdit* FFindEdit;
    QCheckBox* FMatchCase;
    QCheckBox* FWholeWord;
    QRadioButton* FUp;
    QRadioButton* FDown;
    QPushButton* FFindNext;
    QPushButton* FCancel;
};

// A find or replace dialog for the Qt platform's dialogs (CreateFindDialog). It has no Qt
// parent: the returned pointer is its only owner.
std::unique_ptr<IFindDialog> CreateQtFindDialog(TFindDialogKind kind);

} // namespace quillet
