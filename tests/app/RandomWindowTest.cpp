// The main window under a random user: each seed runs a few hundred steps of typing, pasting,
// keys, clicks, every action of the menus and tool bars, the side panel, find and replace, page
// switches and the document commands (their dialogs answered at random), and after every step
// checks what must always hold: both editors' text equals their stores and no caret sits inside
// a character; a clean caption means the file on disk reopens to the text (or the untitled text
// is empty); undo all gives back the text the document started from and redo all the text
// before; a failed document command loses nothing; no step takes longer than a few seconds.
//
// A failure prints the seed and the steps. QUILLET_RANDOM_REPLAY=SEED[:STEPS] runs one seed,
// with every step printed; QUILLET_RANDOM_SEEDS=N (or FIRST-LAST) and QUILLET_RANDOM_STEPS=N run
// it longer, QUILLET_RANDOM_STEP_MS sets the time a step may take and QUILLET_RANDOM_HANG_S the
// time after which a step that has not returned aborts the run (60). A replay takes the same
// steps as long as no timer or double-click time changed what the window did between them.
#include "MainFormFixture.h"

#include "app/FileNameEdit.h"
#include "app/SelectorPanel.h"
#include "css/Colors.h"
#include "css/Lexer.h"
#include "dialogs/OptionsDialog.h"
#include "editor/Search.h"
#include "editor/SearchControl.h"
#include "editor/TextStore.h"
#include "platform/Utf8.h"
#include "widgets/CodeMemoWidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <thread>
#include <tuple>

namespace quillet::test {
namespace {

int EnvNumber(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

// A minified style sheet on one line, well over 100,000 characters.
const std::string& MinifiedSheet() {
    static const std::string sheet = [] {
        std::string s;
        for (int i = 0; s.size() < 120000; ++i)
            s += ".c" + std::to_string(i) + ">a:hover{color:#" + std::to_string(100 + i % 900) +
                 "fff;margin:0 1px;background:url(\"x" + std::to_string(i) + ".png\")}";
        return s;
    }();
    return sheet;
}

// Stops the process when one step hangs: a step that never returns cannot fail a test.
class TWatchdog {
public:
    explicit TWatchdog(int seconds) : FSeconds(seconds), FThread([this] { Watch(); }) {}
    ~TWatchdog() {
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FDone = true;
        }
        FWake.notify_all();
        FThread.join();
    }
    void Step(const std::string& what) {
        std::lock_guard<std::mutex> lock(FMutex);
        FWhat = what;
        FSince = std::chrono::steady_clock::now();
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> lock(FMutex);
        while (!FDone) {
            FWake.wait_for(lock, std::chrono::seconds(1));
            if (!FDone &&
                std::chrono::steady_clock::now() - FSince > std::chrono::seconds(FSeconds)) {
                std::fprintf(stderr, "HANG: no answer for %d s during:\n%s\n", FSeconds,
                             FWhat.c_str());
                std::fflush(stderr);
                std::abort(); // a debugger shows where the window hangs
            }
        }
    }
    int FSeconds;
    std::mutex FMutex;
    std::condition_variable FWake;
    bool FDone = false;
    std::string FWhat;
    std::chrono::steady_clock::time_point FSince = std::chrono::steady_clock::now();
    std::thread FThread;
};

class RandomWindowTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        Write("Sample.htm", "<html><head><link rel=stylesheet href=Sample.css></head>"
                            "<body><p class=c1>text</p></body></html>");
        Write("page2.htm", "<p>two</p>");
        Write("a.css", "a { color: red; }\r\np { margin: 0 }\r\n");
        Write("lf.css", "a{}\nb{}\n\nc{}");
        Write("cr.css", "a{}\rb{}\r");
        Write("cp1251.css", "p{content:\"\xCF\xF0\xE8\xE2\xE5\xF2\"}\r\n");
        Write("bom.css", "\xEF\xBB\xBFp{content:\"\xF0\x9F\x98\x80\"}");
        static const char binary[] = "a{\0\x01\xFF\xFE\x80}\r\x1B";
        Write("bin.css", std::string(binary, sizeof binary - 1));
        Write("big.css", MinifiedSheet());
        Write("empty.css", "");
        static const char page[] = "<p>\0\xFF\xC0</p>\r\r\n";
        Write("bin.htm", std::string(page, sizeof page - 1) + MinifiedSheet());
        std::filesystem::create_directories(Folder / "dir.css");
        ::setenv("QUILLET_PRINT_TO", Path("print.pdf").c_str(), 1);
        Dialogs->SetAutoConfirmErrors(true);
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        // The options dialog and the print dialogs are answered like the platform's dialogs.
        OptionsDialogShown() = [this](TOptionsDialog& d) {
            const bool ok = Coin(2);
            QTimer::singleShot(0, &d, [&d, ok] { ok ? d.accept() : d.reject(); });
        };
        Closer = new QTimer(Form.get());
        QObject::connect(Closer, &QTimer::timeout, [] {
            // As a user dismisses them: a menu that runs its own loop, a modal dialog.
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
        });
        Closer->start(20);
    }
    void TearDown() override {
        OptionsDialogShown() = nullptr;
        Probe.reset();
        ::unsetenv("QUILLET_PRINT_TO");
        MainFormTest::TearDown();
    }

