// The two-step wizard in which the user presses the one or two keys that run an editor command.
#include "dialogs/KeyAssignDialog.h"

#include "platform/qt/QtConvert.h"
#include "resources/Strings.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quillet {

namespace {

QString Text(int id) {
    return ToQString(LoadStr(id));
}

bool Inside(const QWidget* widget, const QWidget* panel) {
    return widget && (widget == panel || panel->isAncestorOf(widget));
}

} // namespace

TKeyAssignDialog::TKeyAssignDialog(QWidget* parent) : QDialog(parent) {
    FormCreate();
}

QWidget* TKeyAssignDialog::BuildStep(int step, QLabel*& info, TCM_HotKey*& box,
                                     QPushButton*& clear) {
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("Step%1Panel").arg(step));
    panel->setProperty("tag", step);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(15);
    grid->setVerticalSpacing(6);

    auto* heading = new QLabel(Text(SKeyDlgStep) + QStringLiteral(" %1").arg(step), panel);
    heading->setObjectName(QStringLiteral("Step%1Heading").arg(step));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    grid->addWidget(heading, 0, 0, 1, 2);

    info = new QLabel(panel);
    info->setObjectName(QStringLiteral("Info%1Label").arg(step));
    info->setWordWrap(true);
    // The design's 225 pixels, wider when the font is.
    info->setFixedWidth(std::max(225, 40 * info->fontMetrics().averageCharWidth()));
    info->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(info, 1, 0, 3, 1, Qt::AlignTop);

    box = new TCM_HotKey(panel);
    box->setObjectName(QStringLiteral("Key%1Box").arg(step));
    box->OnChange = [this](TCM_HotKey&) { Edit1Change(); };
    info->setBuddy(box);
    grid->addWidget(box, 1, 1, Qt::AlignTop);

    clear = new QPushButton(Text(SKeyDlgClear), panel);
    clear->setObjectName(QStringLiteral("ClearKey%1Button").arg(step));
    clear->setAutoDefault(false);
    grid->addWidget(clear, 2, 1, Qt::AlignRight | Qt::AlignTop);
    grid->setRowStretch(3, 1);
    return panel;
}

void TKeyAssignDialog::FormCreate() {
    setObjectName(QStringLiteral("KeyAssignDialog"));
    auto* column = new QVBoxLayout(this); // Qt's parent-child ownership frees the widgets
    column->setSizeConstraint(QLayout::SetFixedSize); // the window follows its contents

    FWizard = new QStackedWidget(this);
    FWizard->setObjectName(QStringLiteral("WizardArea"));
    FPanel1 = BuildStep(1, FInfo1, FKey1, FClear1);
    FPanel2 = BuildStep(2, FInfo2, FKey2, FClear2);
    FWizard->addWidget(FPanel1);
    FWizard->addWidget(FPanel2);
    column->addWidget(FWizard);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    column->addWidget(rule);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    FBack = new QPushButton(Text(SKeyDlgBack), this);
    FBack->setObjectName(QStringLiteral("BackButton"));
    FNext = new QPushButton(Text(SKeyDlgNext), this);
    FNext->setObjectName(QStringLiteral("NextButton"));
    FCancel = new QPushButton(Text(SKeyDlgCancel), this);
    FCancel->setObjectName(QStringLiteral("CancelButton"));
    for (QPushButton* b : {FBack, FNext, FCancel}) {
        b->setAutoDefault(false); // Return in a key box is a key to record
        buttons->addWidget(b);
    }
    column->addLayout(buttons);

    connect(FNext, &QPushButton::clicked, this, [this] { NextButtonClick(); });
    connect(FBack, &QPushButton::clicked, this, [this] { BackButtonClick(); });
    connect(FCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(FClear1, &QPushButton::clicked, this, [this] { ClearKey1ButtonClick(); });
    connect(FClear2, &QPushButton::clicked, this, [this] { ClearKey2ButtonClick(); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (Inside(now, FPanel1) && !Inside(old, FPanel1)) Step1PanelEnter();
        if (Inside(now, FPanel2) && !Inside(old, FPanel2)) Step2PanelEnter();
    });

    FStep = 1;
    FWizard->setCurrentWidget(FPanel1);
    UpdateButtons();
}

bool TKeyAssignDialog::Run(TShortCut& key1, TShortCut& key2, int mode, const std::string& step2Text,
                           const std::string& step1Text, const std::string& commandName) {
    FMode = mode;
    FInKey1 = key1;
    FInKey2 = key2;
    std::string caption = mode == kmEdit  ? LoadStr(SKeyDlgEditPrefix)
                          : mode == kmAdd ? LoadStr(SKeyDlgAddPrefix)
                                          : std::string();
    setWindowTitle(ToQString(caption + LoadStr(SKeyDlgPairFor) + commandName));
    FInfo1->setText(ToQString(step1Text));
    FInfo2->setText(ToQString(step2Text));
    // A dialog run again starts from the first step, not where the last run finished.
    ShowStep(1);
    bool ok = exec() == QDialog::Accepted;
    key1 = FKey1->HotKey();
    key2 = FKey2->HotKey();
    return ok;
}

void TKeyAssignDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) FormShow();
}

void TKeyAssignDialog::FormShow() {
    if (FMode == kmAdd) {
        FKey1->SetHotKey(scNone);
        FKey2->SetHotKey(scNone);
    } else {
        FKey1->SetHotKey(FInKey1);
        FKey2->SetHotKey(FInKey2);
    }
    UpdateButtons();
    KeyBox(FStep)->setFocus();
}

void TKeyAssignDialog::UpdateButtons() {
    bool onSecond = FStep == 2;
    bool haveFirst = FKey1->HotKey() != scNone;
    FNext->setText(Text(onSecond ? SKeyDlgFinish : SKeyDlgNext));
    FNext->setEnabled(haveFirst);
    FBack->setEnabled(onSecond);
    FClear1->setEnabled(FNext->isEnabled());
    FClear2->setEnabled(FKey2->HotKey() != scNone);
}

void TKeyAssignDialog::ShowStep(int step) {
    FStep = step;
    FWizard->setCurrentWidget(step == 1 ? FPanel1 : FPanel2);
    UpdateButtons();
}

void TKeyAssignDialog::NextButtonClick() {
    if (FKey1->HotKey() == scNone) return; // only a first key makes a binding
    if (FStep == 2) {
        accept();
        return;
    }
    ShowStep(2);
    FKey2->setFocus();
}

void TKeyAssignDialog::BackButtonClick() {
    if (FStep != 2) return;
    ShowStep(1);
    FKey1->setFocus();
}

void TKeyAssignDialog::ClearKey1ButtonClick() {
    FKey1->SetHotKey(scNone);
    UpdateButtons();
    FKey1->setFocus();
}

void TKeyAssignDialog::ClearKey2ButtonClick() {
    FKey2->SetHotKey(scNone);
    UpdateButtons();
    FKey2->setFocus();
}

void TKeyAssignDialog::Step1PanelEnter() {
    FKey1->setFocus();
}

void TKeyAssignDialog::Step2PanelEnter() {
    FKey2->setFocus();
}

void TKeyAssignDialog::Edit1Change() {
    UpdateButtons();
}

} // namespace quillet
