#include "app/HelpWindow.h"

#include "highlight/KeyboardActionController.h"
#include "platform/Platform.h"
#include "platform/qt/QtConvert.h"
#include "resources/Strings.h"
#include "widgets/HyperlinkLabel.h"

#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <map>
#include <vector>

namespace quillet {

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// What the user reads for a command; the table's names are the stored, English ones.
std::string RussianCommandName(int32_t id) {
    static const char* const names[] = {
        "Курсор влево",
        "Курсор вправо",
        "В начало строки",
        "В конец строки",
        "На строку вверх",
        "На строку вниз",
        "На страницу вверх",
        "На страницу вниз",
        "К предыдущему слову",
        "К следующему слову",
        "В начало документа",
        "В конец документа",
        "Вырезать в буфер обмена",
        "Копировать в буфер обмена",
        "Вставить из буфера обмена",
        "Удалить символ под курсором",
        "Удалить символ перед курсором",
        "Сдвинуть выделенный блок вправо",
        "Сдвинуть выделенный блок влево",
        "Переключить вставку и замену",
    };
    if (id >= 0 && id < int32_t(std::size(names))) return names[id];
    if (id >= kcSetBookmark0 && id < kcSetBookmark0 + 10)
        return "Поставить закладку " + std::to_string(id - kcSetBookmark0);
    if (id >= kcGotoBookmark0 && id < kcGotoBookmark0 + 10)
        return "Перейти к закладке " + std::to_string(id - kcGotoBookmark0);
    static const char* const tail[] = {
        "Удалить строку",
        "Отменить",
        "Повторить",
        "Удалить предыдущее слово",
        "Напечатать выделенное",
        "Удалить следующее слово",
        "Прокрутить на строку вверх",
        "Прокрутить на строку вниз",
    };
    if (id >= kcDeleteLine && id < kcCommandCount) return tail[id - kcDeleteLine];
    return {};
}

std::string SequenceText(const TKeyBinding& b) {
    std::string text = ShortCutToText(b.First);
    if (b.Second) text += ", " + ShortCutToText(b.Second);
    return text;
}

} // namespace

std::string KeyListHtml(const TKeyboardActionContoller& keys) {
    // Commands in id order, each with its key sequences in the order the table holds them.
    std::map<int32_t, std::vector<std::string>> byCommand;
    for (const TKeyBinding& b : keys.Store().Bindings())
        byCommand[b.Command].push_back(SequenceText(b));
    std::string html = "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n<tr><th>" +
                       Escaped(LoadStr(SHelpKeyColumn)) + "</th><th>" +
                       Escaped(LoadStr(SHelpCommandColumn)) + "</th></tr>\n";
    for (const auto& [command, sequences] : byCommand) {
        std::string name = RussianCommandName(command);
        if (name.empty()) name = keys.CommandName(command);
        if (name.empty()) name = std::to_string(command);
        std::string list;
        for (const std::string& s : sequences)
            list += (list.empty() ? "" : "; ") + Escaped(s);
        html += "<tr><td>" + list + "</td><td>" + Escaped(name) + "</td></tr>\n";
    }
    return html + "</table>\n";
}

std::string HelpHtml(const TKeyboardActionContoller& keys) {
    QFile file(QStringLiteral(":/help/Help.htm"));
    std::string page;
    if (file.open(QIODevice::ReadOnly)) page = file.readAll().toStdString();
    static const std::string mark = "<!--KEYS-->";
    const std::string list = KeyListHtml(keys);
    size_t at = page.find(mark);
    if (at == std::string::npos) return page + list;
    return page.replace(at, mark.size(), list);
}

THelpWindow::THelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(ToQString(LoadStr(SHelpTitle)));
    resize(640, 560);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    FBrowser = new QTextBrowser(this);
    FBrowser->setObjectName(QStringLiteral("HelpBrowser"));
    // Links inside the page move within it; the desktop is asked only for outside addresses.
    FBrowser->setOpenLinks(false);
    QObject::connect(FBrowser, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.scheme().isEmpty() && url.hasFragment())
            FBrowser->scrollToAnchor(url.fragment());
        else
            OpenLink(FromQString(url.toString()));
    });
    column->addWidget(FBrowser);
}

void THelpWindow::ShowHelp(const TKeyboardActionContoller& keys) {
    FBrowser->setHtml(ToQString(HelpHtml(keys)));
    show();
    raise();
    activateWindow();
}

} // namespace quillet
