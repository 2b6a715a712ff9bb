// The selector builder: whole rules and single declarations written into the CSS editor.
#include "MainFormFixture.h"

#include <QFont>
#include <QStringList>

#include "app/SelectorPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace quillet::test {

TEST_F(MainFormTest, TheBuilderWritesARuleLineByLine) {
    TSelectorPanel& panel = *Form->SelectorPanel;
    panel.AddSelButton->click();
    EXPECT_EQ(Css(), "a\r\n{\r\n}\r\n");
    EXPECT_EQ(Form->PageCaption(), "*Css");

    // Every row ticked with its first values; the lines follow the rows.
    Form->MainCodeMemo().SetText("");
    for (QCheckBox* box :
         {panel.FontCheckBox, panel.FontSizeCheckBox, panel.FWeightCheckBox, panel.ColorCheckBox,
          panel.ColorBackCheckBox, panel.TextDecCheckBox, panel.TextAlCheckBox,
          panel.TextTransCheckBox, panel.BorderCheckBox, panel.BorderStCheckBox})
        box->setChecked(true);
    panel.AddSelButton->click();
    EXPECT_EQ(Css(),
              "a\r\n{\r\n  font-family: ;\r\n  font-size: 10pt;\r\n  font-weight: normal;\r\n"
              "  color: #000000;\r\n  background-color: #000000;\r\n"
              "  text-decoration: none;\r\n  text-align: left;\r\n"
              "  text-transform: none;\r\n  border: 3;\r\n  border-style: none;\r\n}\r\n");
    // Each line is an insertion of its own for undo.
    Form->MainCodeMemo().Undo();
    EXPECT_EQ(Css(),
              "a\r\n{\r\n  font-family: ;\r\n  font-size: 10pt;\r\n  font-weight: normal;\r\n"
              "  color: #000000;\r\n  background-color: #000000;\r\n"
              "  text-decoration: none;\r\n  text-align: left;\r\n"
              "  text-transform: none;\r\n  border: 3;\r\n  border-style: none;\r\n");
}

TEST_F(MainFormTest, TheBuilderReplacesTheSelectionAndTakesTypedValues) {
    TSelectorPanel& panel = *Form->SelectorPanel;
    Form->MainCodeMemo().SetText("x OLD y");
    Form->MainCodeMemo().SetSelection(2, 5);
    panel.SelectComboBox->setEditText("");
    panel.FontSizeCheckBox->setChecked(true);
    panel.FSizeComboBox->setEditText("12.5");
    panel.FizmComboBox->setEditText("em");
    panel.AddSelButton->click();
    EXPECT_EQ(Css(), "x \r\n{\r\n  font-size: 12.5em;\r\n}\r\n y");
}

TEST_F(MainFormTest, RowButtonsWriteOneDeclarationAndPickersFillTheirBoxes) {
    TSelectorPanel& panel = *Form->SelectorPanel;
    panel.ColorBackComboBox->setCurrentIndex(8); // silver
    EXPECT_EQ(panel.ColorBackEdit->text().toStdString(), "#C0C0C0");
    panel.ColorComboBox->setCurrentIndex(4); // navy
    EXPECT_EQ(panel.ColorEdit->text().toStdString(), "#000080");
    panel.ColorEdit->setText("red"); // typed after a pick: written as typed
    panel.AColorSpeedButton->click();
    panel.AColorBackSpeedButton->click();
    panel.AFSizeSpeedButton->click();
    panel.ABorderSpeedButton->click();
    panel.FontNextSpeedButton->click(); // no font picked: nothing visible
    EXPECT_EQ(Css(), "color: red;background-color: #C0C0C0;font-size: 10pt;border: 3;");
    EXPECT_EQ(PickerColors().size(), 16u);
    EXPECT_EQ(ColorToCssHex(PickerColors()[13]), "FF00FF");
}

TEST_F(MainFormTest, TheFontListShowsPlainNamesAndWritesValidFamilies) {
    TSelectorPanel& panel = *Form->SelectorPanel;
    QStringList shown;
    for (int i = 0; i < panel.FontComboBox->count(); ++i)
        shown << panel.FontComboBox->itemText(i);
    EXPECT_EQ(shown.join('|').toStdString(), "Arial|C059|Courier New|Monospace|Sans");
    // Each item is drawn in its own face, maker's tag and all.
    EXPECT_EQ(panel.FontComboBox->itemData(4, Qt::FontRole).value<QFont>().family(), "Sans [test]");

    panel.FontCheckBox->setChecked(true);
    panel.SelectComboBox->setEditText("p");
    for (int i : {0, 1, 2, 3}) {
        panel.FontComboBox->setCurrentIndex(i);
        panel.AddSelButton->click();
        panel.AFontSpeedButton->click();
        panel.FontNextSpeedButton->click();
        Form->MainCodeMemo().Perform(WM_CHAR, '\r', 0);
    }
    EXPECT_EQ(Css(), "p\r\n{\r\n  font-family: Arial, sans-serif;\r\n}\r\n"
                     "font-family: Arial, sans-serif;Arial\r\n"
                     "p\r\n{\r\n  font-family: \"C059\", serif;\r\n}\r\n"
                     "font-family: \"C059\", serif;\"C059\"\r\n"
                     "p\r\n{\r\n  font-family: \"Courier New\", monospace;\r\n}\r\n"
                     "font-family: \"Courier New\", monospace;\"Courier New\"\r\n"
                     "p\r\n{\r\n  font-family: \"Monospace\", monospace;\r\n}\r\n"
                     "font-family: \"Monospace\", monospace;\"Monospace\"\r\n");

    // Names the toolkit could hand us that would break the sheet if written bare.
    EXPECT_EQ(CssFamilyName("Noto Sans CJK JP"), "\"Noto Sans CJK JP\"");
    EXPECT_EQ(CssFamilyName("-x"), "\"-x\"");
    EXPECT_EQ(CssFamilyName("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(CssFamilyName("Шрифт"), "\"Шрифт\"");
    EXPECT_EQ(CssFamilyName("INHERIT"), "\"INHERIT\"");
    EXPECT_EQ(CssFamilyName("Gentium-Plus"), "Gentium-Plus");
}

} // namespace quillet::test
