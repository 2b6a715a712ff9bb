// The options dialog's list pages: key assignments, auto correct and code templates.
#include "dialogs/HotKey.h"
#include "dialogs/OptionsDialog.h"
#include "resources/Strings.h"
#include "widgets/CodeMemoWidget.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

namespace quillet {

namespace {

QString Text(int id) {
    return QString::fromStdString(LoadStr(id));
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

bool Contains(const std::vector<std::string>& sorted, const std::string& word) {
    return std::binary_search(sorted.begin(), sorted.end(), word);
}

void Insert(std::vector<std::string>& sorted, const std::string& word) {
    auto at = std::lower_bound(sorted.begin(), sorted.end(), word);
    if (at == sorted.end() || *at != word) sorted.insert(at, word);
}

void Erase(std::vector<std::string>& sorted, const std::string& word) {
    auto at = std::lower_bound(sorted.begin(), sorted.end(), word);
    if (at != sorted.end() && *at == word) sorted.erase(at);
}

std::pair<std::string, std::string> SplitLine(const QString& line) {
    std::string s = line.toStdString();
    size_t tab = s.find('\t');
    if (tab == std::string::npos) return {s, {}};
    return {s.substr(0, tab), s.substr(tab + 1)};
}

} // namespace

std::string BindingText(const TKeyPair& keys) {
    std::string second = keys.second ? ShortCutToText(keys.second) : LoadStr(SOptNoneKey);
    return "[" + ShortCutToText(keys.first) + "]  [" + second + "]";
}

// ---- key assignments -----------------------------------------------------------------------

void TOptionsDialog::ShowKeys() {
    FCommandRecords.clear();
    FCommands->clear();
    std::vector<std::pair<std::string, int32_t>> names = Working().KeyStore.CommandNames();
    std::stable_sort(names.begin(), names.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [name, id] : names) {
        TCommandKeys rec;
        rec.Id = id;
        rec.Name = name;
        FCommandRecords.push_back(std::move(rec));
        FCommands->addItem(QString::fromStdString(name));
    }
    if (FCommands->count() > 0)
        FCommands->setCurrentRow(std::clamp(FCommandIndex, 0, FCommands->count() - 1));
    UpdateKeyButtons();
}

TOptionsDialog::TCommandKeys* TOptionsDialog::SelectedCommand() {
    int row = FCommands->currentRow();
    if (row < 0 || size_t(row) >= FCommandRecords.size()) return nullptr;
    return &FCommandRecords[size_t(row)];
}

void TOptionsDialog::FillCommandKeys(TCommandKeys& rec) {
    rec.Keys.clear();
    TShortCut first = 0, second = 0;
    TKeyboardActionContoller& table = Working().KeyStore;
    for (bool more = table.FirstKeysOfCommand(rec.Id, first, second); more;
         more = table.NextKeysOfCommand(rec.Id, first, second))
        rec.Keys.emplace_back(first, second);
    rec.Filled = true;
}

void TOptionsDialog::ShowCommandKeys() {
    FCommandKeys->clear();
    if (TCommandKeys* rec = SelectedCommand()) {
        for (const TKeyPair& keys : rec->Keys)
            FCommandKeys->addItem(QString::fromStdString(BindingText(keys)));
        if (!rec->Keys.empty()) FCommandKeys->setCurrentRow(0);
    }
    UpdateKeyButtons();
}

void TOptionsDialog::UpdateKeyButtons() {
    TCommandKeys* rec = SelectedCommand();
    bool bound = rec && !rec->Keys.empty() && FCommandKeys->currentRow() >= 0;
    FAddKey->setEnabled(rec != nullptr);
    FDeleteKey->setEnabled(bound);
    FEditKey->setEnabled(bound);
}

void TOptionsDialog::CommandDescListBoxClick() {
    if (FSetting) return;
    FCommandIndex = std::max(0, FCommands->currentRow());
    TCommandKeys* rec = SelectedCommand();
    if (rec && !rec->Filled && !rec->Changed) FillCommandKeys(*rec);
    ShowCommandKeys();
}

void TOptionsDialog::CommandKeysListBoxExit() {
    TCommandKeys* rec = SelectedCommand();
    if (!rec) return;
    auto none = [](const TKeyPair& k) { return k.first == 0; };
    if (std::any_of(rec->Keys.begin(), rec->Keys.end(), none)) {
        std::erase_if(rec->Keys, none);
        rec->Changed = true;
        ShowCommandKeys();
    }
}

void TOptionsDialog::AddButtonClick() {
    TCommandKeys* rec = SelectedCommand();
    if (!rec || !KeyAssign) return;
    TKeyPair keys{0, 0};
    if (!KeyAssign(this, false, rec->Name, keys)) return;
    rec->Keys.push_back(keys);
    rec->Changed = true;
    ShowCommandKeys();
    FCommandKeys->setCurrentRow(FCommandKeys->count() - 1);
}

void TOptionsDialog::EditButtonClick() {
    TCommandKeys* rec = SelectedCommand();
    int row = FCommandKeys->currentRow();
    if (!rec || !KeyAssign || row < 0 || size_t(row) >= rec->Keys.size()) return;
    TKeyPair keys = rec->Keys[size_t(row)];
    if (!KeyAssign(this, true, rec->Name, keys)) return;
    rec->Keys[size_t(row)] = keys;
    rec->Changed = true;
    ShowCommandKeys();
    FCommandKeys->setCurrentRow(row);
}

void TOptionsDialog::DeleteButtonClick() {
    TCommandKeys* rec = SelectedCommand();
    int row = FCommandKeys->currentRow();
    if (!rec || row < 0 || size_t(row) >= rec->Keys.size()) return;
    rec->Keys.erase(rec->Keys.begin() + row);
    rec->Changed = true;
    ShowCommandKeys();
    if (FCommandKeys->count() > 0)
        FCommandKeys->setCurrentRow(std::min(row, FCommandKeys->count() - 1));
}

// ---- auto correct ------------------------------------------------------------------------

void TOptionsDialog::ShowAutoCorrect() {
    FAutoList->clear();
    FAutoWords.clear();
    for (const auto& [word, entry] : Working().AutoReplace.Entries()) {
        FAutoList->addItem(QString::fromStdString(word + "\t" + entry.Expansion));
        Insert(FAutoWords, Lower(word));
    }
    FReplaceBox->clear();
    FWithBox->clear();
    FActKeysBox->setText(QString::fromStdString(Working().AutoReplace.TriggerKeys()));
    if (FAutoList->count() > 0) {
        FAutoList->setCurrentRow(0);
        AutoReplBoxClick();
    }
    UpdateAutoButtons();
}

void TOptionsDialog::AutoReplBoxClick() {
    if (QListWidgetItem* item = FAutoList->currentItem()) {
        auto [word, with] = SplitLine(item->text());
        FReplaceBox->setText(QString::fromStdString(word));
        FWithBox->setText(QString::fromStdString(with));
    }
    UpdateAutoButtons();
}

void TOptionsDialog::ReplaceBoxChange() {
    UpdateAutoButtons();
}

void TOptionsDialog::UpdateAutoButtons() {
    std::string word = FReplaceBox->text().toStdString();
    std::string with = FWithBox->text().toStdString();
    FAutoButton1->setText(Text(SOptAdd));
    if (word.empty() && with.empty()) {
        FAutoButton1->setEnabled(false);
        FAutoButton2->setEnabled(false);
        return;
    }
    std::string lower = Lower(word);
    if (word.empty() || !Contains(FAutoWords, lower)) {
        FAutoButton1->setEnabled(!word.empty());
        FAutoButton2->setEnabled(false);
        return;
    }
    FAutoButton1->setEnabled(false);
    FAutoButton2->setEnabled(true);
    if (with.empty()) {
        // A known word alone: its line is selected, and the button deletes it.
        for (int row = 0; row < FAutoList->count(); ++row)
            if (Lower(FAutoList->item(row)->text().toStdString()).rfind(lower + "\t", 0) == 0) {
                FAutoList->setCurrentRow(row);
                break;
            }
    }
    bool same = false;
    std::string line = lower + "\t" + with;
    for (int row = 0; row < FAutoList->count() && !same; ++row) {
        auto [w, r] = SplitLine(FAutoList->item(row)->text());
        same = Lower(w) + "\t" + r == line || (with.empty() && Lower(w) == lower);
    }
    FAutoButton2->setText(Text(same ? SOptDelete : SOptReplaceButton));
}

void TOptionsDialog::RebuildAutoReplace() {
    TAutoReplace& table = Working().AutoReplace;
    table.Clear();
    for (int row = 0; row < FAutoList->count(); ++row) {
        auto [word, with] = SplitLine(FAutoList->item(row)->text());
        try {
            table.AddEntry(word, "", with);
        } catch (const EQuilletError& e) {
            ShowError(this, e.what());
        }
    }
    AutoReplActBoxExit();
}

void TOptionsDialog::SelectAutoLine(int row) {
    if (FAutoList->count() == 0) return;
    FAutoList->setCurrentRow(std::clamp(row, 0, FAutoList->count() - 1));
}

void TOptionsDialog::AutoReplButton1Click() {
    std::string word = FReplaceBox->text().toStdString();
    if (word.empty() || Contains(FAutoWords, Lower(word))) return;
    Insert(FAutoWords, Lower(word));
    FAutoList->addItem(QString::fromStdString(word + "\t" + FWithBox->text().toStdString()));
    SelectAutoLine(FAutoList->count() - 1);
    RebuildAutoReplace();
    UpdateAutoButtons();
}

void TOptionsDialog::AutoReplButton2Click() {
    std::string word = FReplaceBox->text().toStdString();
    int row = FAutoList->currentRow();
    if (word.empty() || row < 0) return;
    bool remove = FAutoButton2->text() == Text(SOptDelete);
    auto [old, oldWith] = SplitLine(FAutoList->item(row)->text());
    Erase(FAutoWords, Lower(old));
    delete FAutoList->takeItem(row);
    if (remove) {
        SelectAutoLine(row);
        AutoReplBoxClick();
    } else {
        Insert(FAutoWords, Lower(word));
        FAutoList->insertItem(row,
                              QString::fromStdString(word + "\t" + FWithBox->text().toStdString()));
        SelectAutoLine(row);
    }
    RebuildAutoReplace();
    UpdateAutoButtons();
}

bool TOptionsDialog::AutoReplActBoxExit() {
    TAutoReplace& table = Working().AutoReplace;
    std::string keys = FActKeysBox->text().toStdString();
    if (keys == table.TriggerKeys()) return true;
    try {
        table.SetTriggerKeys(keys);
    } catch (const EQuilletError& e) {
        ShowError(this, e.what());
        FActKeysBox->setText(QString::fromStdString(table.TriggerKeys()));
        return false;
    }
    return true;
}

// ---- code templates ----------------------------------------------------------------------

std::string TOptionsDialog::TemplateLine(const std::string& name,
                                         const std::string& description) const {
    return name + "\t" + description;
}

void TOptionsDialog::ShowTemplates() {
    FTemplateList->clear();
    FTemplateNames.clear();
    for (const auto& [name, entry] : Working().Templates.Entries()) {
        FTemplateList->addItem(QString::fromStdString(TemplateLine(name, entry.Description)));
        Insert(FTemplateNames, Lower(name));
    }
    FHotkeyBox->SetHotKey(Working().Templates.TriggerShortCut());
    if (FTemplateList->count() > 0) {
        FTemplateList->setCurrentRow(0);
        FSetting = false;
        cteListBoxClick();
        FSetting = true;
    }
    UpdateTemplateButtons();
}

void TOptionsDialog::cteListBoxClick() {
    QListWidgetItem* item = FTemplateList->currentItem();
    TCodeMemo& memo = FTemplateMemo->Memo();
    bool setting = FSetting;
    FSetting = true;
    if (item) {
        auto [name, description] = SplitLine(item->text());
        FNameBox->setText(QString::fromStdString(name));
        FDescBox->setText(QString::fromStdString(description));
        const std::string* text = Working().Templates.FindExpansion(Lower(name));
        memo.SetText(text ? *text : std::string());
    } else {
        memo.SetText("");
    }
    memo.SetModified(false);
    FSetting = setting;
    UpdateTemplateButtons();
}

void TOptionsDialog::cteNameBoxChange() {
    UpdateTemplateButtons();
}

void TOptionsDialog::UpdateTemplateButtons() {
    std::string name = FNameBox->text().toStdString();
    FTemplateButton1->setText(Text(SOptAdd));
    if (name.empty()) {
        FTemplateButton1->setEnabled(false);
        FTemplateButton2->setEnabled(false);
        return;
    }
    if (!Contains(FTemplateNames, Lower(name))) {
        FTemplateButton1->setEnabled(true);
        FTemplateButton2->setEnabled(false);
        return;
    }
    FTemplateButton1->setEnabled(false);
    FTemplateButton2->setEnabled(true);
    QListWidgetItem* item = FTemplateList->currentItem();
    bool unchanged =
        item && item->text().toStdString() == TemplateLine(name, FDescBox->text().toStdString()) &&
        !FTemplateMemo->Memo().Modified();
    FTemplateButton2->setText(Text(unchanged ? SOptDelete : SOptReplaceButton));
}

void TOptionsDialog::SelectTemplateLine(int row) {
    if (FTemplateList->count() == 0) {
        cteListBoxClick();
        return;
    }
    FTemplateList->setCurrentRow(std::clamp(row, 0, FTemplateList->count() - 1));
    cteListBoxClick();
}

void TOptionsDialog::CodeTemplateButton1Click() {
    std::string name = FNameBox->text().toStdString();
    if (name.empty() || Contains(FTemplateNames, Lower(name))) return;
    std::string description = FDescBox->text().toStdString();
    try {
        Working().Templates.AddEntry(name, description, FTemplateMemo->Memo().Text());
    } catch (const EQuilletError& e) {
        ShowError(this, e.what());
        return;
    }
    Insert(FTemplateNames, Lower(name));
    FTemplateList->addItem(QString::fromStdString(TemplateLine(Lower(name), description)));
    FTemplateList->setCurrentRow(FTemplateList->count() - 1);
    FTemplateMemo->Memo().SetModified(false);
    UpdateTemplateButtons();
}

void TOptionsDialog::CodeTemplateButton2Click() {
    std::string name = FNameBox->text().toStdString();
    int row = FTemplateList->currentRow();
    if (name.empty() || row < 0) return;
    bool remove = FTemplateButton2->text() == Text(SOptDelete);
    auto [old, oldDescription] = SplitLine(FTemplateList->item(row)->text());
    if (remove) {
        Working().Templates.DeleteEntry(Lower(old));
        Erase(FTemplateNames, Lower(old));
        delete FTemplateList->takeItem(row);
        SelectTemplateLine(row);
        return;
    }
    std::string description = FDescBox->text().toStdString();
    try {
        Working().Templates.AddEntry(name, description, FTemplateMemo->Memo().Text());
    } catch (const EQuilletError& e) {
        ShowError(this, e.what());
        return;
    }
    if (Lower(old) != Lower(name)) {
        Working().Templates.DeleteEntry(Lower(old));
        Erase(FTemplateNames, Lower(old));
        Insert(FTemplateNames, Lower(name));
    }
    FTemplateMemo->Memo().SetModified(false);
    FTemplateList->item(row)->setText(
        QString::fromStdString(TemplateLine(Lower(name), description)));
    UpdateTemplateButtons();
}

void TOptionsDialog::cteHotkeyExit() {
    Working().Templates.SetTriggerShortCut(FHotkeyBox->HotKey());
}

} // namespace quillet
