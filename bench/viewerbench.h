#pragma once

#include <QSize>

#include <functional>

class ViewerWidget;

// What the viewer, zoom and compare benchmarks share.
namespace bench {

// The window every viewer benchmark measures in.
inline constexpr QSize viewerSize(1600, 1000);

// A viewer of the benchmarks' size, on screen (the offscreen one) before a folder is opened.
void showViewer(ViewerWidget &viewer);

// The current photo came from the preview cache, not from a decode.
bool cacheHit(const ViewerWidget &viewer);

// Calls `step` every `intervalMs` until it returns false.
void tick(int intervalMs, const std::function<bool()> &step);

} // namespace bench
