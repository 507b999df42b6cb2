#include "commands/preview_view.h"

namespace archive {

PreviewView ChoosePreviewView(const EntryPreview& preview, const ImageDecoding& decoding)
{
    if (!preview.problem.empty()) {
        return PreviewView::Problem;
    }
    if (decoding.byName && decoding.byName()) {
        return PreviewView::Image;
    }
    if (LooksLikeText(preview.content.AsText())) {
        return PreviewView::Text;
    }
    if (decoding.byContent && decoding.byContent()) {
        return PreviewView::Image;
    }
    return PreviewView::Hex;
}

} // namespace archive
