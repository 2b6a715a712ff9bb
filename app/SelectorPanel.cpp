#include "app/SelectorPanel.h"

#include "app/MainForm.h"
#include "platform/Platform.h"
#include "platform/qt/QtConvert.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>
#include <QToolButton>

#include <cctype>

namespace quillet {

const std::vector<TColor>& PickerColors() {
    static const std::vector<TColor> colors = {
        RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
        RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(128, 128, 128),
        RGB(192, 192, 192), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
        RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};
    return colors;
}

std::string CssFamilyName(const std::string& name) {
    static const char* const keywords[] = {
        "serif", "sans-serif", "monospace", "cursive", "fantasy", "system-ui", "math",
        "emoji", "fangsong",   "inherit",   "initial", "unset",   "revert",    "default"};
    bool plain = !name.empty() && name[0] != '-';
    for (char c : name)
        plain = plain && (std::isalpha(static_cast<unsigned char>(c)) || c == '-');
    std::string lower;
    for (char c : name)
        lower += char(std::tolower(static_cast<unsigned char>(c)));
    for (const char* keyword : keywords)
        plain = plain && lower != keyword;
    if (plain) return name;
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string CssFontFamily(const TFontFamily& family) {
    static const char* const generic[] = {"serif", "sans-serif", "monospace"};
    return CssFamilyName(family.Name) + ", " + generic[family.Generic];
}

namespace {

// The font list's item data: the whole value of the declaration, and the name alone.
constexpr int FamilyValueRole = Qt::UserRole;
constexpr int FamilyNameRole = Qt::UserRole + 1;

QStringList Items(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* item : items)
        out << QString::fromUtf8(item);
    return out;
}

// An editable list: the user picks an item or types any text.
QComboBox* ValueBox(QWidget* parent, const char* name, const char* text, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->setEditText(QString::fromUtf8(text));
    return box;
}

// A picker of colour swatches without names.
QComboBox* ColorPicker(QWidget* parent, const char* name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    for (TColor c : PickerColors()) {
        QPixmap swatch(28, 12);
        swatch.fill(QColor(GetRValue(c), GetGValue(c), GetBValue(c)));
        QPainter p(&swatch);
        p.setPen(Qt::black);
        p.drawRect(0, 0, 27, 11);
        p.end();
        box->addItem(QIcon(swatch), QString(), QVariant::fromValue(uint(c)));
    }
    box->setIconSize(QSize(28, 12));
    box->setCurrentIndex(0);
    return box;
}

QToolButton* InsertButton(QWidget* parent, const char* name) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoRaise(true);
    b->setArrowType(Qt::LeftArrow);
    b->setFixedSize(18, 18);
    return b;
}

std::string Text(const QComboBox* box) {
    return FromQString(box->currentText());
}
std::string Text(const QLineEdit* edit) {
    return FromQString(edit->text());
}
// The picked family as a style sheet writes it; empty while none is picked.
std::string FontText(const QComboBox* box, int role) {
    return FromQString(box->currentData(role).toString());
}

} // namespace

