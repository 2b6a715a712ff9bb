// The selector builder: a rule or one declaration composed from check boxes and value lists.
#pragma once

#include "platform/Fonts.h"
#include "platform/Types.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace quillet {

class TSelectorPanel : public QWidget {
public:
    // Every text goes to `insert`, which replaces the editor's selection with it.
    explicit TSelectorPanel(std::function<void(const std::string&)> insert,
                            QWidget* parent = nullptr);

    // The whole rule: the selector, a line per ticked row, the closing brace.
    void AddSelButtonClick();

    QComboBox *SelectComboBox, *FontComboBox, *FSizeComboBox, *FizmComboBox, *FWeightComboBox,
        *ColorComboBox, *ColorBackComboBox, *TextDecComboBox, *TextAlComboBox, *TextTransComboBox,
        *BorderComboBox, *BorderStComboBox;
    QLineEdit *ColorEdit, *ColorBackEdit;
    QCheckBox *FontCheckBox, *FontSizeCheckBox, *FWeightCheckBox, *ColorCheckBox,
        *ColorBackCheckBox, *TextDecCheckBox, *TextAlCheckBox, *TextTransCheckBox, *BorderCheckBox,
        *BorderStCheckBox;
    QToolButton *AFontSpeedButton, *FontNextSpeedButton, *AFSizeSpeedButton, *FWeightSpeedButton,
        *AColorSpeedButton, *AColorBackSpeedButton, *ATextDecSpeedButton, *ATextAlSpeedButton,
        *TextTransSpeedButton, *ABorderSpeedButton, *ABorderStSpeedButton;
    QPushButton* AddSelButton;

private:
    struct TRow {
        QCheckBox* Box;
        std::string Property;
        std::function<std::string()> Value;
    };
    void Insert(const std::string& text) { FInsert(text); }

    std::function<void(const std::string&)> FInsert;
    std::vector<TRow> FRows; // in screen order, which is the order of a rule's lines
};

// A family name as a style sheet writes it: bare when it is one plain word that names no
// keyword, else in double quotes ("DejaVu Sans", "C059").
std::string CssFamilyName(const std::string& name);
// The name followed by its generic family: "DejaVu Sans", sans-serif.
std::string CssFontFamily(const TFontFamily& family);

// The sixteen colours of the pickers, black first.
const std::vector<TColor>& PickerColors();

} // namespace quillet
