// The modeless find dialog on Qt, behind the platform's find-dialog interface.
#include "dialogs/FindDialog.h"

#include "dialogs/ReplaceDialog.h"
#include "resources/Strings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quillet {

namespace {
QString Text(int id) {
    return QString::fromStdString(LoadStr(id));
}
} // namespace

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Text(SFindCaption));
    setModal(false);
    auto* top = new QHBoxLayout(this); // Qt's parent-child ownership frees the widgets
    auto* left = new QVBoxLayout;
    FEdits = new QGridLayout;
    FFindEdit = new QLineEdit(this);
    auto* what = new QLabel(Text(SFindWhat), this);
    what->setBuddy(FFindEdit);
    FEdits->addWidget(what, 0, 0);
    FEdits->addWidget(FFindEdit, 0, 1);
    left->addLayout(FEdits);

    auto* options = new QHBoxLayout;
    auto* boxes = new QVBoxLayout;
    FWholeWord = new QCheckBox(Text(SWholeWordBox), this);
    FMatchCase = new QCheckBox(Text(SMatchCaseBox), this);
    boxes->addWidget(FWholeWord);
    boxes->addWidget(FMatchCase);
    boxes->addStretch();
    options->addLayout(boxes);
    auto* direction = new QGroupBox(Text(SDirectionGroup), this);
    auto* dirLayout = new QHBoxLayout(direction);
    FUp = new QRadioButton(Text(SDirectionUp), direction);
    FDown = new QRadioButton(Text(SDirectionDown), direction);
    FDown->setChecked(true);
    dirLayout->addWidget(FUp);
    dirLayout->addWidget(FDown);
    options->addWidget(direction);
    left->addLayout(options);
    top->addLayout(left, 1);

    FButtons = new QVBoxLayout;
    FFindNext = new QPushButton(Text(SFindNextButton), this);
    FFindNext->setDefault(true);
    FCancel = new QPushButton(Text(SCancelButton), this);
    FButtons->addWidget(FFindNext);
    FButtons->addWidget(FCancel);
    FButtons->addStretch();
    top->addLayout(FButtons);

    connect(FFindNext, &QPushButton::clicked, this, [this] { Request(frFindNext); });
    connect(FCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(FFindEdit, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
    UpdateButtons();
}

void TFindDialog::UpdateButtons() {
    bool any = !FFindEdit->text().isEmpty();
    FFindNext->setEnabled(any);
}

void TFindDialog::Request(TFindRequest request) {
    if (FFindEdit->text().isEmpty()) return;
    if (OnRequest) OnRequest(*this, request);
}

void TFindDialog::Show() {
    show();
    raise();
    activateWindow();
    FFindEdit->setFocus();
    FFindEdit->selectAll();
}

void TFindDialog::Close() {
    if (!isVisible()) return;
    hide();
    if (OnClose) OnClose(*this);
}

void TFindDialog::reject() {
    // Escape, Cancel and the title bar's close button all end up here.
    Close();
    QDialog::reject();
}

std::string TFindDialog::FindText() const {
    return FFindEdit->text().toStdString();
}

void TFindDialog::SetFindText(const std::string& text) {
    FFindEdit->setText(QString::fromStdString(text));
}

bool TFindDialog::MatchCase() const {
    return FMatchCase->isChecked();
}

void TFindDialog::SetMatchCase(bool on) {
    FMatchCase->setChecked(on);
}

bool TFindDialog::WholeWord() const {
    return FWholeWord->isChecked();
}

bool TFindDialog::Down() const {
    return FDown->isChecked();
}

std::unique_ptr<IFindDialog> CreateQtFindDialog(TFindDialogKind kind) {
    if (kind == fdkReplace) return std::make_unique<TReplaceDialog>();
    return std::make_unique<TFindDialog>();
}

} // namespace quillet