    bool Coin(int n) { return std::uniform_int_distribution<int>(0, n - 1)(Rng) == 0; }
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(Rng); }
    template <class T> const T& PickOf(const std::vector<T>& v) {
        return v[size_t(Pick(int(v.size())))];
    }

    // A piece of text a user might type or paste.
    std::string Payload() {
        static const std::vector<std::string> pieces = {"a { color: red; }",
                                                        "@media screen {",
                                                        "}",
                                                        "{",
                                                        ":",
                                                        ";",
                                                        "/* note",
                                                        "*/",
                                                        "\"",
                                                        "url(",
                                                        "#fff",
                                                        "rgb(1, 2, 3)",
                                                        "  ",
                                                        "\t",
                                                        "\r\n",
                                                        "\r",
                                                        "\n",
                                                        "\r\r\n\n",
                                                        "p",
                                                        "Привет",
                                                        "\xF0\x9F\x98\x80",
                                                        "\xF0\x9D\x84\x9E",
                                                        "e\xCC\x81",
                                                        "\x01\x02\x7F",
                                                        "<style>",
                                                        "</style>",
                                                        "-->",
                                                        "\\",
                                                        "font-family: \"DejaVu Sans\", serif;",
                                                        "!important",
                                                        "0.5em",
                                                        "a:hover::before{content:'\\201C'}"};
        if (Coin(40)) return MinifiedSheet();
        std::string out;
        for (int n = 1 + Pick(6); n > 0; --n)
            out += PickOf(pieces);
        return out;
    }
    // Raw bytes, as a damaged clipboard or a byte-wise input could bring them.
    std::string Bytes() {
        std::string out;
        for (int n = 1 + Pick(8); n > 0; --n)
            out += char(Pick(256));
        return out;
    }
    std::string Pattern() {
        static const std::vector<std::string> patterns = {
            "a",     "color", "}", "\r",        "Привет",   "\xF0\x9F\x98\x80", "[a-z]+",
            "(",     "\\",    "^", "$",         ".*",       "(a|b)*c",          "[",
            "x{2,}", "\\d+",  "",  "e\xCC\x81", "\\w+\\s*:"};
        return PickOf(patterns);
    }
    std::optional<std::string> CssFile() {
        static const std::vector<std::string> names = {
            "a.css",     "lf.css", "cr.css", "cp1251.css", "bom.css",     "bin.css", "big.css",
            "empty.css", "s1.css", "s2.css", "s3",         "missing.css", "dir.css", "nodir/x.css"};
        if (Coin(8)) return std::nullopt;
        return Path(PickOf(names));
    }
    std::optional<std::string> PageFile() {
        static const std::vector<std::string> names = {"Sample.htm", "page2.htm", "gone.htm",
                                                       "bin.htm", "dir.css"};
        if (Coin(8)) return std::nullopt;
        return Path(PickOf(names));
    }
    // Answers for whatever the next step asks; those not asked for are dropped after it.
    // (A PDF goes to a file of its own: one written over the document is the user's choice.)
    void QueueAnswers(bool pages, bool pdf = false) {
        static const TModalResult results[] = {mrYes, mrNo, mrCancel, mrOk, mrAll};
        for (int i = 0; i < 4; ++i)
            Dialogs->QueueAnswer(results[Pick(5)]);
        for (int i = 0; i < 2; ++i)
            Dialogs->QueueFile(pdf     ? std::optional<std::string>(Path("out.pdf"))
                               : pages ? PageFile()
                                       : CssFile());
        Dialogs->QueueColor(Coin(4) ? std::nullopt
                                    : std::optional<TColor>(TColor(Pick(0x1000000))));
        Dialogs->QueueNumber(Coin(4) ? std::nullopt : std::optional<int>(Pick(100000) - 10));
    }

    void Key(int key, Qt::KeyboardModifiers mods) {
        Form->ActionListUpdate();
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : Form.get(), Qt::Key(key), mods);
    }
    QWidget* RandomVisible(const QList<QWidget*>& widgets) {
        QList<QWidget*> shown;
        for (QWidget* w : widgets)
            if (w->isVisible() && w->isEnabled()) shown.append(w);
        return shown.isEmpty() ? nullptr : shown[Pick(int(shown.size()))];
    }
    TCodeMemoWidget* AnEditor() {
        return Coin(3) ? Form->EditorCodeMemoWidget() : Form->MainCodeMemoWidget();
    }
    QPoint RandomPoint(QWidget* w) {
        return QPoint(Pick(std::max(1, w->width())), Pick(std::max(1, w->height())));
    }

    // One random step; its description is returned. `document` is set for the commands that
    // open, save or start a document, whose failure must leave the text as it was.
    std::string Step(bool& document) {
        document = false;
        TCodeMemo& css = Form->MainCodeMemo();
        switch (Pick(26)) {
        case 0:
        case 1: { // typed as characters
            // Characters as code points; now and then one no keyboard sends.
            std::string text = Payload().substr(0, 400);
            std::u32string points = QString::fromUtf8(text).toStdU32String();
            if (Coin(10))
                points.insert(size_t(Pick(int(points.size()) + 1)), 1, char32_t(Pick(0x110100)));
            std::string shown;
            for (char32_t cp : points) {
                css.Perform(WM_CHAR, cp, 0);
                shown += cp < 0x80 ? std::string(1, char(cp)) : "U+" + std::to_string(uint32_t(cp));
            }
            return "type " + Escaped(shown);
        }
        case 2: { // typed on the keyboard where the focus is
            QString text = QString::fromUtf8(Payload().substr(0, 60));
            QWidget* target = QApplication::focusWidget();
            if (!target) target = Form.get();
            for (uint cp : text.toUcs4()) {
                // A key of another layout: the event carries the character, no key code.
                const QString ch = QString::fromUcs4(reinterpret_cast<const char32_t*>(&cp), 1);
                if (cp < 0x7F && cp >= 0x20) {
                    QTest::keyClick(target, char(cp));
                    continue;
                }
                QKeyEvent press(QEvent::KeyPress,
                                cp == '\t'                 ? Qt::Key_Tab
                                : cp == '\r' || cp == '\n' ? Qt::Key_Return
                                                           : 0,
                                Qt::NoModifier, ch);
                QKeyEvent release(QEvent::KeyRelease, press.key(), Qt::NoModifier, ch);
                QApplication::sendEvent(target, &press);
                QApplication::sendEvent(target, &release);
            }
            return "keys " + Escaped(text.toStdString());
        }
        case 3:
        case 4: { // an editing or moving key, plain or with modifiers
            static const int keys[] = {
                Qt::Key_Left,   Qt::Key_Right,  Qt::Key_Up,       Qt::Key_Down,      Qt::Key_Home,
                Qt::Key_End,    Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Backspace, Qt::Key_Delete,
                Qt::Key_Return, Qt::Key_Tab,    Qt::Key_Backtab,  Qt::Key_Insert,    Qt::Key_Escape,
                Qt::Key_Z,      Qt::Key_Y,      Qt::Key_A,        Qt::Key_X,         Qt::Key_C,
                Qt::Key_V,      Qt::Key_K,      Qt::Key_Space,    Qt::Key_F3,        Qt::Key_F5,
                Qt::Key_Equal,  Qt::Key_Minus,  Qt::Key_0,        Qt::Key_J};
            static const Qt::KeyboardModifiers mods[] = {
                Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier,
                Qt::ControlModifier | Qt::ShiftModifier, Qt::AltModifier | Qt::ShiftModifier};
            const int key = keys[Pick(int(std::size(keys)))];
            const Qt::KeyboardModifiers m = mods[Pick(int(std::size(mods)))];
            QueueAnswers(false);
            Key(key, m);
            return "key " + QKeySequence(key | m.toInt()).toString().toStdString();
        }
        case 5:
        case 6: { // a paste of anything
            // Raw bytes reach the editor as the clipboard's text gives them: decoded.
            std::string text = Coin(6) ? QString::fromUtf8(Bytes()).toStdString() : Payload();
            Platform().Clipboard->SetText(text);
            if (Coin(2))
                Run(Coin(3) ? Form->EditorPasteAction : Form->PasteAction);
            else
                Key(Qt::Key_V, Qt::ControlModifier);
            return "paste " + Escaped(text.substr(0, 200)) + (text.size() > 200 ? "..." : "");
        }
        case 7:
        case 8: { // any action of the window, its menus and tool bars
            QList<QAction*> actions;
            for (QAction* a : Form->findChildren<QAction*>())
                if (!a->isSeparator() && !a->menu() && !a->text().isEmpty()) actions.append(a);
            QAction* a = actions[Pick(int(actions.size()))];
            const std::string name =
                (a->objectName().isEmpty() ? a->text() : a->objectName()).toStdString();
            document = name == "NewAction" || name == "MMFOpen" || name == "SaveAction" ||
                       name == "SaveAsAction" || name == "CloseAction" || name == "ExitAction" ||
                       a->parent() == Form->RecentMenu;
            QueueAnswers(false, name == "ExportPdfAction");
            Run(a);
            return "action " + name;
        }
        case 9: { // a button of the window
            QWidget* w = RandomVisible(Form->findChildren<QWidget*>());
            auto* b = qobject_cast<QAbstractButton*>(w);
            if (!b) return "nothing";
            const bool page =
                b->parentWidget() == Form->HtmFilenameEdit() || b == Form->ChoosePageButton;
            document = b == Form->OpenToolButton;
            QueueAnswers(page);
            b->click();
            return "click " +
                   (b->objectName().isEmpty() ? b->text() : b->objectName()).toStdString();
        }
        case 10: { // a value list of the side panel
            QList<QComboBox*> boxes = Form->findChildren<QComboBox*>();
            QComboBox* box = boxes[Pick(int(boxes.size()))];
            if (box->isEditable() && Coin(3)) {
                box->setEditText(QString::fromUtf8(Payload().substr(0, 40)));
            } else if (box->count() > 0) {
                box->setCurrentIndex(Pick(box->count()));
            }
            return "list " + box->objectName().toStdString();
        }
        case 11: { // a file-name box typed into
            TFileNameEdit* edit = Coin(2) ? Form->CssFilenameEdit() : Form->HtmFilenameEdit();
            std::optional<std::string> file = PageFile();
            std::string text = file ? QuotedFileName(*file) : Payload().substr(0, 30);
            edit->Edit()->setText(QString::fromStdString(text));
            QueueAnswers(true);
            QTest::keyClick(edit->Edit(), Qt::Key_Return);
            return "name box " + Escaped(text);
        }
        case 12: { // find or replace, plain or regular expression
            TCodeMemo& memo = Form->FocusedCodeMemo();
            const bool replace = Coin(2);
            const uint32_t flags = Coin(2) ? srfRegex : 0;
            QueueAnswers(false);
            Dialogs->QueueAnswer(mrCancel); // a replace that asks at every match stops here
            memo.Perform(replace ? SM_REPLACE : SM_FIND, flags, 0);
            auto* d =
                static_cast<TScriptedFindDialog*>(replace ? memo.Search().Engine().ReplaceDialog()
                                                          : memo.Search().Engine().FindDialog());
            if (!d || !d->Visible()) return "find: no dialog";
            std::string pattern = Pattern();
            d->SetFindText(pattern);
            // As the dialog's box hands it over: whole characters.
            d->SetReplaceText(
                Coin(2) ? "" : QString::fromUtf8(Payload().substr(0, 20)).toUtf8().toStdString());
            d->SetMatchCase(Coin(2));
            d->SetWholeWord(Coin(3));
            d->SetDown(!Coin(3));
            const TFindRequest request = replace ? TFindRequest(Pick(3)) : frFindNext;
            d->Press(request);
            return std::string(replace ? "replace" : "find") + (flags ? " regex " : " ") +
                   Escaped(pattern) + " request " + std::to_string(int(request));
        }
        case 13: { // a mouse click, double click or drag in an editor
            TCodeMemoWidget* e = AnEditor();
            QWidget* v = e->viewport();
            if (!v->isVisible()) return "click on a hidden editor";
            QueueAnswers(false); // a colour swatch asks for a colour
            const QPoint p = RandomPoint(v), q = RandomPoint(v);
            const int kind = Pick(3);
            const bool shift = Coin(3);
            if (kind == 0) {
                QTest::mouseClick(v, Qt::LeftButton, shift ? Qt::ShiftModifier : Qt::NoModifier, p);
            } else if (kind == 1) {
                QTest::mouseDClick(v, Qt::LeftButton, Qt::NoModifier, p);
            } else {
                // Past the text's edge the control scrolls in a loop of its own until the
                // button comes up: the user lets go while it runs.
                auto done = std::make_shared<bool>(false);
                QTimer::singleShot(30, v, [v, q, done] {
                    if (*done) return;
                    *done = true;
                    QTest::mouseRelease(v, Qt::LeftButton, Qt::NoModifier, q);
                });
                QTest::mousePress(v, Qt::LeftButton, Qt::NoModifier, p);
                QTest::mouseMove(v, q);
                if (!*done) QTest::mouseRelease(v, Qt::LeftButton, Qt::NoModifier, q);
                *done = true;
            }
            static const char* kinds[] = {"click", "double click", "drag"};
            return std::string(kinds[kind]) + (kind == 0 && shift ? " shift" : "") + " in " +
                   e->objectName().toStdString() + " at " + std::to_string(p.x()) + "," +
                   std::to_string(p.y()) +
                   (kind == 2 ? " to " + std::to_string(q.x()) + "," + std::to_string(q.y()) : "") +
                   (Form->WordWrapAction->isChecked() ? " (wrap)" : "");
        }
        case 14: { // the other page, or the HTML pane shown or hidden
            if (Coin(3)) {
                Form->EditorCheckBox()->setChecked(!Form->EditorCheckBox()->isChecked());
                return "html pane";
            }
            QueueAnswers(true);
            Form->WorkPageControl()->setCurrentIndex(1 - Form->WorkPageControl()->currentIndex());
            return "page " + std::to_string(Form->WorkPageControl()->currentIndex());
        }
        case 15: { // the timers of the preview and the lint run
            QTest::qWait(Coin(4) ? 350 : 5);
            Form->RunLint();
            if (!Form->LintProblems().empty() && Coin(2))
                Form->GotoProblem(Pick(int(Form->LintProblems().size())));
            return "wait";
        }
        case 16: { // a check box
            QList<QCheckBox*> boxes = Form->findChildren<QCheckBox*>();
            QCheckBox* b = boxes[Pick(int(boxes.size()))];
            b->setChecked(!b->isChecked());
            return "box " + b->objectName().toStdString();
        }
        case 17: { // the selection set anywhere, in bytes (inside a character too)
            TCodeMemo& memo = AnEditor()->Memo();
            const int n = memo.TextLength() + 1;
            const int a = Pick(n + 2) - 1, b = Pick(n + 2) - 1;
            memo.Perform(EM_SETSEL, WPARAM(a), LPARAM(b));
            return "select " + std::to_string(a) + " " + std::to_string(b);
        }
        case 18: { // the window closed, or the close refused
            document = true;
            QueueAnswers(false);
            Form->close();
            return "close";
        }
        case 19: { // the window resized, or the editor's width made tiny
            Form->resize(80 + Pick(1000), 60 + Pick(700));
            return "resize";
        }
        case 20: { // the whole text replaced by the application itself
            std::string text = Payload();
            css.SetText(text);
            return "set text " + Escaped(text.substr(0, 100));
        }
        case 21: { // an insertion at a selection anywhere: it may change only what it replaces
            const int n = css.Store().CharCount() + 1;
            css.Perform(EM_SETSEL, WPARAM(Pick(n)), LPARAM(Pick(n)));
            return Insertion(css);
        }
        case 22:
        case 23: { // a document command
            document = true;
            QueueAnswers(false);
            QAction* commands[] = {Form->NewAction, Form->MMFOpen, Form->SaveAction,
                                   Form->SaveAsAction, nullptr};
            QAction* a = commands[Pick(5)];
            if (a) {
                Run(a);
                return "document " + a->objectName().toStdString();
            }
            QList<QAction*> recent = Form->RecentMenu->actions();
            if (recent.isEmpty()) return "no recent files";
            a = recent[Pick(int(recent.size()))];
            const std::string path = a->toolTip().toStdString();
            a->trigger(); // the list is built anew: the action is gone
            return "recent " + path;
        }
        case 24: { // undo and redo, in steps or in groups
            if (Coin(4))
                Form->GroupedUndoCheckBox()->setChecked(!Form->GroupedUndoCheckBox()->isChecked());
            QAction* a = Coin(3) ? Form->RedoAction : Form->UndoAction;
            for (int n = 1 + Pick(4); n > 0; --n)
                Run(a);
            return a->objectName().toStdString();
        }
        default: { // a popup or the context menu shown and dismissed
            TCodeMemoWidget* e = AnEditor();
            if (QMenu* menu =
                    e == Form->MainCodeMemoWidget() ? Form->MainPopupMenu : Form->EditorPopupMenu) {
                menu->popup(QPoint(10, 10));
                QTest::qWait(1);
                menu->close();
            }
            return "popup";
        }
        }
    }

    static std::string Stored(TCodeMemo& memo) {
        return memo.Store().StoredText(TOffset(0), memo.Store().TextEnd());
    }

    // The completion list chosen from, a button of the selector page, a style tag or a colour:
    // the text before the selection (or the word the list replaces) and after it stays as it
    // was, and wrapping the whole text only adds the tags at its ends. A fault is kept for the
    // check after the step.
    std::string Insertion(TCodeMemo& css) {
        const std::string before = Stored(css);
        TSelectionPair sel = css.Selection();
        int head = std::min(sel.Anchor, sel.Caret);
        int tail = std::max(sel.Anchor, sel.Caret);
        std::string what;
        switch (Pick(7)) {
        case 6: { // a click on or near a colour's swatch, the colour chosen anew or not
            QWidget* v = Form->MainCodeMemoWidget()->viewport();
            const std::vector<css::TColorLiteral> colors = css::FindColors(before);
            if (colors.empty() || !v->isVisible()) return "swatch: none";
            const css::TColorLiteral& c = colors[size_t(Pick(int(colors.size())))];
            css.Perform(EM_SETSEL, WPARAM(c.Start), LPARAM(c.Start));
            css.Perform(EM_SCROLLCARET, 0, 0);
            TPoint p;
            css.Perform(EM_POSFROMCHAR, WPARAM(&p), LPARAM(c.Start));
            // Clicks step over the cell before the piece and along its bottom until one opens the
            // colour dialog; the others only place the caret.
            const size_t calls = Dialogs->Calls().size();
            QPoint at;
            for (int dy = 2; dy < 24 && Dialogs->Calls().size() == calls; dy += 3)
                for (int dx = -12; dx < 4 && Dialogs->Calls().size() == calls; ++dx) {
                    at = QPoint(p.X + dx, p.Y + dy);
                    QueueAnswers(false);
                    QTest::mouseClick(v, Qt::LeftButton, Qt::NoModifier, at);
                    QTest::qWait(0);
                    Dialogs->ClearAnswers();
                }
            head = c.Start;
            tail = c.Start + c.Length;
            what = "swatch of " + Escaped(before.substr(size_t(c.Start), size_t(c.Length))) +
                   " at " + std::to_string(at.x()) + "," + std::to_string(at.y());
            break;
        }
        case 5: { // format or minify: every comment and string stays as it was, in order
            auto opaque = [](const std::string& text) {
                std::vector<std::string> out;
                for (const css::TToken& t : css::Tokenize(text))
                    if (t.Kind == css::TTokenKind::Comment ||
                        t.Kind == css::TTokenKind::BadComment ||
                        t.Kind == css::TTokenKind::String || t.Kind == css::TTokenKind::BadString)
                        out.push_back(text.substr(t.Offset, t.Length));
                return out;
            };
            QAction* a = Coin(2) ? Form->FormatAction : Form->MinifyAction;
            Run(a);
            const std::vector<std::string> was = opaque(before), now = opaque(Stored(css));
            if (now != was) {
                size_t i = 0;
                while (i < was.size() && i < now.size() && was[i] == now[i])
                    ++i;
                StepFault = a->objectName().toStdString() + " changed " +
                            Escaped(i < was.size() ? was[i] : "(none)") + " to " +
                            Escaped(i < now.size() ? now[i] : "(none)") + " in " +
                            Escaped(before.substr(0, 300));
            }
            return a->objectName().toStdString() + " at " + std::to_string(head) + ".." +
                   std::to_string(tail);
        }
        case 0: { // completion, opened and chosen from or left
            TCodeMemoWidget* w = Form->MainCodeMemoWidget();
            css.Perform(EM_SETSEL, WPARAM(sel.Caret), LPARAM(sel.Caret));
            head = tail = css.Selection().Caret;
            QTest::keyClick(w, Qt::Key_Space, Qt::ControlModifier);
            if (!css.CompletionShown()) return "completion: none";
            // The word before the caret is what a choice replaces.
            while (head > 0 && before[size_t(head - 1)] != '\r' &&
                   before[size_t(head - 1)] != ' ' && before[size_t(head - 1)] != ':' &&
                   before[size_t(head - 1)] != '{' && before[size_t(head - 1)] != ';')
                --head;
            static const int keys[] = {Qt::Key_Down,   Qt::Key_Up, Qt::Key_Return,   Qt::Key_Tab,
                                       Qt::Key_Escape, Qt::Key_A,  Qt::Key_Backspace};
            what = std::string("completion") + (css.CompletionShown() ? " shown" : "");
            for (int k = Pick(4); k >= 0 && css.CompletionShown(); --k) {
                const int key = keys[Pick(int(std::size(keys)))];
                QTest::keyClick(w, Qt::Key(key));
                what += " " + QKeySequence(key).toString().toStdString();
            }
            // Backspace may take a character before the word.
            if (what.find("Backspace") != std::string::npos) return what;
            break;
        }
        case 1: { // a button of the selector page
            QList<QAbstractButton*> buttons = Form->SelectorPanel->findChildren<QAbstractButton*>();
            buttons.removeIf([](QAbstractButton* b) { return qobject_cast<QCheckBox*>(b); });
            QAbstractButton* b = buttons[Pick(int(buttons.size()))];
            b->click();
            what = "selector " + b->objectName().toStdString();
            break;
        }
        case 2: { // a style tag, or the text wrapped in them
            const int i = Pick(int(Form->StylePopupMenu->actions().size()));
            QAction* a = Form->StylePopupMenu->actions()[i];
            if (a->isSeparator()) return "style: none";
            Run(a);
            what = "style " + std::to_string(i);
            if (a == Form->StylePopupMenu->actions().last()) {
                const std::string after = Stored(css);
                if (after != "<style>\r" + before + "\r</style>")
                    StepFault = "wrapping changed the text: " + Escaped(after.substr(0, 200));
                return what;
            }
            break;
        }
        default: { // a colour
            QueueAnswers(false);
            if (Coin(2))
                Form->ColorToolButton->click();
            else
                Run(Form->StyleAction);
            what = "colour or style";
            break;
        }
        }
        const std::string after = Stored(css);
        if (after.size() < size_t(head) + before.size() - size_t(tail) ||
            after.compare(0, size_t(head), before, 0, size_t(head)) != 0 ||
            after.compare(after.size() - (before.size() - size_t(tail)), std::string::npos, before,
                          size_t(tail)) != 0)
            StepFault = what + " changed text outside " + std::to_string(head) + ".." +
                        std::to_string(tail) + ": " + Escaped(after.substr(0, 200));
        return what + " at " + std::to_string(head) + ".." + std::to_string(tail);
    }

    static std::string Escaped(const std::string& s) {
        std::string out;
        for (unsigned char c : s) {
            if (c == '\r')
                out += "\\r";
            else if (c == '\n')
                out += "\\n";
            else if (c < 0x20 || c == 0x7F) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            } else
                out += char(c);
        }
        return out;
    }

    // The faults of an editor's text and store, or empty.
    static std::string StoreFault(const char* name, TCodeMemo& memo) {
        const TTextStore& store = memo.Store();
        int sum = 0;
        for (int i = 0; i < store.LineCount(); ++i) {
            std::string_view v = store.RowText(TRow(i));
            sum += int(v.size());
            const size_t cr = v.find('\r');
            const bool last = i + 1 == store.LineCount();
            // A record without a break is a row of a longer line.
            if (cr != std::string_view::npos && (last || cr != v.size() - 1))
                return std::string(name) + ": line " + std::to_string(i) + " of " +
                       std::to_string(store.LineCount()) + " breaks wrongly (" +
                       std::to_string(v.size()) + " bytes, CR at " + std::to_string(int(cr)) + ")";
        }
        if (sum != store.CharCount()) return std::string(name) + ": line lengths and count differ";
        if (memo.Text() != store.GetText())
            return std::string(name) + ": text differs from its store";
        const TSelectionPair sel = memo.Selection();
        for (int at : {sel.Anchor, sel.Caret}) {
            if (at < 0 || at > store.CharCount())
                return std::string(name) + ": selection outside the text";
            if (at < store.CharCount()) {
                const TRow row = store.LineFromPos(TOffset(at));
                std::string_view v = store.RowText(row);
                const size_t i = size_t(TOffset(at) - store.PosFromLine(row)); // in the row
                if (i < v.size() && (uint8_t(v[i]) & 0xC0) == 0x80 && i > 0 &&
                    (uint8_t(v[i - 1]) & 0x80))
                    return std::string(name) + ": caret inside a character at " +
                           std::to_string(at);
            }
        }
        return {};
    }

    // What a file holds, as the window would show it once opened.
    std::string Reopened(const std::string& path) {
        if (!Probe) Probe = std::make_unique<TCodeMemoWidget>();
        Probe->Memo().LoadFromFile(path);
        return Probe->Memo().Text();
    }

    std::string Check(const std::string& before, bool document, size_t errorsBefore, qint64 ms) {
        if (!StepFault.empty()) return std::exchange(StepFault, std::string());
        for (auto [name, memo] :
             {std::pair{"css", &Form->MainCodeMemo()}, std::pair{"html", &Form->EditorCodeMemo()}})
            if (std::string f = StoreFault(name, *memo); !f.empty()) return f;
        const std::string text = Css();
        const std::string file = Form->FileName();
        if (!file.empty() && !std::filesystem::is_regular_file(file))
            return "the title names a file that is not there";
        if (!Form->IsModified()) {
            if (file.empty() && !text.empty()) return "clean and untitled, yet not empty";
            if (!file.empty()) {
                const auto stamp = std::filesystem::last_write_time(file);
                const auto key = std::make_tuple(file, stamp, std::filesystem::file_size(file),
                                                 std::hash<std::string>()(text));
                if (key != Verified) {
                    if (std::string again = Reopened(file); again != text)
                        return "clean, yet " + file + " reopens to " +
                               Escaped(again.substr(0, 80)) + ", not " +
                               Escaped(text.substr(0, 80));
                    Verified = key;
                }
            }
        }
        // (The title may change: a save the command asked for went through before it failed.)
        if (document && text != before) {
            bool error = false;
            for (size_t i = errorsBefore; i < Dialogs->Calls().size(); ++i)
                error |= Dialogs->Calls()[i].Kind == TScriptedDialogs::dkMessage &&
                         Dialogs->Calls()[i].Type == mtError;
            if (error) return "a failed document command changed the document";
        }
        if (ms > StepLimitMs) return "the step took " + std::to_string(ms) + " ms";
        if (!Form->MainCodeMemo().CanUndo()) Baseline[0] = text;
        if (!Form->EditorCodeMemo().CanUndo()) Baseline[1] = Form->EditorCodeMemo().Text();
        return {};
    }

    // Undo all gives back the baseline, redo all the text before.
    std::string UndoAll() {
        for (int which = 0; which < 2; ++which) {
            TCodeMemo& memo = which ? Form->EditorCodeMemo() : Form->MainCodeMemo();
            const std::string now = memo.Text();
            int n = 0;
            for (; memo.CanUndo() && n < 200000; ++n)
                memo.Undo();
            if (memo.Text() != Baseline[which])
                return std::string(which ? "html" : "css") +
                       ": undo all does not give back the first text";
            for (int i = 0; i < n; ++i)
                memo.Redo();
            if (memo.Text() != now)
                return std::string(which ? "html" : "css") + ": redo all gives " +
                       Escaped(memo.Text().substr(0, 200)) + ", not " + Escaped(now.substr(0, 200));
        }
        return {};
    }

    std::string RunSeed(unsigned seed, int steps, bool verbose) {
        Rng.seed(seed);
        std::deque<std::string> recent;
        Baseline[0] = Css();
        Baseline[1] = Form->EditorCodeMemo().Text();
        TWatchdog watchdog(EnvNumber("QUILLET_RANDOM_HANG_S", 60));
        for (int step = 1; step <= steps; ++step) {
            const std::string before = Css();
            const size_t calls = Dialogs->Calls().size();
            bool document = false;
            QElapsedTimer clock;
            clock.start();
            watchdog.Step("seed " + std::to_string(seed) + " step " + std::to_string(step) +
                          " after " + (recent.empty() ? "" : recent.back()));
            std::string what = Step(document);
            QCoreApplication::processEvents();
            Dialogs->ClearAnswers();
            const qint64 ms = clock.elapsed();
            if (verbose)
                for (size_t i = calls; i < Dialogs->Calls().size(); ++i)
                    std::fprintf(stderr, "    dialog %d %s %s\n", int(Dialogs->Calls()[i].Kind),
                                 Escaped(Dialogs->Calls()[i].Text).c_str(),
                                 Escaped(Dialogs->Calls()[i].Title).c_str());
            if (verbose)
                std::fprintf(stderr, "%d: %s (%lld ms)\n", step, what.c_str(), (long long)ms);
            recent.push_back(std::to_string(step) + ": " + what);
            if (recent.size() > 40) recent.pop_front();
            std::string fault = Check(before, document, calls, ms);
            if (fault.empty() && (step % 25 == 0 || step == steps)) fault = UndoAll();
            if (!fault.empty()) {
                std::string out = "seed " + std::to_string(seed) + ", step " +
                                  std::to_string(step) + ": " + fault + "\n";
                for (const std::string& r : recent)
                    out += "  " + r + "\n";
                return out + "replay: QUILLET_RANDOM_REPLAY=" + std::to_string(seed) + ":" +
                       std::to_string(step);
            }
            if (!Form->isVisible()) {
                Form->show();
                Form->activateWindow();
            }
        }
        return {};
    }

    std::mt19937 Rng;
    std::string StepFault; // what a step found wrong by itself
    QTimer* Closer = nullptr;
    std::unique_ptr<TCodeMemoWidget> Probe;
    std::string Baseline[2]; // the texts undo all gives back: the CSS and the HTML editor's
    std::tuple<std::string, std::filesystem::file_time_type, uintmax_t, size_t> Verified;
    qint64 StepLimitMs = EnvNumber("QUILLET_RANDOM_STEP_MS", 5000);
};

