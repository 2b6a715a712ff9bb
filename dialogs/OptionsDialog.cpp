// The options dialog: its pages, filling them from the working settings, OK, and the run.
#include "dialogs/OptionsDialog.h"

#include "dialogs/DropColorButton.h"
#include "dialogs/HotKey.h"
#include "dialogs/KeyAssignDialog.h"
#include "dialogs/SpinButton.h"
#include "dialogs/TwoColumnDelegate.h"
#include "editor/CodeMemoStrings.h"
#include "editor/Messages.h"
#include "platform/Platform.h"
#include "resources/Strings.h"
#include "widgets/CodeMemoWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quillet {

namespace {

QString Text(int id) {
    return QString::fromStdString(LoadStr(id));
}

struct TOptionBoxDef {
    int Caption;
    uint32_t Bit;
    bool Print;
};

// The option check boxes in their order, each with its bit of the options word.
constexpr TOptionBoxDef OptionBoxes[] = {
    {SOptWrapLongLines, 0x20, true},      {SOptLineNumbers, 0x40, true},
    {SOptTitleInHeader, 0x80, true},      {SOptDateInHeader, 0x100, true},
    {SOptPageNumbers, 0x200, true},       {SOptTitleAsFilename, 0x40000, true},
    {SOptWordWrap, 0x400, false},         {SOptOverrideWrapping, 0x2000, false},
    {SOptAutoIndent, 0x800, false},       {SOptSmartTab, 0x1000, false},
    {SOptSmartFill, 0x1000000, false},    {SOptUseTabChar, 0x800000, false},
    {SOptGutterNumbers, 0x1, false},      {SOptMarkWrapped, 0x200000, false},
    {SOptBlockCursor, 0x100000, false},   {SOptWordSelect, 0x4000, false},
    {SOptSyntaxHighlight, 0x10, false},   {SOptCaretBeyondEol, 0x8000000, false},
    {SOptShowAllChars, 0x4000000, false}, {SOptVisibleRightMargin, 0x8000, false},
    {SOptVisibleGutter, 0x10000, false},  {SOptShowWrapColumn, 0x20000, false},
};

QLabel* BuddyLabel(int caption, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(Text(caption), parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TOptionsDialog::TOptionsDialog(TCodeMemoParser& definition, uint8_t pageMask, QWidget* parent)
    : QDialog(parent), FDef(definition), FMask(pageMask) {
    ShowError = [](QWidget* p, const std::string& text) {
        QMessageBox::critical(p, QApplication::applicationDisplayName(),
                              QString::fromStdString(text), QMessageBox::Ok);
    };
    KeyAssign = [](QWidget* p, bool editMode, const std::string& command, TKeyPair& keys) {
        TKeyAssignDialog dialog(p);
        TShortCut first = editMode ? keys.first : 0, second = editMode ? keys.second : 0;
        bool ok =
            dialog.Run(first, second, editMode ? TKeyAssignDialog::kmEdit : TKeyAssignDialog::kmAdd,
                       LoadStr(SOptSecondKeyHint), LoadStr(SOptFirstKeyHint), command);
        if (ok) keys = {first, second};
        return ok;
    };
    FormCreate();
    InstallKeyPreview();
}

TOptionsDialog::~TOptionsDialog() {
    qApp->removeEventFilter(FKeyPreview);
    // The editors leave the definition before the definition gets its own users back.
    FSample->Memo().SetParser(1, nullptr);
    FTemplateMemo->Memo().SetParser(1, nullptr);
}

QCheckBox* TOptionsDialog::OptionBox(uint32_t bit) const {
    for (QCheckBox* box : FOptionBoxes)
        if (box->property("bit").toUInt() == bit) return box;
    return nullptr;
}

void TOptionsDialog::FormCreate() {
    setWindowTitle(Text(SOptCaption));
    setObjectName(QStringLiteral("OptionsDialog"));
    auto* top = new QVBoxLayout(this);
    FPages = new QTabWidget(this);
    top->addWidget(FPages, 1);
    auto* buttons = new QDialogButtonBox(this);
    FOK = buttons->addButton(Text(SOptOK), QDialogButtonBox::AcceptRole);
    FCancel = buttons->addButton(Text(SOptCancel), QDialogButtonBox::RejectRole);
    FOK->setDefault(true);
    connect(FOK, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    connect(FCancel, &QPushButton::clicked, this, &QDialog::reject);
    top->addWidget(buttons);

    FOptionsPage = BuildOptionsPage();
    FHighlightPage = BuildHighlightingPage();
    FKeysPage = BuildKeysPage();
    FAutoPage = BuildAutoCorrectPage();
    FTemplatesPage = BuildTemplatesPage();
    FSample->Memo().Perform(SM_REFRESH, 0, 0);
}

QWidget* TOptionsDialog::BuildOptionsPage() {
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    auto* group = new QGroupBox(Text(SOptGroupOptions), page);
    auto* groupRow = new QHBoxLayout(group);
    auto* print = new QGroupBox(Text(SOptPrintOptions), group);
    auto* general = new QGroupBox(Text(SOptGeneralOptions), group);
    auto* printColumn = new QVBoxLayout(print);
    auto* generalGrid = new QGridLayout(general);
    int generalCount = 0;
    for (const TOptionBoxDef& def : OptionBoxes) {
        auto* box = new QCheckBox(Text(def.Caption), def.Print ? print : general);
        box->setProperty("bit", def.Bit);
        connect(box, &QCheckBox::clicked, this, [this, box] { SHIFTSelectBoxClick(box); });
        FOptionBoxes.push_back(box);
        if (def.Print) {
            printColumn->addWidget(box);
        } else {
            generalGrid->addWidget(box, generalCount % 8, generalCount / 8);
            ++generalCount;
        }
    }
    printColumn->addStretch();
    groupRow->addWidget(print);
    groupRow->addWidget(general, 1);
    column->addWidget(group);

    auto* numbers = new QGridLayout;
    auto numberBox = [&](QLineEdit*& box, int caption, int row, int col) {
        box = new QLineEdit(page);
        box->setMaxLength(6);
        box->installEventFilter(this);
        numbers->addWidget(BuddyLabel(caption, box, page), row, col);
        return box;
    };
    auto spinned = [&](QLineEdit*& box, TSpinButton*& spin, int caption, int tag, int row) {
        numberBox(box, caption, row, 0);
        box->setProperty("tag", tag);
        spin = new TSpinButton(page);
        spin->SetTag(tag);
        spin->OnUpClick = [this](TSpinButton& s) { ParaSpinButtonUpClick(s); };
        spin->OnDownClick = [this](TSpinButton& s) { ParaSpinButtonDownClick(s); };
        auto* pair = new QHBoxLayout;
        pair->setSpacing(0);
        pair->addWidget(box);
        pair->addWidget(spin);
        numbers->addLayout(pair, row, 1);
        connect(box, &QLineEdit::textEdited, this, [this, box] { LeftBorderWidthBoxChange(box); });
    };
    spinned(FRightMarginBox, FRightMarginSpin, SOptRightMargin, 2, 0);
    spinned(FGutterBox, FGutterSpin, SOptGutterWidth, 1, 1);
    numbers->addWidget(numberBox(FIndentStepBox, SOptIndentStep, 0, 2), 0, 3);
    numbers->addWidget(numberBox(FWrapColumnBox, SOptWrapColumn, 1, 2), 1, 3);
    numbers->addWidget(numberBox(FTabColumnsBox, SOptTabColumns, 2, 0), 2, 1);
    numbers->addWidget(numberBox(FDeftabBox, SOptTabStop, 2, 2), 2, 3);
    FTabColumnsBox->setMaxLength(32767);
    FTabColumnsBox->removeEventFilter(this); // any text; checked on leaving
    numbers->setColumnStretch(1, 1);
    numbers->setColumnStretch(3, 1);
    column->addLayout(numbers);
    column->addStretch();
    FPages->addTab(page, Text(SOptPageOptions));
    return page;
}

QWidget* TOptionsDialog::BuildHighlightingPage() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    FLanguageBox = new QLineEdit(page);
    FLanguageBox->setReadOnly(true);
    grid->addWidget(BuddyLabel(SOptLanguageStyle, FLanguageBox, page), 0, 0);
    grid->addWidget(FLanguageBox, 0, 1, 1, 2);

    FElements = new QListWidget(page);
    auto* left = new QVBoxLayout;
    left->addWidget(BuddyLabel(SOptElement, FElements, page));
    left->addWidget(FElements, 1);
    grid->addLayout(left, 1, 0, 2, 1);
    connect(FElements, &QListWidget::currentRowChanged, this, [this] { SynElementsBoxClick(); });

    auto* attributes = new QGroupBox(Text(SOptTextAttributes), page);
    auto* attrColumn = new QVBoxLayout(attributes);
    FBold = new QCheckBox(Text(SOptBold), attributes);
    FItalic = new QCheckBox(Text(SOptItalic), attributes);
    FUnderline = new QCheckBox(Text(SOptUnderline), attributes);
    for (QCheckBox* box : {FBold, FItalic, FUnderline}) {
        attrColumn->addWidget(box);
        connect(box, &QCheckBox::clicked, this, [this] { UseBoldBoxClick(); });
    }
    attrColumn->addStretch();
    grid->addWidget(attributes, 1, 1);

    auto* defaults = new QGroupBox(Text(SOptUseDefaultsFor), page);
    auto* defGrid = new QGridLayout(defaults);
    FDefFore = new QCheckBox(Text(SOptForeground), defaults);
    FDefBack = new QCheckBox(Text(SOptBackground), defaults);
    FForeButton = new TDropColorButton(defaults);
    FBackButton = new TDropColorButton(defaults);
    FForeButton->setObjectName(QStringLiteral("ForeColorButton"));
    FBackButton->setObjectName(QStringLiteral("BackColorButton"));
    for (TDropColorButton* b : {FForeButton, FBackButton}) {
        b->setFixedWidth(124);
        b->setFocusPolicy(Qt::StrongFocus);
        b->OnColorChange = [this](TDropColorButton&) { ColorButtonChange(); };
    }
    defGrid->addWidget(FDefFore, 0, 0);
    defGrid->addWidget(FForeButton, 1, 0);
    defGrid->addWidget(FDefBack, 0, 1);
    defGrid->addWidget(FBackButton, 1, 1);
    defGrid->setVerticalSpacing(4); // the buttons sit 4 pixels under their captions
    for (QCheckBox* box : {FDefFore, FDefBack})
        connect(box, &QCheckBox::clicked, this, [this] { UseDefForeBoxClick(); });
    grid->addWidget(defaults, 1, 2);

    auto* fonts = new QGridLayout;
    FFontName = new QComboBox(page);
    FFontSize = new QComboBox(page);
    FCharset = new QComboBox(page);
    FFontName->setMinimumContentsLength(16);
    FFontName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    for (const char* size :
         {"8", "9", "10", "11", "12", "14", "16", "18", "20", "22", "24", "26", "30"})
        FFontSize->addItem(QString::fromLatin1(size));
    FFontSize->setEditable(true);
    fonts->addWidget(BuddyLabel(SOptFont, FFontName, page), 0, 0);
    fonts->addWidget(BuddyLabel(SOptSize, FFontSize, page), 0, 1);
    fonts->addWidget(BuddyLabel(SOptCharset, FCharset, page), 0, 2);
    fonts->addWidget(FFontName, 1, 0);
    fonts->addWidget(FFontSize, 1, 1);
    fonts->addWidget(FCharset, 1, 2);
    fonts->setColumnStretch(0, 2);
    fonts->setColumnStretch(2, 1);
    connect(FFontName, &QComboBox::activated, this, [this] { FontNameBoxChange(); });
    connect(FFontSize, &QComboBox::currentTextChanged, this, [this] { FontSizeBoxChange(); });
    connect(FCharset, &QComboBox::activated, this, [this] { FontFamilyBoxChange(); });
    grid->addLayout(fonts, 2, 1, 1, 2);

    FSample = new TCodeMemoWidget(page);
    FSample->setObjectName(QStringLiteral("Editor"));
    FSample->setMinimumHeight(120);
    TCodeMemo& sample = FSample->Memo();
    sample.SetParser(1, &FDef);
    sample.SetActiveParser(1);
    sample.SetReadOnly(true);
    FSample->viewport()->installEventFilter(this);
    grid->addWidget(FSample, 3, 0, 1, 3);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(0, 1);
    FPages->addTab(page, Text(SOptPageHighlighting));
    return page;
}

QWidget* TOptionsDialog::BuildKeysPage() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    FCommands = new QListWidget(page);
    FCommandKeys = new QListWidget(page);
    FCommandKeys->installEventFilter(this);
    grid->addWidget(BuddyLabel(SOptCommands, FCommands, page), 0, 0);
    grid->addWidget(FCommands, 1, 0, 4, 1);
    grid->addWidget(BuddyLabel(SOptUsesKeys, FCommandKeys, page), 0, 1);
    grid->addWidget(FCommandKeys, 1, 1, 4, 1);
    FAddKey = new QPushButton(Text(SOptAdd) + QStringLiteral("..."), page);
    FDeleteKey = new QPushButton(Text(SOptDelete), page);
    FEditKey = new QPushButton(Text(SOptEdit) + QStringLiteral("..."), page);
    grid->addWidget(FAddKey, 1, 2);
    grid->addWidget(FDeleteKey, 2, 2);
    grid->addWidget(FEditKey, 3, 2);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    connect(FCommands, &QListWidget::currentRowChanged, this,
            [this] { CommandDescListBoxClick(); });
    connect(FCommandKeys, &QListWidget::currentRowChanged, this, [this] { UpdateKeyButtons(); });
    connect(FAddKey, &QPushButton::clicked, this, [this] { AddButtonClick(); });
    connect(FDeleteKey, &QPushButton::clicked, this, [this] { DeleteButtonClick(); });
    connect(FEditKey, &QPushButton::clicked, this, [this] { EditButtonClick(); });
    FPages->addTab(page, Text(SOptPageKeys));
    return page;
}

QWidget* TOptionsDialog::BuildAutoCorrectPage() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    FReplaceBox = new QLineEdit(page);
    FWithBox = new QLineEdit(page);
    grid->addWidget(BuddyLabel(SOptReplace, FReplaceBox, page), 0, 0);
    grid->addWidget(BuddyLabel(SOptWith, FWithBox, page), 0, 1);
    grid->addWidget(FReplaceBox, 1, 0);
    grid->addWidget(FWithBox, 1, 1);
    FAutoList = new QListWidget(page);
    FAutoList->setItemDelegate(new TTwoColumnDelegate(FAutoList));
    grid->addWidget(FAutoList, 2, 0, 3, 2);
    FAutoButton1 = new QPushButton(Text(SOptAdd), page);
    FAutoButton2 = new QPushButton(Text(SOptReplaceButton), page);
    grid->addWidget(FAutoButton1, 1, 2);
    grid->addWidget(FAutoButton2, 2, 2, Qt::AlignTop);
    FActKeysBox = new QLineEdit(page);
    grid->addWidget(BuddyLabel(SOptActKeys, FActKeysBox, page), 5, 0);
    grid->addWidget(FActKeysBox, 5, 1);
    FActKeysBox->installEventFilter(this);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 2);
    connect(FAutoList, &QListWidget::itemClicked, this, [this] { AutoReplBoxClick(); });
    connect(FReplaceBox, &QLineEdit::textEdited, this, [this] { ReplaceBoxChange(); });
    connect(FWithBox, &QLineEdit::textEdited, this, [this] { ReplaceBoxChange(); });
    connect(FAutoButton1, &QPushButton::clicked, this, [this] { AutoReplButton1Click(); });
    connect(FAutoButton2, &QPushButton::clicked, this, [this] { AutoReplButton2Click(); });
    FPages->addTab(page, Text(SOptPageAutoCorrect));
    return page;
}

