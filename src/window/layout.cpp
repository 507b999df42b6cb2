#include "window/layout.h"

namespace archive {

namespace {
std::optional<float> Size(float value)
{
    return value < 0 ? std::nullopt : std::optional<float>(value);
}
} // namespace

FormLayout FormResizeLayout(float width, float height, float currentTreeWidth)
{
    FormLayout layout;
    layout.progressWidth = Size(width - 150.0f);
    layout.progressTop = height - 1300.0f; // a position, never refused
    layout.treeWidth = Size(width / 2.0f - 1000.0f);
    layout.treeHeight = Size(height - 2300.0f);
    // The log box starts where the tree, as it now stands, ends.
    layout.logLeft = layout.treeWidth.value_or(currentTreeWidth) + 150.0f;
    layout.logHeight = Size(height - 2300.0f);
    layout.logWidth = Size(width / 2.0f + 650.0f);
    return layout;
}

} // namespace archive
