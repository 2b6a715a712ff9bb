// The CSS language service in the main window: problems marked in the text, their messages over
// the marks, the "Проблемы" list, and completion in the CSS editor.
#include "app/MainForm.h"

#include "cli/CssProvider.h"
#include "css/Lint.h"
#include "editor/LineTrack.h"
#include "editor/Marks.h"
#include "editor/TextStore.h"
#include "platform/qt/QtConvert.h"
#include "widgets/CodeMemoWidget.h"

#include <QAction>
#include <QDockWidget>
#include <QHelpEvent>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolTip>

namespace quillet {

namespace {

// Marks the lint makes carry this flag; the control's own marks carry 0.
constexpr uint8_t LintMarkFlag = 0x4C;
// Typing pauses this long before the text is linted again.
constexpr int LintDelayMs = 300;

} // namespace

void TMainForm::BuildLint() {
    TCodeMemo& memo = MainCodeMemo();
    memo.SetCompletionProvider(std::make_unique<TCssCompletionProvider>());
    memo.SetAutoComplete(true);

    FLintTimer = new QTimer(this);
    FLintTimer->setSingleShot(true);
    FLintTimer->setInterval(LintDelayMs);
    QObject::connect(FLintTimer, &QTimer::timeout, this, [this] { RunLint(); });

    FProblemsList = new QListWidget;
    FProblemsList->setObjectName(QStringLiteral("ProblemsList"));
    FProblemsDock = new QDockWidget(QStringLiteral("Проблемы"), this);
    FProblemsDock->setObjectName(QStringLiteral("ProblemsDock"));
    FProblemsDock->setWidget(FProblemsList);
    addDockWidget(Qt::BottomDockWidgetArea, FProblemsDock);
    FProblemsDock->hide();
    ProblemsAction = FProblemsDock->toggleViewAction();
    ProblemsAction->setObjectName(QStringLiteral("ProblemsAction"));
    ProblemsAction->setText(QStringLiteral("Проблемы"));
    for (QAction* a : menuBar()->actions())
        if (a->menu() && a->text() == QStringLiteral("Вид")) {
            a->menu()->addSeparator();
            a->menu()->addAction(ProblemsAction);
        }
    auto jump = [this](QListWidgetItem* item) { GotoProblem(FProblemsList->row(item)); };
    QObject::connect(FProblemsList, &QListWidget::itemActivated, this, jump);
    QObject::connect(FProblemsList, &QListWidget::itemClicked, this, jump);
    ScheduleLint();
}

void TMainForm::ScheduleLint() {
    // The typing path only restarts the timer; the marks follow the edits by themselves.
    if (FLintTimer) FLintTimer->start();
}

void TMainForm::RunLint() {
    TCodeMemo& memo = MainCodeMemo();
    const TTextStore& store = memo.Store();
    FProblems = css::Lint(store.StoredText(TOffset(0), store.TextEnd()));
    TMarkList& marks = memo.LineTracker().Marks();
    marks.DeleteIf([](const TMark& m) { return m.Flags == LintMarkFlag; });
    FProblemsList->clear();
    for (size_t i = 0; i < FProblems.size(); ++i) {
        const css::TProblem& p = FProblems[i];
        TMark& mark = marks.Add(TOffset(int(p.Offset)), std::max(1, int(p.Length)), int32_t(i));
        mark.Flags = LintMarkFlag;
        FProblemsList->addItem(
            ToQString(std::to_string(p.Line) + ":" + std::to_string(p.Column) + ": " + p.Message));
    }
    FMainMemo->viewport()->update();
}

int TMainForm::LintProblemAt(int offset) {
    TCodeMemo& memo = MainCodeMemo();
    if (!memo.LineTracker().HasMarks()) return -1;
    TMarkList& marks = memo.LineTracker().Marks();
    for (size_t i = 0; i < marks.Count(); ++i) {
        const TMark& m = marks[i];
        if (m.Flags == LintMarkFlag && TOffset(offset) >= m.Start && TOffset(offset) < m.End &&
            m.Value >= 0 && size_t(m.Value) < FProblems.size())
            return m.Value;
    }
    return -1;
}

void TMainForm::GotoProblem(int index) {
    if (index < 0 || size_t(index) >= FProblems.size()) return;
    TCodeMemo& memo = MainCodeMemo();
    TMarkList& marks = memo.LineTracker().Marks();
    // Where the problem stands now: its mark has followed the edits since the lint.
    for (size_t i = 0; i < marks.Count(); ++i) {
        const TMark& m = marks[i];
        if (m.Flags != LintMarkFlag || m.Value != index) continue;
        ShowCssEditor();
        memo.Perform(EM_SETSEL, WPARAM(m.Start.Value()), LPARAM(m.End.Value()));
        memo.Perform(EM_SCROLLCARET, 0, 0);
        return;
    }
}

bool TMainForm::LintToolTip(QEvent* event) {
    if (event->type() != QEvent::ToolTip || !FMainMemo) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    TCodeMemo& memo = MainCodeMemo();
    const int offset =
        int(memo.Perform(EM_CHARFROMPOS, 0, MakePointParam(help->pos().x(), help->pos().y())));
    const int index = LintProblemAt(offset);
    if (index < 0) {
        QToolTip::hideText();
        return false;
    }
    QToolTip::showText(help->globalPos(), ToQString(FProblems[size_t(index)].Message),
                       FMainMemo->viewport());
    return true;
}

} // namespace quillet