QWidget* TOptionsDialog::BuildTemplatesPage() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    FTemplateList = new QListWidget(page);
    FTemplateList->setItemDelegate(new TTwoColumnDelegate(FTemplateList));
    grid->addWidget(FTemplateList, 0, 0, 1, 3);
    FNameBox = new QLineEdit(page);
    FDescBox = new QLineEdit(page);
    FHotkeyBox = new TCM_HotKey(page);
    FHotkeyBox->installEventFilter(this);
    grid->addWidget(BuddyLabel(SOptName, FNameBox, page), 1, 0);
    grid->addWidget(BuddyLabel(SOptDescription, FDescBox, page), 1, 1);
    grid->addWidget(BuddyLabel(SOptHotkey, FHotkeyBox, page), 1, 2);
    grid->addWidget(FNameBox, 2, 0);
    grid->addWidget(FDescBox, 2, 1);
    grid->addWidget(FHotkeyBox, 2, 2);
    FTemplateMemo = new TCodeMemoWidget(page);
    FTemplateMemo->setObjectName(QStringLiteral("CodeMemo1"));
    FTemplateMemo->setMinimumHeight(100);
    TCodeMemo& memo = FTemplateMemo->Memo();
    memo.SetParser(1, &FDef);
    memo.SetActiveParser(1);
    grid->addWidget(BuddyLabel(SOptCodeTemplate, FTemplateMemo, page), 3, 0);
    grid->addWidget(FTemplateMemo, 4, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    FTemplateButton1 = new QPushButton(Text(SOptAdd), page);
    FTemplateButton2 = new QPushButton(Text(SOptReplaceButton), page);
    buttons->addStretch();
    buttons->addWidget(FTemplateButton1);
    buttons->addWidget(FTemplateButton2);
    grid->addLayout(buttons, 5, 0, 1, 3);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(1, 1);
    connect(FTemplateList, &QListWidget::itemClicked, this, [this] { cteListBoxClick(); });
    connect(FNameBox, &QLineEdit::textEdited, this, [this] { cteNameBoxChange(); });
    connect(FDescBox, &QLineEdit::textEdited, this, [this] { cteNameBoxChange(); });
    connect(FTemplateButton1, &QPushButton::clicked, this, [this] { CodeTemplateButton1Click(); });
    connect(FTemplateButton2, &QPushButton::clicked, this, [this] { CodeTemplateButton2Click(); });
    memo.OnTextChange = [this](TCustomCodeMemo&, int, int) {
        if (!FSetting) cteNameBoxChange();
    };
    // Whatever is dropped comes in as a copy of plain text.
    memo.OnDataDrop = [](TCustomCodeMemo&, TSourceTypes& types) {
        types = TSourceTypes((types & ~dsHtml) | dsInsertUnchanged);
    };
    FPages->addTab(page, Text(SOptPageTemplates));
    return page;
}

