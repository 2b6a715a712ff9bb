// The options dialog's "Options" and "Highlighting" pages: what their controls change.
#include "dialogs/DropColorButton.h"
#include "dialogs/HotKey.h"
#include "dialogs/OptionsDialog.h"
#include "dialogs/SpinButton.h"
#include "editor/CodeMemoView.h"
#include "editor/Messages.h"
#include "platform/Platform.h"
#include "platform/qt/QtFonts.h"
#include "resources/Strings.h"
#include "widgets/CodeMemoWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>

#include <charconv>
#include <functional>

namespace quillet {

namespace {

// The whole text as a number, or nothing.
std::optional<int> ParseInt(const QString& text) {
    std::string s = text.trimmed().toStdString();
    int value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

} // namespace

TCodeMemo& TOptionsDialog::Sample() {
    return FSample->Memo();
}

void TOptionsDialog::UpdateDependentBoxes() {
    OptionBox(smoTabToColumn)->setEnabled(!(Working().Options & smoWordWrap));
    QFontInfo info(MakeQFont(Sample().Font()));
    OptionBox(smoCaretAfterEOL)->setEnabled(info.fixedPitch());
}

void TOptionsDialog::SHIFTSelectBoxClick(QCheckBox* box) {
    if (FSetting) return;
    uint32_t bit = box->property("bit").toUInt();
    uint32_t options = Sample().Options();
    options = box->isChecked() ? (options | bit) : (options & ~bit);
    Working().Options = options;
    Sample().Perform(SM_OPTIONS, smSET, LPARAM(options));
    UpdateDependentBoxes();
}

void TOptionsDialog::ApplyLayoutNumber(QLineEdit* box, int value) {
    if (box->property("tag").toInt() == 1) {
        Working().GutterWidth = value;
        Sample().SetGutter(value);
        box->setText(QString::number(Sample().Gutter()));
    } else {
        Working().RightMargin = value;
        Sample().SetRightMargin(value);
        box->setText(QString::number(Sample().RightMargin()));
    }
}

void TOptionsDialog::LeftBorderWidthBoxChange(QLineEdit* box) {
    if (FSetting) return;
    std::optional<int> value = ParseInt(box->text());
    // Out of range or not a number: 1, which is applied in turn.
    ApplyLayoutNumber(box, value && *value >= 0 && *value <= 199 ? *value : 1);
}

void TOptionsDialog::ParaSpinButtonUpClick(TSpinButton& spin) {
    QLineEdit* box = spin.Tag() == 1 ? FGutterBox : FRightMarginBox;
    std::optional<int> value = ParseInt(box->text());
    if (!value) {
        ApplyLayoutNumber(box, 1);
        return;
    }
    if (*value < 199) ApplyLayoutNumber(box, *value + 1);
}

void TOptionsDialog::ParaSpinButtonDownClick(TSpinButton& spin) {
    QLineEdit* box = spin.Tag() == 1 ? FGutterBox : FRightMarginBox;
    std::optional<int> value = ParseInt(box->text());
    if (!value) {
        ApplyLayoutNumber(box, 1);
        return;
    }
    if (*value > 0) ApplyLayoutNumber(box, *value - 1);
}

std::optional<int> TOptionsDialog::ReadNumber(QLineEdit* box) {
    std::optional<int> value = ParseInt(box->text());
    if (!value) ShowError(this, FmtLoadStr(SOptBadNumber, box->text().toStdString()));
    return value;
}

bool TOptionsDialog::IndentStepBoxExit() {
    std::optional<int> value = ReadNumber(FIndentStepBox);
    if (value) Sample().SetIndentStep(*value);
    FIndentStepBox->setText(QString::number(Sample().IndentStep()));
    Working().IndentStep = Sample().IndentStep();
    return value.has_value();
}

bool TOptionsDialog::WrapColumnBoxExit() {
    std::optional<int> value = ReadNumber(FWrapColumnBox);
    if (value) Sample().SetWrapAtColumn(*value);
    FWrapColumnBox->setText(QString::number(Sample().WrapAtColumn()));
    Working().WordWrapColumn = Sample().WrapAtColumn();
    return value.has_value();
}

bool TOptionsDialog::TabColumnsBoxExit() {
    std::string previous = Sample().TabColumns();
    bool accepted = true;
    try {
        Sample().SetTabColumns(FTabColumnsBox->text().toStdString());
    } catch (const EQuilletError& e) {
        ShowError(this, e.what());
        Sample().SetTabColumns(previous);
        accepted = false;
    }
    FTabColumnsBox->setText(QString::fromStdString(Sample().TabColumns()));
    return accepted;
}

bool TOptionsDialog::DeftabBoxExit() {
    int previous = Sample().TabDefault();
    std::optional<int> value = ReadNumber(FDeftabBox);
    bool accepted = value.has_value();
    if (value) {
        try {
            Sample().SetTabDefault(*value);
        } catch (const EQuilletError& e) {
            ShowError(this, e.what());
            Sample().SetTabDefault(previous);
            accepted = false;
        }
    }
    FDeftabBox->setText(QString::number(Sample().TabDefault()));
    return accepted;
}

bool TOptionsDialog::ApplyFocusedBox() {
    QWidget* focus = focusWidget();
    if (focus == FIndentStepBox) return IndentStepBoxExit();
    if (focus == FWrapColumnBox) return WrapColumnBoxExit();
    if (focus == FTabColumnsBox) return TabColumnsBoxExit();
    if (focus == FDeftabBox) return DeftabBoxExit();
    if (focus == FActKeysBox) return AutoReplActBoxExit();
    return true;
}

bool TOptionsDialog::FormKeyPress(QKeyEvent*) {
    if (!FSwallowKey) return false;
    FSwallowKey = false;
    return true;
}

namespace {

// Shows the dialog every key press meant for one of its controls before the control sees it.
class TKeyPreview : public QObject {
public:
    explicit TKeyPreview(TOptionsDialog& dialog) : QObject(&dialog), FDialog(dialog) {}

