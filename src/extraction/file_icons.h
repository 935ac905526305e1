#pragma once
// Taking the icons out of one listed file for the gallery, and the counters line of a run.

#include <QImage>
#include <QString>
#include <functional>
#include <string>

namespace gg {

// Opens the file, by the bytes of its path, once and hands its icons to `take` in index order
// 0, 1, 2, ... until an index gives none. Returns how many were handed over.
int extractFileIcons(const std::string& path, const std::function<void(QImage)>& take);

// The icon as the gallery keeps it: 32 x 32, ARGB32, its transparency intact.
QImage galleryImage(QImage icon);

// "Total Files: 2    Icon Files: 1    Total Icons: 3".
QString countersLine(long long files, long long iconFiles, long long icons);

} // namespace gg