void TOptionsDialog::showEvent(QShowEvent* event) {
    if (!FShown) {
        FShown = true;
        FormShow();
    }
    QDialog::showEvent(event);
}

void TOptionsDialog::FormShow() {
    FSetting = true;
    ShowOptions();
    ShowHighlighting();
    ShowKeys();
    ShowAutoCorrect();
    ShowTemplates();
    FSetting = false;
    if (FElements->count() > 0) {
        FElements->setCurrentRow(0);
        SynElementsBoxClick();
    }
    RefreshSample();
    if (SelectedCommand()) CommandDescListBoxClick();
    // Only the pages of the mask keep a tab; the first of the preferred order is shown.
    QWidget* pages[] = {FOptionsPage, FHighlightPage, FKeysPage, FAutoPage, FTemplatesPage};
    for (int i = 4; i >= 0; --i)
        if (!(FMask & (1 << i))) FPages->removeTab(FPages->indexOf(pages[i]));
    for (QWidget* preferred : {FHighlightPage, FOptionsPage, FKeysPage, FAutoPage, FTemplatesPage})
        if (FPages->indexOf(preferred) >= 0) {
            FPages->setCurrentWidget(preferred);
            break;
        }
}

void TOptionsDialog::ShowOptions() {
    TCodeMemo& sample = Sample();
    FRightMarginBox->setText(QString::number(Working().RightMargin));
    FGutterBox->setText(QString::number(Working().GutterWidth));
    sample.Lines().BeginUpdate();
    sample.Perform(SM_OPTIONS, smSET, LPARAM(Working().Options));
    sample.SetText(Working().ExampleText);
    sample.SetSelection(0, 0);
    sample.Lines().EndUpdate();
    uint32_t options = Working().Options;
    for (QCheckBox* box : FOptionBoxes)
        box->setChecked(options & box->property("bit").toUInt());
    UpdateDependentBoxes();
    FIndentStepBox->setText(QString::number(sample.IndentStep()));
    FWrapColumnBox->setText(QString::number(sample.WrapAtColumn()));
    FTabColumnsBox->setText(QString::fromStdString(sample.TabColumns()));
    FDeftabBox->setText(QString::number(sample.TabDefault()));
}