    std::function<void()> OnKeyOver;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
            type != QEvent::MouseButtonPress)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != &FDialog) return false;
        if (type == QEvent::KeyPress) return FDialog.FormKeyPress(static_cast<QKeyEvent*>(event));
        // The key that closed an error box is over once it is let go (or the mouse is used).
        if (type == QEvent::MouseButtonPress || !static_cast<QKeyEvent*>(event)->isAutoRepeat())
            OnKeyOver();
        return false;
    }

private:
    TOptionsDialog& FDialog;
};

} // namespace

void TOptionsDialog::InstallKeyPreview() {
    auto* preview = new TKeyPreview(*this);
    preview->OnKeyOver = [this] { FSwallowKey = false; };
    FKeyPreview = preview;
    qApp->installEventFilter(preview);
}

bool TOptionsDialog::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (event->type() == QEvent::FocusOut) {
        // Another window coming up (an error box of the box itself) is not leaving the box.
        auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
        if (watched == FIndentStepBox)
            IndentStepBoxExit();
        else if (watched == FWrapColumnBox)
            WrapColumnBoxExit();
        else if (watched == FTabColumnsBox)
            TabColumnsBoxExit();
        else if (watched == FDeftabBox)
            DeftabBoxExit();
        else if (watched == FActKeysBox)
            AutoReplActBoxExit();
        else if (watched == FHotkeyBox)
            cteHotkeyExit();
        else if (watched == FCommandKeys)
            CommandKeysListBoxExit();
        return false;
    }
    if (event->type() == QEvent::KeyPress && box &&
        (box == FGutterBox || box == FRightMarginBox || box == FIndentStepBox ||
         box == FWrapColumnBox || box == FDeftabBox)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool layout = box == FGutterBox || box == FRightMarginBox;
        int k = key->key();
        bool digit = k >= Qt::Key_0 && k <= Qt::Key_9 && !(key->modifiers() & Qt::ControlModifier);
        bool allowed = digit || k == Qt::Key_Backspace || k == Qt::Key_Delete ||
                       k == Qt::Key_Left || k == Qt::Key_Right ||
                       (layout ? k == Qt::Key_Insert
                               : (k == Qt::Key_Tab || k == Qt::Key_Backtab || k == Qt::Key_End ||
                                  k == Qt::Key_Home));
        // The dialog's own keys still work: Return presses OK, Escape Cancel, Tab moves on.
        bool dialogKey = k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Escape ||
                         k == Qt::Key_Tab || k == Qt::Key_Backtab;
        if (!allowed && !dialogKey) return true;
        return false;
    }
    if (FSample && event->type() == QEvent::MouseButtonPress && watched == FSample->viewport()) {
        EditorMouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
        return false;
    }
    return QDialog::eventFilter(watched, event);
}

