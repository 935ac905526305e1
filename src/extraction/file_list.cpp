#include "extraction/file_list.h"

namespace gg {

namespace {

// '*' matches any run, '?' one character; letters compare without case.
bool wildcardMatch(QStringView name, QStringView glob)
{
    qsizetype n = 0, g = 0, starG = -1, starN = 0;
    while (n < name.size()) {
        if (g < glob.size() && (glob[g] == u'?' || glob[g].toCaseFolded() == name[n].toCaseFolded())) {
            ++n;
            ++g;
        } else if (g < glob.size() && glob[g] == u'*') {
            starG = g++;
            starN = n;
        } else if (starG >= 0) {
            g = starG + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (g < glob.size() && glob[g] == u'*')
        ++g;
    return g == glob.size();
}

} // namespace

bool MatchesPattern(const QString& name, const QString& pattern)
{
    for (QStringView glob : QStringView(pattern).split(u';')) {
        glob = glob.trimmed();
        // "*.*" names every file, with or without a dot, as a folder listing reads it.
        if (glob == u"*.*" || glob == u"*")
            return true;
        if (!glob.isEmpty() && wildcardMatch(name, glob))
            return true;
    }
    return false;
}

} // namespace gg
