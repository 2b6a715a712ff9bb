// The "Сервис" menu: the options dialog of each editor's language definition.
#include "app/MainForm.h"
#include "dialogs/OptionsDialog.h"
#include "resources/Strings.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>

namespace quillet {

void TMainForm::BuildToolsMenu() {
    InstallOptionsDialog();
    auto item = [this](const char* name, int caption, TCodeMemoParser& definition) {
        auto* a = new QAction(QString::fromStdString(LoadStr(caption)), this);
        a->setObjectName(QString::fromLatin1(name));
        addAction(a);
        QObject::connect(a, &QAction::triggered, this, [this, &definition] {
            RunCommand([this, &definition] { EditDefinitionOptions(definition); });
        });
        return a;
    };
    CssOptionsAction = item("CssOptionsAction", SOptCssEditorItem, CodeMemoParser);
    CssOptionsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    HtmlOptionsAction = item("HtmlOptionsAction", SOptHtmlEditorItem, HtmlMemoParser);
    auto* tools = new QMenu(QString::fromStdString(LoadStr(SOptToolsMenu)), menuBar());
    tools->setObjectName(QStringLiteral("ToolsMenu"));
    tools->addAction(CssOptionsAction);
    tools->addAction(HtmlOptionsAction);
    QAction* help = nullptr;
    for (QAction* a : menuBar()->actions())
        if (a->menu() && a->text() == QStringLiteral("?")) help = a;
    menuBar()->insertMenu(help, tools);
}

void TMainForm::EditDefinitionOptions(TCodeMemoParser& definition) {
    if (!definition.RunOptionsDialog(0x1F)) return;
    // The "Вид" menu shows what the CSS editor now carries.
    TCodeMemoOptions options = MainCodeMemo().Options();
    for (auto [action, bit] :
         {std::pair{LineNumbersAction, smoLineNumbers}, std::pair{WordWrapAction, smoWordWrap}}) {
        if (!action) continue;
        QSignalBlocker quiet(action);
        action->setChecked(options & bit);
    }
}

} // namespace quillet
