// The modeless replace dialog on Qt: the find dialog with a replacement and two buttons more.
#include "dialogs/ReplaceDialog.h"

#include "resources/Strings.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillet {

TReplaceDialog::TReplaceDialog(QWidget* parent) : TFindDialog(parent) {
    setWindowTitle(QString::fromStdString(LoadStr(SReplaceCaption)));
    FReplaceEdit = new QLineEdit(this);
    auto* with = new QLabel(QString::fromStdString(LoadStr(SReplaceWith)), this);
    with->setBuddy(FReplaceEdit);
    FEdits->addWidget(with, 1, 0);
    FEdits->addWidget(FReplaceEdit, 1, 1);
    FReplace = new QPushButton(QString::fromStdString(LoadStr(SReplaceButton)), this);
    FReplaceAll = new QPushButton(QString::fromStdString(LoadStr(SReplaceAllButton)), this);
    // Under find-next, above cancel.
    FButtons->insertWidget(1, FReplace);
    FButtons->insertWidget(2, FReplaceAll);
    connect(FReplace, &QPushButton::clicked, this, [this] { Request(frReplace); });
    connect(FReplaceAll, &QPushButton::clicked, this, [this] { Request(frReplaceAll); });
    UpdateButtons();
}

void TReplaceDialog::UpdateButtons() {
    TFindDialog::UpdateButtons();
    if (!FReplace) return; // still being built
    bool any = FindNextButton()->isEnabled();
    FReplace->setEnabled(any);
    FReplaceAll->setEnabled(any);
}

std::string TReplaceDialog::ReplaceText() const {
    return FReplaceEdit->text().toStdString();
}

void TReplaceDialog::SetReplaceText(const std::string& text) {
    FReplaceEdit->setText(QString::fromStdString(text));
}

} // namespace quillet
