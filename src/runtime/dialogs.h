#pragma once
// File and folder dialogs behind one interface, so tests can script the user's choices.

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

class QWidget;

namespace gg {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // The chosen folder without a trailing separator (the root comes back as "/"), or "" on cancel.
    virtual QString browseForFolder(QWidget* owner, const QString& title, const QString& startFolder) = 0;
    // Full paths of the chosen files in the order given, or an empty list on cancel.
    virtual QStringList openFiles(QWidget* owner, const QString& title, const QString& filter,
                                  const QString& startFolder) = 0;
    // The full path to save under, or "" on cancel. Opens in startPath's folder with its name
    // filled in; the filter is the dialog's own form ("PNG images (*.png)"). A name that exists
    // comes back only after the user has confirmed replacing it.
    virtual QString saveFile(QWidget* owner, const QString& title, const QString& filter, const QString& startPath) = 0;
    // A line of text the user typed, opening with text filled in; "" on cancel.
    virtual QString askText(QWidget* owner, const QString& title, const QString& label, const QString& text) = 0;
};

// Turns a filter of description and pattern pairs, each closed by "|" ("All Files (*.*)|*.*|"),
// into the file dialog's own form ("All Files (*)"). "*.*" becomes "*", since names here need no dot.
QString toQtFileFilter(const QString& pairs);

class QtDialogs : public Dialogs {
public:
    QString browseForFolder(QWidget* owner, const QString& title, const QString& startFolder) override;
    QStringList openFiles(QWidget* owner, const QString& title, const QString& filter,
                          const QString& startFolder) override;
    QString saveFile(QWidget* owner, const QString& title, const QString& filter, const QString& startPath) override;
    QString askText(QWidget* owner, const QString& title, const QString& label, const QString& text) override;
};

// Answers from a script; an empty script answers "cancel". Records every call.
class ScriptedDialogs : public Dialogs {
public:
    struct Call {
        QString kind; // "folder", "files", "save" or "text"
        QString title;
        QString filter;      // for "text", the label
        QString startFolder; // for "save", the path the dialog opens with; for "text", the text
    };
    QString browseForFolder(QWidget*, const QString& title, const QString& startFolder) override
    {
        calls.push_back({QStringLiteral("folder"), title, {}, startFolder});
        if (folders.empty())
            return {};
        QString next = folders.front();
        folders.pop_front();
        return next;
    }
    QStringList openFiles(QWidget*, const QString& title, const QString& filter, const QString& startFolder) override
    {
        calls.push_back({QStringLiteral("files"), title, filter, startFolder});
        if (files.empty())
            return {};
        QStringList next = files.front();
        files.pop_front();
        return next;
    }
    QString saveFile(QWidget*, const QString& title, const QString& filter, const QString& startPath) override
    {
        calls.push_back({QStringLiteral("save"), title, filter, startPath});
        if (saves.empty())
            return {};
        QString next = saves.front();
        saves.pop_front();
        return next;
    }
    QString askText(QWidget*, const QString& title, const QString& label, const QString& text) override
    {
        calls.push_back({QStringLiteral("text"), title, label, text});
        if (texts.empty())
            return {};
        QString next = texts.front();
        texts.pop_front();
        return next;
    }
    std::deque<QString> folders;
    std::deque<QStringList> files;
    std::deque<QString> saves; // the paths chosen; one that exists counts as confirmed
    std::deque<QString> texts; // the lines typed
    std::vector<Call> calls;
};

} // namespace gg
