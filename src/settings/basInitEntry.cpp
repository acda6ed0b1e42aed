#include "basInitEntry.h"

#include "IniEdit.h"
#include "IniValue.h"

#include <QFile>

#include <map>
#include <memory>
#include <optional>

namespace basInitEntry {

namespace {

// The batch now gathering writes, and the snapshot now answering reads, if any; the program
// has one thread.
Batch *activeBatch = nullptr;
Snapshot *activeSnapshot = nullptr;

} // namespace

struct Snapshot::Files {
    std::map<QString, std::optional<IniDocument>> documents; ///< nullopt: the file is missing
};

Snapshot::Snapshot() : m_files(std::make_unique<Files>()) {
    if (!activeSnapshot)
        activeSnapshot = this;
}

Snapshot::~Snapshot() {
    if (activeSnapshot == this)
        activeSnapshot = nullptr;
}

struct Batch::Files {
    std::map<QString, std::unique_ptr<IniEdit>> edits;
};

Batch::Batch() : m_files(std::make_unique<Files>()) {
    if (!activeBatch)
        activeBatch = this;
}

Batch::~Batch() {
    if (activeBatch != this)
        return;
    commit();
    activeBatch = nullptr;
}

bool Batch::commit() {
    bool ok = true;
    for (auto &[file, edit] : m_files->edits)
        ok = edit->commit() && ok;
    return ok;
}

IniEdit *Batch::editOf(const QString &file) {
    std::unique_ptr<IniEdit> &edit = m_files->edits[file];
    if (!edit)
        edit = std::make_unique<IniEdit>(file);
    return edit->isOpen() ? edit.get() : nullptr;
}

QString ReadIniEntry(const QString &section, const QString &key, const QString &defaultValue,
                     const QString &file) {
    std::optional<QString> value;
    if (activeBatch) {
        if (IniEdit *edit = activeBatch->editOf(file))
            value = edit->document().value(section, key);
    } else {
        // A writer replaces the file in one rename, so a plain read always sees a whole file.
        const auto readDocument = [&file]() -> std::optional<IniDocument> {
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly))
                return std::nullopt;
            return IniDocument(f.readAll());
        };
        if (activeSnapshot) {
            auto &documents = activeSnapshot->m_files->documents;
            auto it = documents.find(file);
            if (it == documents.end())
                it = documents.emplace(file, readDocument()).first;
            if (it->second)
                value = it->second->value(section, key);
        } else if (const std::optional<IniDocument> document = readDocument()) {
            value = document->value(section, key);
        }
    }
    return value.value_or(defaultValue).left(MaxValueLength);
}

int WriteIniEntry(const QString &section, const QString &key, const QString &value,
                  const QString &file) {
    if (activeSnapshot)
        activeSnapshot->m_files->documents.erase(file);
    auto apply = [&](IniDocument &doc) {
        if (key.trimmed().isEmpty())
            doc.removeSection(section);
        else
            doc.setValue(section, key, value);
    };
    if (activeBatch) {
        IniEdit *edit = activeBatch->editOf(file);
        if (!edit)
            return 0;
        apply(edit->document());
        return 1;
    }
    IniEdit edit(file);
    if (!edit.isOpen())
        return 0;
    apply(edit.document());
    return edit.commit() ? 1 : 0;
}

bool IniValueToBool(const QString &text) {
    return IniValue::ToBool(text);
}

QString AddBackslash(const QString &path) {
    return path.endsWith(u'/') ? path : path + u'/';
}

} // namespace basInitEntry
