#pragma once
// Fakes shared by the source-list tests: directory listers that deny, hide or order on request,
// an error recorder, and a way back to an empty settings store.

#include <QDir>
#include <QFile>
#include <QSettings>
#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/directory_lister.h"
#include "runtime/error_trap.h"
#include "support/recording_reporter.h"
#include "runtime/settings_store.h"

namespace gg::test {

// A file system in memory. Paths end in "/"; children are listed in the order they were added.
class MemoryLister : public DirectoryLister {
public:
    struct Node {
        std::vector<std::string> children;
        bool exists = true;
        bool isLink = false;
        bool hidden = false;
        ListError error = ListError::None;
        size_t failAfter = 0; // children handed over before the error
        bool throwOnFacts = false;
        bool throwOnList = false;
    };

    // Adds path (ending in "/") and makes it a child of its parent, when the parent is known.
    Node& add(const std::string& path)
    {
        auto [it, added] = nodes.try_emplace(path);
        if (added) {
            const size_t cut = path.find_last_of('/', path.size() - 2);
            if (cut != std::string::npos) {
                const std::string parent = path.substr(0, cut + 1);
                if (auto p = nodes.find(parent); p != nodes.end())
                    p->second.children.push_back(path.substr(cut + 1, path.size() - cut - 2));
            }
        }
        return it->second;
    }
    // Adds a child by name; the name may hold any bytes.
    Node& addChild(const std::string& parent, const std::string& name)
    {
        nodes.at(parent).children.push_back(name);
        return nodes[parent + name + "/"];
    }

    FolderFacts facts(const std::string& path) override
    {
        ++factsCalls;
        const auto it = nodes.find(path);
        if (it == nodes.end() || !it->second.exists)
            return {};
        if (it->second.throwOnFacts)
            throw std::runtime_error("Path not found");
        return {true, it->second.hidden};
    }

    ListError listSubFolders(const std::string& path, const SubFolderSink& sink) override
    {
        listed.push_back(path);
        const auto it = nodes.find(path);
        if (it == nodes.end() || !it->second.exists)
            return ListError::PathNotFound;
        const Node& node = it->second;
        if (node.throwOnList)
            throw std::runtime_error("Device I/O error");
        for (size_t i = 0; i < node.children.size(); ++i) {
            if (node.error != ListError::None && i == node.failAfter)
                return node.error;
            const auto child = nodes.find(path + node.children[i] + "/");
            sink(SubFolder{node.children[i], child != nodes.end() && child->second.isLink});
        }
        return node.error;
    }

    std::map<std::string, Node> nodes;
    std::vector<std::string> listed;
    int factsCalls = 0;
};

// The real file system, with sub-folders in name order and chosen folders hidden or denied.
class ControlledLister : public DirectoryLister {
public:
    std::set<std::string> hidden;
    std::set<std::string> denied;
    std::function<void()> whileListing;

    FolderFacts facts(const std::string& path) override
    {
        FolderFacts facts = real_.facts(path);
        if (hidden.count(path))
            facts.hiddenSystem = true;
        return facts;
    }

    ListError listSubFolders(const std::string& path, const SubFolderSink& sink) override
    {
        if (whileListing)
            whileListing();
        if (denied.count(path))
            return ListError::PermissionDenied;
        std::vector<std::pair<std::string, bool>> found;
        const ListError error = real_.listSubFolders(
            path, [&](const SubFolder& sub) { found.emplace_back(std::string(sub.name), sub.isLink); });
        std::sort(found.begin(), found.end());
        for (const auto& [name, isLink] : found)
            sink(SubFolder{name, isLink});
        return error;
    }

private:
    PosixDirectoryLister real_;
};

// Back to a store that has never been written.
inline void clearSettingsStore()
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, kSettingsApplication);
    store.clear();
    store.sync();
}

inline void makeFolders(const QString& base, const QStringList& relativePaths)
{
    for (const QString& path : relativePaths)
        QDir(base).mkpath(path);
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write test file");
    file.write(bytes);
}

} // namespace gg::test
