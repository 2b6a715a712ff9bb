#include "app/FileNameEdit.h"

#include "platform/Errors.h"
#include "platform/Platform.h"
#include "platform/qt/QtConvert.h"
#include "resources/Strings.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace quillet {

std::string QuotedFileName(const std::string& name) {
    if (name.find(' ') == std::string::npos) return name;
    return '"' + name + '"';
}

std::string UnquotedFileName(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

bool IsValidFileName(const std::string& name) {
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

TFileNameEdit::TFileNameEdit(QWidget* parent)
    : QWidget(parent), FEdit(new QLineEdit(this)), FBrowse(new QToolButton(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    FBrowse->setText(QStringLiteral("..."));
    row->addWidget(FEdit, 1);
    row->addWidget(FBrowse);
    QObject::connect(FBrowse, &QToolButton::clicked, this, [this] {
        try {
            Browse();
        } catch (const std::exception& e) {
            Platform().Dialogs->MessageBox(e.what(), LoadStr(SAppTitle), mtError, mbOK);
        }
    });
}

std::string TFileNameEdit::FileName() const {
    const QString text = FEdit->text();
    if (text == FShown) return FName;
    return UnquotedFileName(FromQString(text));
}

void TFileNameEdit::SetFileName(const std::string& name) {
    std::string plain = UnquotedFileName(name);
    if (!IsValidFileName(plain)) throw EQuilletError(FmtLoadStr(SInvalidFileName, plain));
    FShown = ToQString(QuotedFileName(plain));
    FName = std::move(plain);
    FEdit->setText(FShown);
}

void TFileNameEdit::Browse() {
    TFileDialogOptions options;
    options.Filter = FFilter;
    options.FileName = FileName();
    if (auto chosen = Platform().Dialogs->OpenFile(options)) SetFileName(*chosen);
}

} // namespace quillet
