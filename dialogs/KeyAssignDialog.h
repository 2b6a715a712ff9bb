// The two-step wizard in which the user presses the one or two keys that run an editor command.
#pragma once

#include "dialogs/HotKey.h"

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace quillet {

class TKeyAssignDialog : public QDialog {
public:
    enum TMode { kmEdit = 0, kmAdd = 1 }; // any other mode is neither

    explicit TKeyAssignDialog(QWidget* parent = nullptr);

    // Shows the dialog modally for the command `commandName`. Edit mode starts from key1 and
    // key2, add mode from empty boxes. Both keys are set from the boxes on every return, also
    // after Cancel; the result is true only when the user pressed "Finish".
    bool Run(TShortCut& key1, TShortCut& key2, int mode, const std::string& step2Text,
             const std::string& step1Text, const std::string& commandName);

    int Step() const { return FStep; }
    TCM_HotKey* KeyBox(int step) const { return step == 1 ? FKey1 : FKey2; }
    QPushButton* ClearButton(int step) const { return step == 1 ? FClear1 : FClear2; }
    QPushButton* NextButton() const { return FNext; }
    QPushButton* BackButton() const { return FBack; }
    QPushButton* CancelButton() const { return FCancel; }
    QLabel* InfoLabel(int step) const { return step == 1 ? FInfo1 : FInfo2; }
    QWidget* StepPanel(int step) const { return step == 1 ? FPanel1 : FPanel2; }

    void NextButtonClick();
    void BackButtonClick();
    void ClearKey1ButtonClick();
    void ClearKey2ButtonClick();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void FormCreate();
    void FormShow();
    void Step1PanelEnter();
    void Step2PanelEnter();
    void Edit1Change();
    void UpdateButtons();
    void ShowStep(int step);
    QWidget* BuildStep(int step, QLabel*& info, TCM_HotKey*& box, QPushButton*& clear);

    int FMode = kmEdit;
    TShortCut FInKey1 = scNone;
    TShortCut FInKey2 = scNone;
    int FStep = 1;
    QStackedWidget* FWizard = nullptr;
    QWidget* FPanel1 = nullptr;
    QWidget* FPanel2 = nullptr;
    QLabel* FInfo1 = nullptr;
    QLabel* FInfo2 = nullptr;
    TCM_HotKey* FKey1 = nullptr;
    TCM_HotKey* FKey2 = nullptr;
    QPushButton* FClear1 = nullptr;
    QPushButton* FClear2 = nullptr;
    QPushButton* FBack = nullptr;
    QPushButton* FNext = nullptr;
    QPushButton* FCancel = nullptr;
};

} // namespace quillet