TEST_F(RandomWindowTest, AUserDoingAnythingLosesNothing) {
    if (const char* replay = std::getenv("QUILLET_RANDOM_REPLAY"); replay && *replay) {
        const char* colon = std::strchr(replay, ':');
        const int steps = colon ? std::atoi(colon + 1) : EnvNumber("QUILLET_RANDOM_STEPS", 300);
        std::string fault = RunSeed(unsigned(std::atoi(replay)), steps, true);
        EXPECT_EQ(fault, "");
        return;
    }
    int first = 1, last = 1;
    if (const char* v = std::getenv("QUILLET_RANDOM_SEEDS"); v && *v) {
        std::string s(v);
        size_t dash = s.find('-');
        first = dash == std::string::npos ? 1 : std::atoi(s.substr(0, dash).c_str());
        last = std::atoi(dash == std::string::npos ? v : s.substr(dash + 1).c_str());
    }
    const int steps = EnvNumber("QUILLET_RANDOM_STEPS", 300);
    for (int seed = first; seed <= last; ++seed) {
        // Each seed starts from a fresh window, as a fresh start of the program would.
        if (seed != first) {
            TearDown();
            SetUp();
        }
        std::fprintf(stderr, "seed %d, %d steps\n", seed, steps);
        std::string fault = RunSeed(unsigned(seed), steps, false);
        if (!fault.empty()) {
            ADD_FAILURE() << fault;
            break;
        }
    }
}

} // namespace
} // namespace quillet::test