void TOptionsDialog::ShowHighlighting() {
    FLanguageBox->setText(QString::fromStdString(Working().Name));
    FElements->clear();
    for (const TEditableStyle& style : Working().EditableStyles) {
        auto* item = new QListWidgetItem(QString::fromStdString(style.Name), FElements);
        item->setData(Qt::UserRole, int(style.Style));
    }
    for (auto [caption, code] :
         {std::pair{SOptSelectedText, ElementSelectedText},
          std::pair{SOptLeftMargin, ElementLeftMargin}, std::pair{SOptGutter, ElementGutter}}) {
        auto* item = new QListWidgetItem(Text(caption), FElements);
        item->setData(Qt::UserRole, code);
    }
    // The character sets by name; choosing one lists its fonts.
    static const std::pair<int, const char*> charsets[] = {
        {0, "ANSI"},           {1, "Default"},   {2, "Symbol"},    {77, "MAC"},
        {128, "SHIFTJIS"},     {129, "Hangeul"}, {130, "Johab"},   {134, "GB2312"},
        {136, "Chinese Big5"}, {161, "Greek"},   {162, "Turkish"}, {177, "Hebrew"},
        {178, "Arabic"},       {186, "Baltic"},  {204, "Russian"}, {222, "Thai"},
        {238, "East Europe"},  {255, "OEM"}};
    std::vector<std::pair<std::string, int>> sorted;
    for (auto [value, name] : charsets)
        sorted.emplace_back(name, value);
    std::sort(sorted.begin(), sorted.end());
    FCharset->clear();
    for (const auto& [name, value] : sorted)
        FCharset->addItem(QString::fromStdString(name), value);
    FillFontNames(DEFAULT_CHARSET);
    int charset = FCharset->findData(int(Working().FontCharset));
    if (charset >= 0) {
        FCharset->setCurrentIndex(charset);
        FillFontNames(Working().FontCharset);
    }
    FFontName->setCurrentIndex(FFontName->findText(QString::fromStdString(Working().FontName)));
    int size = Working().FontSize;
    if (size < 0) size = (-size * 72 + 48) / 96; // pixels at 96 dpi
    FFontSize->setCurrentText(QString::number(size));
}