TSelectorPanel::TSelectorPanel(std::function<void(const std::string&)> insert, QWidget* parent)
    : QWidget(parent), FInsert(std::move(insert)) {
    auto* column = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("Селектор"), this);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    head->addWidget(caption);
    SelectComboBox = ValueBox(
        this, "SelectComboBox", "a",
        Items({"a",        "a:link", "a:visited", "a:active", "a:hover", "b",     "blockquote",
               "body",     "button", "code",      "dd",       "div",     "em",    "form",
               "h1",       "h2",     "h3",        "h4",       "h5",      "h6",    "hr",
               "i",        "input",  "li",        "ol",       "p",       "pre",   "s",
               "small",    "span",   "strong",    "sub",      "sup",     "table", "td",
               "textarea", "th",     "tr",        "u",        "ul"}));
    head->addWidget(SelectComboBox, 1);
    column->addLayout(head);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    column->addWidget(line);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(3);
    column->addLayout(grid);
    int row = 0;
    auto check = [this](const char* name, const char* caption) {
        auto* b = new QCheckBox(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    // One row: its insert button, its check box and its value controls.
    auto addRow = [&](QToolButton* button, QCheckBox* box, QWidget* value, QWidget* extra) {
        grid->addWidget(button, row, 0);
        grid->addWidget(box, row, 1);
        if (extra) {
            auto* pair = new QHBoxLayout;
            pair->addWidget(value, 1);
            pair->addWidget(extra);
            grid->addLayout(pair, row, 2);
        } else {
            grid->addWidget(value, row, 2);
        }
        ++row;
    };

    AFontSpeedButton = InsertButton(this, "AFontSpeedButton");
    FontCheckBox = check("FontCheckBox", "Font-family");
    FontComboBox = new QComboBox(this);
    FontComboBox->setObjectName(QStringLiteral("FontComboBox"));
    for (const TFontFamily& family : Platform().Fonts->Families()) {
        FontComboBox->addItem(ToQString(family.Name));
        int item = FontComboBox->count() - 1;
        FontComboBox->setItemData(item, QFont(ToQString(family.Face)), Qt::FontRole);
        FontComboBox->setItemData(item, ToQString(CssFontFamily(family)), FamilyValueRole);
        FontComboBox->setItemData(item, ToQString(CssFamilyName(family.Name)), FamilyNameRole);
    }
    FontComboBox->setCurrentIndex(-1); // no font picked at start
    FontNextSpeedButton = InsertButton(this, "FontNextSpeedButton");
    FontNextSpeedButton->setArrowType(Qt::NoArrow);
    FontNextSpeedButton->setText(QStringLiteral(","));
    addRow(AFontSpeedButton, FontCheckBox, FontComboBox, FontNextSpeedButton);

    AFSizeSpeedButton = InsertButton(this, "AFSizeSpeedButton");
    FontSizeCheckBox = check("FontSizeCheckBox", "Font-size");
    FSizeComboBox = ValueBox(this, "FSizeComboBox", "10",
                             Items({"6", "8", "10", "12", "14", "16", "18", "20"}));
    FizmComboBox = ValueBox(this, "FizmComboBox", "pt", Items({"%", "mm", "pt", "px"}));
    FizmComboBox->setMaximumWidth(56);
    addRow(AFSizeSpeedButton, FontSizeCheckBox, FSizeComboBox, FizmComboBox);

    FWeightSpeedButton = InsertButton(this, "FWeightSpeedButton");
    FWeightCheckBox = check("FWeightCheckBox", "Font-weight");
    FWeightComboBox = ValueBox(this, "FWeightComboBox", "normal",
                               Items({"normal", "bold", "bolder", "lighter", "100", "200", "300",
                                      "400", "500", "600", "700", "800", "900"}));
    addRow(FWeightSpeedButton, FWeightCheckBox, FWeightComboBox, nullptr);

    AColorSpeedButton = InsertButton(this, "AColorSpeedButton");
    ColorCheckBox = check("ColorCheckBox", "Color");
    ColorEdit = new QLineEdit(QStringLiteral("#000000"), this);
    ColorEdit->setObjectName(QStringLiteral("ColorEdit"));
    ColorComboBox = ColorPicker(this, "ColorComboBox");
    addRow(AColorSpeedButton, ColorCheckBox, ColorEdit, ColorComboBox);

    AColorBackSpeedButton = InsertButton(this, "AColorBackSpeedButton");
    ColorBackCheckBox = check("ColorBackCheckBox", "Background-color");
    ColorBackEdit = new QLineEdit(QStringLiteral("#000000"), this);
    ColorBackEdit->setObjectName(QStringLiteral("ColorBackEdit"));
    ColorBackComboBox = ColorPicker(this, "ColorBackComboBox");
    addRow(AColorBackSpeedButton, ColorBackCheckBox, ColorBackEdit, ColorBackComboBox);

    ATextDecSpeedButton = InsertButton(this, "ATextDecSpeedButton");
    TextDecCheckBox = check("TextDecCheckBox", "Text-decoration");
    TextDecComboBox = ValueBox(this, "TextDecComboBox", "none",
                               Items({"blink", "line-through", "none", "overline", "underline"}));
    addRow(ATextDecSpeedButton, TextDecCheckBox, TextDecComboBox, nullptr);

    ATextAlSpeedButton = InsertButton(this, "ATextAlSpeedButton");
    TextAlCheckBox = check("TextAlCheckBox", "Text-align");
    TextAlComboBox =
        ValueBox(this, "TextAlComboBox", "left", Items({"left", "center", "right", "justify"}));
    addRow(ATextAlSpeedButton, TextAlCheckBox, TextAlComboBox, nullptr);

    TextTransSpeedButton = InsertButton(this, "TextTransSpeedButton");
    TextTransCheckBox = check("TextTransCheckBox", "Text-transform");
    TextTransComboBox = ValueBox(this, "TextTransComboBox", "none",
                                 Items({"capitalize", "uppercase", "lowercase", "none"}));
    addRow(TextTransSpeedButton, TextTransCheckBox, TextTransComboBox, nullptr);

    ABorderSpeedButton = InsertButton(this, "ABorderSpeedButton");
    BorderCheckBox = check("BorderCheckBox", "Border");
    BorderComboBox = ValueBox(this, "BorderComboBox", "3",
                              Items({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
    addRow(ABorderSpeedButton, BorderCheckBox, BorderComboBox, nullptr);

    ABorderStSpeedButton = InsertButton(this, "ABorderStSpeedButton");
    BorderStCheckBox = check("BorderStCheckBox", "Border-style");
    BorderStComboBox = ValueBox(this, "BorderStComboBox", "none",
                                Items({"none", "solid", "double", "groove", "ridge", "inset",
                                       "outset", "dotted", "dashed"}));
    addRow(ABorderStSpeedButton, BorderStCheckBox, BorderStComboBox, nullptr);

    AddSelButton = new QPushButton(QStringLiteral("Добавить"), this);
    AddSelButton->setObjectName(QStringLiteral("AddSelButton"));
    column->addWidget(AddSelButton, 0, Qt::AlignRight);
    column->addStretch(1);

    FRows = {
        {FontCheckBox, "font-family", [this] { return FontText(FontComboBox, FamilyValueRole); }},
        {FontSizeCheckBox, "font-size",
         [this] { return Text(FSizeComboBox) + Text(FizmComboBox); }},
        {FWeightCheckBox, "font-weight", [this] { return Text(FWeightComboBox); }},
        {ColorCheckBox, "color", [this] { return Text(ColorEdit); }},
        {ColorBackCheckBox, "background-color", [this] { return Text(ColorBackEdit); }},
        {TextDecCheckBox, "text-decoration", [this] { return Text(TextDecComboBox); }},
        {TextAlCheckBox, "text-align", [this] { return Text(TextAlComboBox); }},
        {TextTransCheckBox, "text-transform", [this] { return Text(TextTransComboBox); }},
        {BorderCheckBox, "border", [this] { return Text(BorderComboBox); }},
        {BorderStCheckBox, "border-style", [this] { return Text(BorderStComboBox); }},
    };
    // Each row's button writes its one declaration, ticked or not.
    QToolButton* buttons[] = {AFontSpeedButton,    AFSizeSpeedButton,     FWeightSpeedButton,
                              AColorSpeedButton,   AColorBackSpeedButton, ATextDecSpeedButton,
                              ATextAlSpeedButton,  TextTransSpeedButton,  ABorderSpeedButton,
                              ABorderStSpeedButton};
    for (size_t i = 0; i < FRows.size(); ++i)
        QObject::connect(buttons[i], &QToolButton::clicked, this,
                         [this, i] { Insert(FRows[i].Property + ": " + FRows[i].Value() + ";"); });
    QObject::connect(FontNextSpeedButton, &QToolButton::clicked, this,
                     [this] { Insert(FontText(FontComboBox, FamilyNameRole)); });
    QObject::connect(AddSelButton, &QPushButton::clicked, this, [this] { AddSelButtonClick(); });
    auto follow = [this](QComboBox* picker, QLineEdit* edit) {
        QObject::connect(picker, &QComboBox::currentIndexChanged, this, [picker, edit](int index) {
            if (index < 0) return;
            TColor c = TColor(picker->itemData(index).toUInt());
            edit->setText(ToQString("#" + ColorToCssHex(c)));
        });
    };
    follow(ColorComboBox, ColorEdit);
    follow(ColorBackComboBox, ColorBackEdit);
}

void TSelectorPanel::AddSelButtonClick() {
    // One insertion per line: each lands at the caret the one before left.
    Insert(Text(SelectComboBox) + "\r\n{\r\n");
    for (const TRow& row : FRows)
        if (row.Box->isChecked()) Insert("  " + row.Property + ": " + row.Value() + ";\r\n");
    Insert("}\r\n");
}

} // namespace quillet
