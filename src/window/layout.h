#pragma once

#include <optional>

namespace archive {

// The assignments of the window's resize rule, in twips. An assignment the
// toolkit would refuse (a negative size) is left out; the later steps still run.
struct FormLayout {
    std::optional<float> progressWidth;
    std::optional<float> progressTop;
    std::optional<float> treeWidth;
    std::optional<float> treeHeight;
    std::optional<float> logLeft;
    std::optional<float> logHeight;
    std::optional<float> logWidth;
};

// `width` and `height` are the window's outer size; `currentTreeWidth` is
// the tree's width before the rule runs (kept when its new width is refused).
FormLayout FormResizeLayout(float width, float height, float currentTreeWidth);

} // namespace archive