int TOptionsDialog::SelectedElement() const {
    QListWidgetItem* item = FElements->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : -1;
}

void TOptionsDialog::SynElementsBoxClick() {
    if (FSetting) return;
    int element = SelectedElement();
    if (element < 0) return;
    FSetting = true;
    const TCM_Settings& s = Working();
    bool styled = element < 256;
    FBold->setEnabled(styled);
    FItalic->setEnabled(styled);
    FUnderline->setEnabled(styled);
    bool fore = element < ElementLeftMargin;
    FDefFore->setEnabled(fore);
    if (styled) {
        const TCM_Style& style = s.Styles[size_t(element)];
        FBold->setChecked(style.FontStyle & fsBold);
        FItalic->setChecked(style.FontStyle & fsItalic);
        FUnderline->setChecked(style.FontStyle & fsUnderline);
        FForeButton->SetColor(style.Foreground);
        FBackButton->SetColor(style.Background);
        FDefFore->setChecked(style.ForegroundDefault);
        FDefBack->setChecked(style.BackgroundDefault);
    } else {
        FBold->setChecked(false);
        FItalic->setChecked(false);
        FUnderline->setChecked(false);
        if (element == ElementSelectedText) {
            FForeButton->SetColor(s.SelTextColor);
            FBackButton->SetColor(s.SelTextBack);
            FDefFore->setChecked(s.SelTextColorDefault);
            FDefBack->setChecked(s.SelTextBackDefault);
        } else {
            FDefFore->setChecked(false);
            bool margin = element == ElementLeftMargin;
            FBackButton->SetColor(margin ? s.MarginColor : s.GutterColor);
            FDefBack->setChecked(margin ? s.MarginColorDefault : s.GutterColorDefault);
        }
    }
    FForeButton->setEnabled(fore && !FDefFore->isChecked());
    FBackButton->setEnabled(!FDefBack->isChecked());
    FSetting = false;
}

void TOptionsDialog::WriteElement() {
    int element = SelectedElement();
    if (element < 0) return;
    TCM_Settings& s = Working();
    bool fore = !FDefFore->isChecked(), back = !FDefBack->isChecked();
    if (element < 256) {
        TCM_Style& style = s.Styles[size_t(element)];
        uint8_t fontStyle = style.FontStyle & fsStrikeOut;
        if (FBold->isChecked()) fontStyle |= fsBold;
        if (FItalic->isChecked()) fontStyle |= fsItalic;
        if (FUnderline->isChecked()) fontStyle |= fsUnderline;
        if (fontStyle != style.FontStyle) style.Font.reset();
        style.FontStyle = fontStyle;
        style.ForegroundDefault = !fore;
        style.BackgroundDefault = !back;
        if (fore) style.Foreground = FForeButton->Color();
        if (back) style.Background = FBackButton->Color();
        style.Defined = true;
    } else if (element == ElementSelectedText) {
        s.SelTextColorDefault = !fore;
        s.SelTextBackDefault = !back;
        if (fore) s.SelTextColor = FForeButton->Color();
        if (back) s.SelTextBack = FBackButton->Color();
    } else if (element == ElementLeftMargin) {
        s.MarginColorDefault = !back;
        if (back) s.MarginColor = FBackButton->Color();
    } else {
        s.GutterColorDefault = !back;
        if (back) s.GutterColor = FBackButton->Color();
    }
    RefreshSample();
}