void TOptionsDialog::OKButtonClick() {
    // The box being typed in counts as left: a refused value keeps the dialog open.
    if (!ApplyFocusedBox()) {
        FSwallowKey = true;
        return;
    }
    // A new key table from the command records: a refused binding keeps the dialog open.
    FError = false;
    TKeyboardActionContoller& working = Working().KeyStore;
    TKeyboardActionContoller fresh = working;
    fresh.Store().Clear();
    for (TCommandKeys& rec : FCommandRecords) {
        fresh.SetCommandName(rec.Id, rec.Name);
        if (!rec.Filled && !rec.Changed) FillCommandKeys(rec);
    }
    for (const TCommandKeys& rec : FCommandRecords)
        for (const TKeyPair& keys : rec.Keys) {
            try {
                fresh.AddBinding(keys.first, keys.second, rec.Id);
            } catch (const EQuilletError& e) {
                FError = true;
                FSwallowKey = true;
                ShowError(this, e.what());
                return;
            }
        }
    working = fresh;
    accept();
}

std::function<void(TOptionsDialog&)>& OptionsDialogShown() {
    static std::function<void(TOptionsDialog&)> hook;
    return hook;
}

bool ExecOptionsDialog(TCodeMemoParser& definition, uint8_t pageMask) {
    TOptionsDialog dialog(definition, pageMask, QApplication::activeWindow());
    if (OptionsDialogShown()) OptionsDialogShown()(dialog);
    return dialog.exec() == QDialog::Accepted;
}

void InstallOptionsDialog() {
    OptionsDialogHook() = ExecOptionsDialog;
}

} // namespace quillet
