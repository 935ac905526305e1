#pragma once
// The gallery view's display options and the two things a run does to it besides its items:
// attaching the image list and arranging the items.

class QListView;

namespace gg {

class GalleryModel;

// Large icons with their captions under them, several items selectable at once.
void setUpGallery(QListView& view);

// Makes `images` the gallery's image list; nullptr leaves the gallery with none.
void setGalleryModel(QListView& view, GalleryModel* images);

// Auto-arrange from the left (columns) or from the top (rows).
enum class GalleryArrangement { InColumns = 1, InRows = 2 };
void layOutGallery(QListView& view, GalleryArrangement arrangement);

} // namespace gg