void TOptionsDialog::RefreshSample() {
    TSelectionPair sel = Sample().Selection();
    Sample().Perform(SM_REFRESH, 0, 0);
    Sample().SetSelection(sel.Anchor, sel.Caret);
}

void TOptionsDialog::UseBoldBoxClick() {
    if (!FSetting) WriteElement();
}

void TOptionsDialog::UseDefForeBoxClick() {
    if (FSetting) return;
    WriteElement();
    SynElementsBoxClick();
}

void TOptionsDialog::ColorButtonChange() {
    if (!FSetting) WriteElement();
}

void TOptionsDialog::EditorMouseDown(QPoint at) {
    if (at.x() <= 0 || at.y() <= 0 || at.x() >= FSample->viewport()->width() - 1 ||
        at.y() >= FSample->viewport()->height() - 1)
        return;
    if (std::abs(at.x() - FLastClick.x()) <= 5 && std::abs(at.y() - FLastClick.y()) <= 5) return;
    FLastClick = at;
    TCodeMemo& sample = Sample();
    int offset = int(sample.Perform(EM_CHARFROMPOS, 0, MakeLong(at.x(), at.y())));
    if (offset < 0) return;
    sample.SetSelection(offset, offset);
    const TRow row = sample.Store().LineFromPos(TOffset(offset));
    const int index = TOffset(offset) - sample.Store().PosFromLine(row);
    sample.View().ScanThrough(row.Value());
    const TLineRecord& rec = sample.Store().Line(row);
    if (!rec.Extra || size_t(index) >= rec.Extra->Attributes.size()) return;
    int style = Working().StyleMap[rec.Extra->Attributes[size_t(index)]];
    for (int row = 0; row < FElements->count(); ++row)
        if (FElements->item(row)->data(Qt::UserRole).toInt() == style) {
            FElements->setCurrentRow(row);
            return;
        }
}

void TOptionsDialog::FillFontNames(uint8_t charset) {
    FFontNames = Platform().Fonts->FontNames(charset);
    FFontName->clear();
    for (const std::string& name : FFontNames)
        FFontName->addItem(QString::fromStdString(name));
}

void TOptionsDialog::FontNameBoxChange() {
    if (FSetting || FFontName->currentIndex() < 0) return;
    TFontDesc font = Sample().Font();
    font.Name = FFontName->currentText().toStdString();
    Sample().SetFont(font);
    for (auto& style : Working().Styles)
        style.Font.reset();
    RefreshSample();
    UpdateDependentBoxes();
}

void TOptionsDialog::FontSizeBoxChange() {
    if (FSetting) return;
    std::optional<int> size = ParseInt(FFontSize->currentText());
    if (!size || *size <= 0 || *size > MaxFontSize) return;
    TFontDesc font = Sample().Font();
    font.Height = *size;
    Sample().SetFont(font);
    for (auto& style : Working().Styles)
        style.Font.reset();
    RefreshSample();
}

void TOptionsDialog::FontFamilyBoxChange() {
    if (FSetting || FCharset->currentIndex() < 0) return;
    auto charset = uint8_t(FCharset->currentData().toInt());
    FillFontNames(charset);
    TFontDesc font = Sample().Font();
    int at = FFontName->findText(QString::fromStdString(font.Name));
    FFontName->setCurrentIndex(at);
    if (at >= 0) {
        font.Charset = charset;
        Sample().SetFont(font);
        RefreshSample();
    }
}

} // namespace quillet
